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

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "disk_containment.hpp"
#include "huge_pages.hpp"
#include "tiled_delaunay.hpp"
#include "triangle_edges.hpp"

namespace tiling {

namespace {

TileResult finishInOrder(const Cell& cell, const double* x, const double* y, const std::int64_t* ids, std::int32_t m,
                         const TileTriangulator& triangulate, bool narrow, TileScratch& scratch)
{
    TileResult result;
    if (m <= 0) return result;
    sweeptri::threaded::SweepRows sweep = triangulate(x, y, m);
    result.collinearWarned = sweep.collinearWarned;
    std::vector<std::int32_t>& rows = sweep.corners;
    if (rows.size() % 3 != 0) throw std::runtime_error("tiling: a triangulation returned a partial row");
    for (const std::int32_t corner : rows)
        if (corner < 0 || corner >= m) throw std::runtime_error("tiling: a triangulation returned a corner out of range");
    const std::size_t triangles = rows.size() / 3;

    // Hull points: around an inner point its triangles close a fan, in which
    // every neighbour comes once after the point and once before it (rows
    // are clockwise); around a hull point the first and the last neighbour
    // come once only. So the sum of (next - previous) over a point's
    // triangles is zero exactly when it is an inner point. Summed in the
    // same pass over the rows as the finality test, which reads the same
    // corners.
    std::vector<char>& final = scratch.final;
    std::vector<std::int64_t>& turn = scratch.turn;
    std::vector<char>& inU = scratch.inU;
    std::vector<char>& covered = scratch.covered;
    final.assign(triangles, 0);
    turn.assign(static_cast<std::size_t>(m), 0);
    inU.assign(static_cast<std::size_t>(m), 0);
    covered.assign(static_cast<std::size_t>(m), 0);
    {
        const CGAL::Protect_FPU_rounding<true> upwards;  // for the interval filter
        for (std::size_t t = 0; t < triangles; ++t) {
            const std::int32_t* r = &rows[3 * t];
            const bool isFinal = diskInsideOpenCell(cell, x[r[0]], y[r[0]], x[r[1]], y[r[1]], x[r[2]], y[r[2]]);
            final[t] = isFinal;
            for (int k = 0; k < 3; ++k) {
                const auto corner = static_cast<std::size_t>(r[k]);
                turn[corner] += std::int64_t{r[(k + 1) % 3]} - r[(k + 2) % 3];
                covered[corner] = 1;
                if (!isFinal) inU[corner] = 1;
            }
        }
    }
    for (std::int32_t i = 0; i < m; ++i)
        if (turn[static_cast<std::size_t>(i)] != 0 || !covered[static_cast<std::size_t>(i)]) inU[static_cast<std::size_t>(i)] = 1;

    // Boundary edges. An edge of a final triangle with an end p outside U is
    // an inner edge (p is not on the hull) whose two triangles both have the
    // corner p, so both are final: only edges with both ends in U can be
    // boundary edges. Those are few (the seams); each is a boundary edge
    // when no other final triangle has it.
    struct Candidate {
        std::uint64_t key;       // the undirected edge
        std::int32_t from, to;   // directed with the final triangle on the left
        std::int64_t order;      // position in the rows, for a fixed output order
    };
    std::vector<Candidate> candidates;
    std::int32_t from[3], to[3];
    // Narrow final rows are written over the sweep's rows, in place: row t
    // is read before anything is written at 3 t or later, and the rows
    // before it are not read again. The sweep's buffer then becomes the
    // tile's rows, so the tile touches no fresh memory for them (it keeps
    // the room of its non-final rows, the seams', a few per cent).
    if (!narrow) {
        const std::size_t finalCorners = 3 * static_cast<std::size_t>(std::count(final.begin(), final.end(), 1));
        reserveOnHugePages(result.finalRows, finalCorners);
        result.finalRows.resize(finalCorners);
    }
    std::size_t written = 0;
    for (std::size_t t = 0; t < triangles; ++t) {
        if (!final[t]) continue;
        const std::int32_t r[3] = {rows[3 * t], rows[3 * t + 1], rows[3 * t + 2]};
        if (narrow)
            for (int k = 0; k < 3; ++k) rows[written++] = static_cast<std::int32_t>(ids[r[k]]);
        else
            for (int k = 0; k < 3; ++k) result.finalRows[written++] = ids[r[k]];
        if (!inU[static_cast<std::size_t>(r[0])] && !inU[static_cast<std::size_t>(r[1])] && !inU[static_cast<std::size_t>(r[2])]) continue;
        leftEdges(r, from, to);
        for (int e = 0; e < 3; ++e) {
            if (!inU[static_cast<std::size_t>(from[e])] || !inU[static_cast<std::size_t>(to[e])]) continue;
            const auto lo = static_cast<std::uint32_t>(std::min(from[e], to[e]));
            const auto hi = static_cast<std::uint32_t>(std::max(from[e], to[e]));
            candidates.push_back({(std::uint64_t{hi} << 32) | lo, from[e], to[e], static_cast<std::int64_t>(3 * t) + e});
        }
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.key < b.key || (a.key == b.key && a.order < b.order); });
    std::vector<Candidate> boundary;
    for (std::size_t k = 0; k < candidates.size();) {
        std::size_t end = k + 1;
        while (end < candidates.size() && candidates[end].key == candidates[k].key) ++end;
        if (end - k > 2) throw std::runtime_error("tiling: a triangulation used one edge in more than two triangles");
        if (end - k == 1) boundary.push_back(candidates[k]);
        k = end;
    }
    std::sort(boundary.begin(), boundary.end(), [](const Candidate& a, const Candidate& b) { return a.order < b.order; });
    for (const Candidate& c : boundary) {
        result.boundaryEdges.push_back(ids[c.from]);
        result.boundaryEdges.push_back(ids[c.to]);
    }
    if (narrow) {
        rows.resize(written);
        result.narrowRows = std::move(rows);
    }
    // Points in no triangle (fewer than three points, or all on a line) are
    // hull points of the tile, in U above.
    for (std::int32_t i = 0; i < m; ++i)
        if (inU[static_cast<std::size_t>(i)]) result.seamPoints.push_back(ids[i]);
    return result;
}

// Positions 0..m-1 in the order of a grid over the points' bounding box
// with about eight points per cell: rows of cells by y, the cells of a row by
// x, the points of a cell by position. A counting sort, so linear in m; the
// grid depends on the coordinates alone.
void gridOrder(const double* x, const double* y, std::int32_t m, std::vector<std::int32_t>& cell, std::vector<std::int32_t>& order)
{
    double xlo = x[0], xhi = xlo, ylo = y[0], yhi = ylo;
    for (std::int32_t i = 1; i < m; ++i) {
        xlo = std::min(xlo, x[i]), xhi = std::max(xhi, x[i]);
        ylo = std::min(ylo, y[i]), yhi = std::max(yhi, y[i]);
    }
    const auto side = static_cast<std::int32_t>(std::ceil(std::sqrt(static_cast<double>(m) / 8.0)));
    // Halves, so that spans near the largest doubles do not overflow.
    const auto cellOf = [side](double v, double lo, double hi) {
        const double span = hi / 2 - lo / 2;
        if (!(span > 0)) return std::int32_t{0};
        const double t = (v / 2 - lo / 2) / span;
        return std::clamp(static_cast<std::int32_t>(t * side), std::int32_t{0}, side - 1);
    };
    cell.resize(static_cast<std::size_t>(m));
    std::vector<std::int32_t> start(static_cast<std::size_t>(side) * static_cast<std::size_t>(side) + 1, 0);
    for (std::int32_t i = 0; i < m; ++i) {
        const std::int32_t c = cellOf(y[i], ylo, yhi) * side + cellOf(x[i], xlo, xhi);
        cell[static_cast<std::size_t>(i)] = c;
        ++start[static_cast<std::size_t>(c) + 1];
    }
    for (std::size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
    order.resize(static_cast<std::size_t>(m));
    for (std::int32_t i = 0; i < m; ++i) order[static_cast<std::size_t>(start[static_cast<std::size_t>(cell[static_cast<std::size_t>(i)])]++)] = i;
}

// The tile's points are handed to the sweep in the order of a grid over
// them, so that the rows it returns name points that lie near each other in
// memory: in the order of their ids they lie anywhere, and reading the
// corners of each row would miss the cache for nearly every corner. The
// order is fixed by the coordinates alone, and the sweep's rows do not
// depend on the order its points come in beyond their names, so the result
// is the same.
TileResult finishGathered(const Cell& cell, const double* x, const double* y, const std::int64_t* ids, std::int32_t m,
                          const TileTriangulator& triangulate, bool narrow, TileScratch& scratch)
{
    std::vector<std::int32_t>& order = scratch.order;
    order.clear();
    if (m >= 1024) gridOrder(x, y, m, scratch.cell, order);
    const auto position = [&order](std::int32_t k) { return order.empty() ? k : order[static_cast<std::size_t>(k)]; };
    std::vector<double>& sx = scratch.sx;
    std::vector<double>& sy = scratch.sy;
    std::vector<std::int64_t>& sid = scratch.sid;
    sx.resize(static_cast<std::size_t>(m)), sy.resize(static_cast<std::size_t>(m)), sid.resize(static_cast<std::size_t>(m));
    for (std::int32_t k = 0; k < m; ++k) {
        const std::int32_t i = position(k);
        sx[static_cast<std::size_t>(k)] = x[i];
        sy[static_cast<std::size_t>(k)] = y[i];
        sid[static_cast<std::size_t>(k)] = ids[i];
    }
    TileResult result = finishInOrder(cell, sx.data(), sy.data(), sid.data(), m, triangulate, narrow, scratch);
    if (!order.empty()) std::sort(result.seamPoints.begin(), result.seamPoints.end());
    return result;
}

}  // namespace

TileResult finishTile(const Cell& cell, const double* x, const double* y, const std::int64_t* ids,
                      std::int32_t m, const TileTriangulator& triangulate)
{
    if (m <= 0) return {};
    TileScratch scratch;
    return finishGathered(cell, x, y, ids, m, triangulate, false, scratch);
}

TileResult finishTileOf(const Cell& cell, const double* x, const double* y, const std::int64_t* ids,
                        std::int32_t m, const TileTriangulator& triangulate, TileScratch* reused)
{
    if (m <= 0) return {};
    TileScratch own;
    TileScratch& scratch = reused != nullptr ? *reused : own;
    // Gathered once: the ids are spread over all points, and the grid
    // order reads the coordinates three times.
    std::vector<double>& tx = scratch.tx;
    std::vector<double>& ty = scratch.ty;
    tx.resize(static_cast<std::size_t>(m)), ty.resize(static_cast<std::size_t>(m));
    for (std::int32_t i = 0; i < m; ++i) tx[static_cast<std::size_t>(i)] = x[ids[i]], ty[static_cast<std::size_t>(i)] = y[ids[i]];
    return finishGathered(cell, tx.data(), ty.data(), ids, m, triangulate, true, scratch);
}

}  // namespace tiling
