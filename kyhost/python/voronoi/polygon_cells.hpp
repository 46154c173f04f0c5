// Voronoi cells clipped to any valid polygon with holes: the polygon is cut
// into triangles on its own corners, each cell clipped exactly to each
// triangle (clipCellsConvex), and a cell's pieces joined by cancelling the
// edges two pieces share (they share them whole, with identical corners,
// since every corner is an exact point rounded once). No corner is made in
// the join, so cells still meet in identical doubles.
#pragma once

#include <cstdint>
#include <vector>

#include "convex_cells.hpp"

namespace kyhost_voronoi {

// Each point's cell as polygons, each polygon as rings (its exterior
// counter-clockwise first, then its holes clockwise), each ring as corners
// with the first not repeated.
struct PolygonCells {
    std::vector<std::int64_t> cellStart;     // n + 1 offsets into polygonStart
    std::vector<std::int64_t> polygonStart;  // offsets into ringStart
    std::vector<std::int64_t> ringStart;     // offsets into xy (in corners)
    std::vector<double> xy;
    std::vector<double> area;
};

// The cells from clipCellsConvex in the same layout (one ring per cell).
PolygonCells asPolygonCells(const ClippedCells& cells);

// rings: as polygonTriangles takes them (the exterior and holes of one
// valid polygon, any orientation). in.active is ignored and replaced.
PolygonCells clipCellsToPolygon(CellInputs in, const double* x, const double* y, const std::int64_t* ringStart,
                                std::int64_t rings, int threads = 1);

}  // namespace kyhost_voronoi
