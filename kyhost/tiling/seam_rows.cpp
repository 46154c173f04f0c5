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
// A round inside a cell C. The same holds with P replaced by the points P_C
// of a cell C made of several tiles (or of cells finished in an earlier
// round), U by the seam points of its parts and the final region by theirs:
// their final triangles have their disks inside their own open cells, so
// they are Delaunay in P_C, they share no corner across parts, and every
// point outside U has all its triangles final (see tile_finish.cpp; the
// parts pass up their hull points as seam points, so P_C's hull is U's).
// So the kept triangles are the Delaunay triangles of P_C outside the final
// region. Of those, the ones whose closed disk lies inside C's open cell
// are Delaunay in P (no point outside C reaches them) and final; cocircular
// faces share one disk, so they are final whole or not at all. The rest,
// and P_C's hull edges, are what C leaves to the next round: U' = their
// corners and P_C's hull points, and the boundary edges of C's final region
// (its triangles: the dropped ones and the newly final ones) are its edges
// against a kept non-final triangle or the hull, final side on the left.
// These are edges of P's Delaunay subdivision (they bound whole final
// faces) with both ends in U', exactly what the next round needs. The last
// round takes the whole plane: every kept triangle is final there.
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

#include <CGAL/FPU.h>

#include "disk_containment.hpp"
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

SeamJoin joinSeams(const Cell* cell, SeamSet&& u, std::vector<std::int64_t>&& boundaryEdges, const TileTriangulator& triangulate)
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
    if (cell == nullptr) release(u.x), release(u.y);
    const std::size_t triangles = rows.size() / 3;
    enum : char { kept = 0, dropped = 1, finalHere = 2 };
    std::vector<char> state(triangles, kept);
    SeamJoin join;
    {
        const TriangleEdges edges(rows, m);
        std::vector<std::int64_t> stack;
        for (const std::uint64_t key : boundary) {
            const auto a = static_cast<std::int32_t>(key >> 32), b = static_cast<std::int32_t>(key & 0xffffffffu);
            const std::int64_t t = edges.triangleLeftOf(a, b);  // the final side of a -> b
            if (t < 0) throw std::runtime_error("tiling: a boundary edge of the finished tiles is not a seam edge");
            if (state[static_cast<std::size_t>(t)] == dropped) continue;
            state[static_cast<std::size_t>(t)] = dropped;
            stack.push_back(t);
            while (!stack.empty()) {
                const std::int64_t s = stack.back();
                stack.pop_back();
                std::int32_t from[3], to[3];
                leftEdges(&rows[static_cast<std::size_t>(3 * s)], from, to);
                for (int e = 0; e < 3; ++e) {
                    if (isBoundary(from[e], to[e])) continue;
                    const std::int64_t beyond = edges.triangleLeftOf(to[e], from[e]);
                    if (beyond < 0 || state[static_cast<std::size_t>(beyond)] == dropped) continue;
                    state[static_cast<std::size_t>(beyond)] = dropped;
                    stack.push_back(beyond);
                }
            }
        }
        release(boundary);
        if (cell != nullptr) {
            {
                const CGAL::Protect_FPU_rounding<true> upwards;  // for the interval filter
                for (std::size_t t = 0; t < triangles; ++t) {
                    if (state[t] != kept) continue;
                    const std::int32_t* r = &rows[3 * t];
                    if (diskInsideOpenCell(*cell, u.x[static_cast<std::size_t>(r[0])], u.y[static_cast<std::size_t>(r[0])],
                                           u.x[static_cast<std::size_t>(r[1])], u.y[static_cast<std::size_t>(r[1])],
                                           u.x[static_cast<std::size_t>(r[2])], u.y[static_cast<std::size_t>(r[2])]))
                        state[t] = finalHere;
                }
            }
            // What the next round needs: the corners of the kept triangles
            // not final here, P_C's hull points (and points in no triangle),
            // and the edges where the final region now ends.
            std::vector<char> up(static_cast<std::size_t>(m), 1);
            for (std::size_t t = 0; t < triangles; ++t)
                for (int k = 0; k < 3; ++k) up[static_cast<std::size_t>(rows[3 * t + static_cast<std::size_t>(k)])] = 0;
            for (std::size_t t = 0; t < triangles; ++t) {
                const std::int32_t* r = &rows[3 * t];
                std::int32_t from[3], to[3];
                leftEdges(r, from, to);
                for (int e = 0; e < 3; ++e) {
                    const std::int64_t beyond = edges.triangleLeftOf(to[e], from[e]);
                    if (state[t] == kept) up[static_cast<std::size_t>(from[e])] = 1;
                    if (beyond < 0) up[static_cast<std::size_t>(from[e])] = up[static_cast<std::size_t>(to[e])] = 1;
                    if (state[t] != kept && (beyond < 0 || state[static_cast<std::size_t>(beyond)] == kept)) {
                        join.boundaryEdges.push_back(sid[static_cast<std::size_t>(from[e])]);
                        join.boundaryEdges.push_back(sid[static_cast<std::size_t>(to[e])]);
                    }
                }
            }
            for (std::int32_t i = 0; i < m; ++i)
                if (up[static_cast<std::size_t>(i)]) {
                    join.up.x.push_back(u.x[static_cast<std::size_t>(i)]);
                    join.up.y.push_back(u.y[static_cast<std::size_t>(i)]);
                    join.up.ids.push_back(sid[static_cast<std::size_t>(i)]);
                }
            release(u.x), release(u.y);
        }
    }
    const char finished = cell == nullptr ? kept : finalHere;
    std::size_t finalCount = 0;
    for (std::size_t t = 0; t < triangles; ++t) finalCount += state[t] == finished ? 1 : 0;
    join.rows.reserve(3 * finalCount);
    for (std::size_t t = 0; t < triangles; ++t)
        if (state[t] == finished)
            for (int k = 0; k < 3; ++k) join.rows.push_back(sid[static_cast<std::size_t>(rows[3 * t + static_cast<std::size_t>(k)])]);
    return join;
}

std::vector<std::int64_t> seamRows(SeamSet&& u, std::vector<std::int64_t>&& boundaryEdges, const TileTriangulator& triangulate)
{
    return joinSeams(nullptr, std::move(u), std::move(boundaryEdges), triangulate).rows;
}

}  // namespace tiling
