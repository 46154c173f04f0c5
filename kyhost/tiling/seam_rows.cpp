// The seams: the Delaunay triangles of P that no tile finished, taken from
// the Delaunay triangulation of the seam set U.
//
// Why DT(U) holds them. Every corner of a non-final face of P's Delaunay
// subdivision is in U (see tile_finish.cpp). Such a face's circle has no
// point of P inside and only the face's corners on it, all in U, so it is a
// face of U's Delaunay subdivision as well, and DT(U) covers it with
// triangles of that face (any triangulation of a cocircular face is
// Delaunay). P's hull points are tile-hull points, so U and P have the same
// hull, and DT(U) covers the final region and the non-final faces of P.
//
// Which of DT(U)'s triangles to keep. The boundary edges of the final region
// are edges of P's Delaunay subdivision with both ends in U, so (their empty
// witnessing circle stays empty in U) they are edges of DT(U): the final
// region is a union of DT(U)'s triangles bounded by boundary edges. A flood
// from the triangle on the final side of each boundary edge, across DT(U)'s
// edges that are not boundary edges, reaches exactly the DT(U) triangles
// inside the final region (each edge-connected piece of it is bounded by
// boundary edges and has one); those are dropped, the tiles already gave
// them. Every other triangle of DT(U) lies in a non-final face of P and is
// kept. This finishes every seam in one round: no triangle stays unfinished
// for a second one. (The caller falls back to one sweep of all points when
// U is too large for the tiles to have helped.)
#include <algorithm>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <unordered_set>

#include "tiled_delaunay.hpp"
#include "triangle_edges.hpp"

namespace tiling {

namespace {

std::uint64_t undirectedKey(std::int32_t a, std::int32_t b)
{
    const auto lo = static_cast<std::uint32_t>(std::min(a, b)), hi = static_cast<std::uint32_t>(std::max(a, b));
    return (std::uint64_t{hi} << 32) | lo;
}

}  // namespace

std::vector<std::int64_t> seamRows(const double* ux, const double* uy, const std::int64_t* uids,
                                   std::int64_t nu, const std::vector<std::int64_t>& boundaryEdges,
                                   const TileTriangulator& triangulate)
{
    if (nu < 0 || nu > std::numeric_limits<std::int32_t>::max())
        throw std::invalid_argument("tiling: the seam set must hold 0 to 2^31-1 points");
    if (boundaryEdges.size() % 2 != 0) throw std::invalid_argument("tiling: boundary edges come in pairs");
    const auto m = static_cast<std::int32_t>(nu);
    // Triangulated in ascending id order, so that the rows depend on U alone.
    std::vector<std::int32_t> order(static_cast<std::size_t>(m));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [uids](std::int32_t a, std::int32_t b) { return uids[a] < uids[b]; });
    std::vector<double> sx(order.size()), sy(order.size());
    std::vector<std::int64_t> sid(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        sx[i] = ux[order[i]], sy[i] = uy[order[i]], sid[i] = uids[order[i]];
        if (i > 0 && sid[i] == sid[i - 1]) throw std::invalid_argument("tiling: a seam point is listed twice");
    }
    const std::vector<std::int32_t> rows = m == 0 ? std::vector<std::int32_t>{} : triangulate(sx.data(), sy.data(), m).corners;
    const TriangleEdges edges(rows, m);
    const std::size_t triangles = rows.size() / 3;

    const auto local = [&](std::int64_t id) {
        const auto at = std::lower_bound(sid.begin(), sid.end(), id);
        if (at == sid.end() || *at != id) throw std::runtime_error("tiling: a boundary edge ends outside the seam set");
        return static_cast<std::int32_t>(at - sid.begin());
    };
    std::unordered_set<std::uint64_t> blocked;
    blocked.reserve(boundaryEdges.size());
    std::vector<std::pair<std::int32_t, std::int32_t>> starts;
    starts.reserve(boundaryEdges.size() / 2);
    for (std::size_t k = 0; k < boundaryEdges.size(); k += 2) {
        const std::int32_t a = local(boundaryEdges[k]), b = local(boundaryEdges[k + 1]);
        blocked.insert(undirectedKey(a, b));
        starts.emplace_back(a, b);
    }

    std::vector<char> dropped(triangles, 0);
    std::vector<std::int64_t> stack;
    for (const auto& [a, b] : starts) {
        const std::int64_t t = edges.triangleLeftOf(a, b);  // the final side of a -> b
        if (t < 0) throw std::runtime_error("tiling: a boundary edge of the finished tiles is not a seam edge");
        if (dropped[static_cast<std::size_t>(t)]) continue;
        dropped[static_cast<std::size_t>(t)] = 1;
        stack.push_back(t);
        while (!stack.empty()) {
            const std::int64_t s = stack.back();
            stack.pop_back();
            std::int32_t from[3], to[3];
            leftEdges(&rows[static_cast<std::size_t>(3 * s)], from, to);
            for (int e = 0; e < 3; ++e) {
                if (blocked.count(undirectedKey(from[e], to[e]))) continue;
                const std::int64_t beyond = edges.triangleLeftOf(to[e], from[e]);
                if (beyond < 0 || dropped[static_cast<std::size_t>(beyond)]) continue;
                dropped[static_cast<std::size_t>(beyond)] = 1;
                stack.push_back(beyond);
            }
        }
    }
    std::vector<std::int64_t> kept;
    for (std::size_t t = 0; t < triangles; ++t)
        if (!dropped[t])
            for (int k = 0; k < 3; ++k) kept.push_back(sid[static_cast<std::size_t>(rows[3 * t + static_cast<std::size_t>(k)])]);
    return kept;
}

}  // namespace tiling
