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
//
// Memory. At scale U holds millions of points, so it is kept lean: U is
// ordered in place, the boundary edges become sorted 8-byte keys, the
// coordinates go once the sweep has them, and the edge lookup stores 32-bit
// triangles. About 100 bytes per seam point at the peak, beside the sweep's
// own while it runs.
#include <algorithm>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "tiled_delaunay.hpp"
#include "triangle_edges.hpp"

namespace tiling {

namespace {

// a -> b as one key; the undirected edge {a, b} is a -> b or b -> a.
std::uint64_t directedKey(std::int32_t a, std::int32_t b)
{
    return (std::uint64_t{static_cast<std::uint32_t>(a)} << 32) | static_cast<std::uint32_t>(b);
}

template <class T>
void release(std::vector<T>& v)
{
    std::vector<T>().swap(v);
}

// Sorts U by id in place (x, y and ids together) and refuses an id listed twice.
void orderById(SeamSet& u)
{
    const std::size_t m = u.ids.size();
    std::vector<std::int32_t> order(m);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) { return u.ids[static_cast<std::size_t>(a)] < u.ids[static_cast<std::size_t>(b)]; });
    // Position i takes the element at order[i]: follow each cycle once,
    // marking placed positions by complementing their entry.
    for (std::size_t i = 0; i < m; ++i) {
        if (order[i] < 0) continue;
        const double x = u.x[i], y = u.y[i];
        const std::int64_t id = u.ids[i];
        std::size_t at = i;
        for (;;) {
            const auto from = static_cast<std::size_t>(order[at]);
            order[at] = ~order[at];
            if (from == i) {
                u.x[at] = x, u.y[at] = y, u.ids[at] = id;
                break;
            }
            u.x[at] = u.x[from], u.y[at] = u.y[from], u.ids[at] = u.ids[from];
            at = from;
        }
    }
    for (std::size_t i = 1; i < m; ++i)
        if (u.ids[i] == u.ids[i - 1]) throw std::invalid_argument("tiling: a seam point is listed twice");
}

}  // namespace

std::vector<std::int64_t> seamRows(const double* ux, const double* uy, const std::int64_t* uids,
                                   std::int64_t nu, const std::vector<std::int64_t>& boundaryEdges,
                                   const TileTriangulator& triangulate)
{
    if (nu < 0 || nu > std::numeric_limits<std::int32_t>::max())
        throw std::invalid_argument("tiling: the seam set must hold 0 to 2^31-1 points");
    SeamSet u;
    u.x.assign(ux, ux + nu), u.y.assign(uy, uy + nu), u.ids.assign(uids, uids + nu);
    return seamRows(std::move(u), std::vector<std::int64_t>(boundaryEdges), triangulate);
}

std::vector<std::int64_t> seamRows(SeamSet&& u, std::vector<std::int64_t>&& boundaryEdges, const TileTriangulator& triangulate)
{
    if (u.x.size() != u.ids.size() || u.y.size() != u.ids.size())
        throw std::invalid_argument("tiling: the seam set's coordinates and ids differ in length");
    if (u.ids.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw std::invalid_argument("tiling: the seam set must hold 0 to 2^31-1 points");
    if (boundaryEdges.size() % 2 != 0) throw std::invalid_argument("tiling: boundary edges come in pairs");
    const auto m = static_cast<std::int32_t>(u.ids.size());
    // Triangulated in ascending id order, so that the rows depend on U alone.
    orderById(u);
    const std::vector<std::int64_t>& sid = u.ids;
    const auto local = [&](std::int64_t id) {
        const auto at = std::lower_bound(sid.begin(), sid.end(), id);
        if (at == sid.end() || *at != id) throw std::runtime_error("tiling: a boundary edge ends outside the seam set");
        return static_cast<std::int32_t>(at - sid.begin());
    };
    // Each boundary edge a -> b, final side on its left, in U's numbering.
    std::vector<std::uint64_t> boundary(boundaryEdges.size() / 2);
    for (std::size_t k = 0; k < boundary.size(); ++k) boundary[k] = directedKey(local(boundaryEdges[2 * k]), local(boundaryEdges[2 * k + 1]));
    release(boundaryEdges);
    std::sort(boundary.begin(), boundary.end());
    const auto isBoundary = [&](std::int32_t a, std::int32_t b) {
        return std::binary_search(boundary.begin(), boundary.end(), directedKey(a, b)) ||
               std::binary_search(boundary.begin(), boundary.end(), directedKey(b, a));
    };

    std::vector<std::int32_t> rows = m == 0 ? std::vector<std::int32_t>{} : triangulate(u.x.data(), u.y.data(), m).corners;
    release(u.x), release(u.y);
    const std::size_t triangles = rows.size() / 3;
    std::vector<char> dropped(triangles, 0);
    {
        const TriangleEdges edges(rows, m);
        std::vector<std::int64_t> stack;
        for (const std::uint64_t key : boundary) {
            const auto a = static_cast<std::int32_t>(key >> 32), b = static_cast<std::int32_t>(key & 0xffffffffu);
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
                    if (isBoundary(from[e], to[e])) continue;
                    const std::int64_t beyond = edges.triangleLeftOf(to[e], from[e]);
                    if (beyond < 0 || dropped[static_cast<std::size_t>(beyond)]) continue;
                    dropped[static_cast<std::size_t>(beyond)] = 1;
                    stack.push_back(beyond);
                }
            }
        }
    }
    release(boundary);
    std::size_t keptCount = 0;
    for (std::size_t t = 0; t < triangles; ++t) keptCount += dropped[t] ? 0 : 1;
    std::vector<std::int64_t> kept;
    kept.reserve(3 * keptCount);
    for (std::size_t t = 0; t < triangles; ++t)
        if (!dropped[t])
            for (int k = 0; k < 3; ++k) kept.push_back(sid[static_cast<std::size_t>(rows[3 * t + static_cast<std::size_t>(k)])]);
    return kept;
}

}  // namespace tiling
