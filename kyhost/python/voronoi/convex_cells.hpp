// Voronoi cells clipped to a convex polygon. Each cell is the clip polygon
// cut by the bisectors between its point and the point's neighbours, in
// exact rational arithmetic, its corners rounded once to the nearest
// doubles: a corner two cells share is the same exact point in both and so
// the same double, and each cell holds its point wherever the clip holds it.
// Cells whose Voronoi vertices all lie inside the clip by a margin that
// rounding cannot cross are taken as they are, without the exact cuts.
#pragma once

#include <cstdint>
#include <vector>

namespace kyhost_voronoi {

struct ClippedCells {
    std::vector<std::int64_t> start;  // n + 1 offsets into xy (in corners)
    std::vector<double> xy;           // corners, counter-clockwise, the first not repeated
    std::vector<double> area;         // each cell's area (shoelace relative to its point)
};

struct CellInputs {
    const double* x;
    const double* y;
    std::int32_t n;
    // The points each point's cell is cut against (its Delaunay neighbours,
    // or the points before and after it on one line).
    const std::int64_t* neighbourStart;
    const std::int32_t* neighbourPoints;
    // Optional (null): each point's Voronoi region (vertex numbers, -1 for
    // unbounded) and the vertices, for the cells inside the clip.
    const std::int64_t* regionStart = nullptr;
    const std::int32_t* regionVertices = nullptr;
    const double* vertices = nullptr;
    // Points whose cells are empty (merged repeats): active[p] == 0.
    const std::uint8_t* active = nullptr;
};

// clipX, clipY: a convex polygon, counter-clockwise, of positive area.
// Throws std::invalid_argument when it is not one.
ClippedCells clipCellsConvex(const CellInputs& in, const double* clipX, const double* clipY, std::int64_t clipCount,
                             int threads = 1);

}  // namespace kyhost_voronoi
