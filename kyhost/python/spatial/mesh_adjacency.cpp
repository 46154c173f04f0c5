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

}  // namespace

std::vector<std::int32_t> rowNeighbours(const std::int32_t* rows, std::int64_t m, std::int32_t n)
{
    return neighboursOf(groupByCorner(rows, m, n), m, n);
}

NeighbourGraph pointAdjacency(const std::int32_t* rows, std::int64_t m, std::int32_t n)
{
    // The rows grouped by corner (as slots 3r + c, 4 bytes each), then for
    // each point the other two corners of its rows, sorted, each once. In a
    // triangulation that is 3m + h entries (h points on the hull).
    if (3 * m > INT32_MAX) throw std::length_error("too many rows: 3m must stay below 2^31");
    std::vector<std::int32_t> fill(static_cast<std::size_t>(n) + 1, 0);
    for (std::int64_t i = 0; i < 3 * m; ++i) ++fill[static_cast<std::size_t>(rows[i]) + 1];
    for (std::int32_t p = 0; p < n; ++p) fill[p + 1] += fill[p];
    const std::vector<std::int32_t> slotStart(fill.begin(), fill.end());
    std::unique_ptr<std::int32_t[]> slots(new std::int32_t[static_cast<std::size_t>(3 * m)]);
    for (std::int64_t i = 0; i < 3 * m; ++i) slots[fill[rows[i]]++] = static_cast<std::int32_t>(i);
    NeighbourGraph graph;
    graph.start.resize(static_cast<std::size_t>(n) + 1);
    graph.start[0] = 0;
    graph.points.reserve(static_cast<std::size_t>(3 * m + n));
    for (std::int32_t p = 0; p < n; ++p) {
        const auto first = static_cast<std::ptrdiff_t>(graph.points.size());
        for (std::int32_t i = slotStart[p]; i < slotStart[p + 1]; ++i) {
            const std::int32_t slot = slots[i], row = slot - slot % 3, c = slot % 3;
            graph.points.push_back(rows[row + (c + 1) % 3]);
            graph.points.push_back(rows[row + (c + 2) % 3]);
        }
        std::sort(graph.points.begin() + first, graph.points.end());
        graph.points.erase(std::unique(graph.points.begin() + first, graph.points.end()), graph.points.end());
        graph.start[p + 1] = static_cast<std::int64_t>(graph.points.size());
    }
    return graph;
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
