#include "mesh_adjacency.hpp"

#include <algorithm>
#include <climits>
#include <stdexcept>

namespace kyhost_spatial {

namespace {

// Points with more rows than this match their edges through a sorted list.
constexpr std::size_t fewRows = 16;

}  // namespace

std::int64_t firstBadCorner(const std::int32_t* rows, std::int64_t m, std::int32_t n)
{
    for (std::int64_t i = 0; i < 3 * m; ++i)
        if (rows[i] < 0 || rows[i] >= n) return i;
    return -1;
}

ViewsByCorner groupByCorner(const std::int32_t* rows, std::int64_t m, std::int32_t n)
{
    if (3 * m > INT32_MAX) throw std::length_error("too many rows: 3m must stay below 2^31");
    ViewsByCorner grouped;
    // Counted in 32 bits (3m < 2^31): half the memory to hit at random.
    std::vector<std::int32_t> fill(static_cast<std::size_t>(n) + 1, 0);
    for (std::int64_t i = 0; i < 3 * m; ++i) ++fill[static_cast<std::size_t>(rows[i]) + 1];
    for (std::int32_t p = 0; p < n; ++p) fill[p + 1] += fill[p];
    grouped.start.assign(fill.begin(), fill.end());
    grouped.views.reset(new CornerView[static_cast<std::size_t>(3 * m)]);
    for (std::int64_t r = 0; r < m; ++r)
        for (int c = 0; c < 3; ++c)
            grouped.views[fill[rows[3 * r + c]]++] = {static_cast<std::int32_t>(3 * r + c), rows[3 * r + (c + 1) % 3],
                                                     rows[3 * r + (c + 2) % 3]};
    return grouped;
}

namespace {

std::vector<std::int32_t> neighboursOf(const ViewsByCorner& grouped, std::int64_t m, std::int32_t n)
{
    std::vector<std::int32_t> across(static_cast<std::size_t>(3 * m), -1);
    std::vector<std::pair<std::int32_t, std::int32_t>> byB;  // (b, row) of a point with many rows
    for (std::int32_t p = 0; p < n; ++p) {
        const CornerView* first = grouped.views.get() + grouped.start[p];
        const CornerView* last = grouped.views.get() + grouped.start[p + 1];
        const auto count = static_cast<std::size_t>(last - first);
        // The edge p -> a of a row lies across from the row holding a -> p,
        // which is the row seen from p with b = a.
        if (count <= fewRows) {
            for (const CornerView* e = first; e != last; ++e)
                for (const CornerView* f = first; f != last; ++f)
                    if (f->b == e->a) {
                        across[e->slot - e->slot % 3 + (e->slot % 3 + 2) % 3] = f->slot / 3;
                        break;
                    }
            continue;
        }
        byB.clear();
        for (const CornerView* f = first; f != last; ++f) byB.emplace_back(f->b, f->slot / 3);
        std::sort(byB.begin(), byB.end());
        for (const CornerView* e = first; e != last; ++e) {
            const auto at = std::lower_bound(byB.begin(), byB.end(), std::make_pair(e->a, std::int32_t{-1}));
            if (at != byB.end() && at->first == e->a) across[e->slot - e->slot % 3 + (e->slot % 3 + 2) % 3] = at->second;
        }
    }
    return across;
}

NeighbourGraph adjacencyOf(const ViewsByCorner& grouped, std::int64_t m, std::int32_t n)
{
    NeighbourGraph graph;
    graph.start.resize(static_cast<std::size_t>(n) + 1);
    graph.start[0] = 0;
    // A triangulation has 3m + h entries (h points on the hull).
    graph.points.reserve(static_cast<std::size_t>(3 * m + n));
    std::vector<std::int32_t>& points = graph.points;
    for (std::int32_t p = 0; p < n; ++p) {
        // Each row at p adds its a; a b that is no row's a is the far end of
        // a hull edge (one per point on the hull, several only where the rows
        // do not form a triangulation).
        const auto first = static_cast<std::ptrdiff_t>(points.size());
        const std::int64_t begin = grouped.start[p], end = grouped.start[p + 1];
        for (std::int64_t i = begin; i < end; ++i) points.push_back(grouped.views[i].a);
        if (end - begin <= static_cast<std::int64_t>(fewRows)) {
            for (std::int64_t i = begin; i < end; ++i) {
                const std::int32_t b = grouped.views[i].b;
                if (std::find(points.begin() + first, points.end(), b) == points.end()) points.push_back(b);
            }
        } else {
            for (std::int64_t i = begin; i < end; ++i) points.push_back(grouped.views[i].b);
        }
        std::sort(points.begin() + first, points.end());
        points.erase(std::unique(points.begin() + first, points.end()), points.end());
        graph.start[p + 1] = static_cast<std::int64_t>(points.size());
    }
    return graph;
}

}  // namespace

std::vector<std::int32_t> rowNeighbours(const std::int32_t* rows, std::int64_t m, std::int32_t n)
{
    return neighboursOf(groupByCorner(rows, m, n), m, n);
}

NeighbourGraph pointAdjacency(const std::int32_t* rows, std::int64_t m, std::int32_t n)
{
    return adjacencyOf(groupByCorner(rows, m, n), m, n);
}

NeighbourGraph pathAdjacency(const std::vector<std::int32_t>& order)
{
    const auto n = static_cast<std::int32_t>(order.size());
    NeighbourGraph graph;
    graph.start.assign(static_cast<std::size_t>(n) + 1, 0);
    std::vector<std::int32_t> before(static_cast<std::size_t>(n), -1), after(static_cast<std::size_t>(n), -1);
    for (std::int32_t i = 0; i < n; ++i) {
        if (i > 0) before[order[i]] = order[i - 1];
        if (i + 1 < n) after[order[i]] = order[i + 1];
    }
    for (std::int32_t p = 0; p < n; ++p) {
        std::int32_t joined[2] = {before[p], after[p]};
        if (joined[0] > joined[1]) std::swap(joined[0], joined[1]);
        for (const std::int32_t q : joined)
            if (q >= 0) graph.points.push_back(q);
        graph.start[p + 1] = static_cast<std::int64_t>(graph.points.size());
    }
    return graph;
}

}  // namespace kyhost_spatial
