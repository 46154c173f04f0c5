// One tile's share of the triangulation: the triangles no point outside
// the tile can disturb, the points whose triangles are still open (the
// seam set U), and the edges where the finished region ends.
//
// Final triangles. A triangle of the tile's Delaunay triangulation is FINAL
// when its closed circumdisk lies inside the tile's open cell. Its open disk
// holds no point of the tile (it is Delaunay there) and no point of any
// other tile (those lie outside the open cell), so it is a triangle of a
// Delaunay triangulation of all points P. Every point on its circle lies in
// the closed disk, hence in the open cell, hence in this tile: the whole
// cocircular face of P's Delaunay subdivision belongs to the tile, the
// tile's triangulation covers it with triangles that all share that disk,
// and so a face is final whole or not at all.
//
// Tile-hull edges count as triangles whose disk is the open half-plane
// beyond the edge: never final. So every tile-hull point is in U (the
// corners of every non-final triangle, pseudo-triangles included), and so is
// every point of a tile with fewer than three points or with all its points
// on a line (its triangulation has no triangles, all its points are hull
// points).
//
// The seam set holds every corner of every non-final Delaunay face of P.
// Let p be a point of this tile not in U. Then p is not on the tile's hull,
// its triangles in the tile surround it, and all of them are final, so they
// are faces of P's Delaunay subdivision covering a neighbourhood of p: they
// are all of p's faces in P. Hence every face of P at p is final, and
// (contrapositive) every corner of a non-final face of P is in U.
//
// Boundary edges: edges of final triangles not shared by two final
// triangles. Final triangles of different tiles share no corner (their
// corners lie in disjoint open cells), so these edges are exactly the
// boundary of the final region of P. Each is an edge between two faces of
// P's Delaunay subdivision (or a hull edge of P), so an edge of every
// Delaunay triangulation of P; its ends are in U (they are corners of the
// non-final triangle or pseudo-triangle beyond it).
#include <CGAL/FPU.h>

#include <stdexcept>
#include <vector>

#include "disk_containment.hpp"
#include "tiled_delaunay.hpp"
#include "triangle_edges.hpp"

namespace tiling {

TileResult finishTile(const Cell& cell, const double* x, const double* y, const std::int64_t* ids,
                      std::int32_t m, const TileTriangulator& triangulate)
{
    TileResult result;
    if (m <= 0) return result;
    sweeptri::threaded::SweepRows sweep = triangulate(x, y, m);
    result.collinearWarned = sweep.collinearWarned;
    const std::vector<std::int32_t>& rows = sweep.corners;
    const TriangleEdges edges(rows, m);  // checks the rows
    const std::size_t triangles = rows.size() / 3;

    std::vector<char> final(triangles, 0);
    {
        const CGAL::Protect_FPU_rounding<true> upwards;  // for the interval filter
        for (std::size_t t = 0; t < triangles; ++t) {
            const std::int32_t* r = &rows[3 * t];
            final[t] = diskInsideOpenCell(cell, x[r[0]], y[r[0]], x[r[1]], y[r[1]], x[r[2]], y[r[2]]);
        }
    }

    std::vector<char> inU(static_cast<std::size_t>(m), 0);
    std::vector<char> covered(static_cast<std::size_t>(m), 0);
    std::int32_t from[3], to[3];
    for (std::size_t t = 0; t < triangles; ++t) {
        const std::int32_t* r = &rows[3 * t];
        leftEdges(r, from, to);
        for (int e = 0; e < 3; ++e) {
            covered[static_cast<std::size_t>(from[e])] = 1;
            const std::int64_t beyond = edges.triangleLeftOf(to[e], from[e]);
            if (beyond < 0) {  // a tile-hull edge: its pseudo-triangle is never final
                inU[static_cast<std::size_t>(from[e])] = inU[static_cast<std::size_t>(to[e])] = 1;
            }
            if (final[t] && (beyond < 0 || !final[static_cast<std::size_t>(beyond)])) {
                result.boundaryEdges.push_back(ids[from[e]]);
                result.boundaryEdges.push_back(ids[to[e]]);
            }
        }
        if (final[t]) {
            for (int k = 0; k < 3; ++k) result.finalRows.push_back(ids[r[k]]);
        } else {
            for (int k = 0; k < 3; ++k) inU[static_cast<std::size_t>(r[k])] = 1;
        }
    }
    // Points in no triangle (fewer than three points, or all on a line) are
    // hull points of the tile.
    for (std::int32_t i = 0; i < m; ++i)
        if (inU[static_cast<std::size_t>(i)] || !covered[static_cast<std::size_t>(i)]) result.seamPoints.push_back(ids[i]);
    return result;
}

}  // namespace tiling
