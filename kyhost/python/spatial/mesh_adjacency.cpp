#include "mesh_adjacency.hpp"

#include <algorithm>

namespace kyhost_spatial {

namespace {

// The directed edges of the rows grouped by their first point: edge k of
// row r runs from corner k+1 to corner k+2 (it lies opposite corner k).
struct EdgesByTail {
    std::vector<std::int64_t> start;  // n + 1 offsets
    std::vector<std::int32_t> head;   // head point of each grouped edge
    std::vector<std::int64_t> slot;   // 3 * row + k of each grouped edge
};

EdgesByTail groupEdges(const std::int32_t* rows, std::int64_t m, std::int32_t n)
{
    EdgesByTail edges;
    edges.start.assign(static_cast<std::size_t>(n) + 1, 0);
    for (std::int64_t e = 0; e < 3 * m; ++e) {
        const std::int64_t r = e / 3, k = e % 3;
        ++edges.start[static_cast<std::size_t>(rows[3 * r + (k + 1) % 3]) + 1];
    }
    for (std::int32_t p = 0; p < n; ++p) edges.start[p + 1] += edges.start[p];
    std::vector<std::int64_t> fill(edges.start.begin(), edges.start.end() - 1);
    edges.head.resize(static_cast<std::size_t>(3 * m));
    edges.slot.resize(static_cast<std::size_t>(3 * m));
    for (std::int64_t e = 0; e < 3 * m; ++e) {
        const std::int64_t r = e / 3, k = e % 3;
        const std::int64_t at = fill[rows[3 * r + (k + 1) % 3]]++;
        edges.head[at] = rows[3 * r + (k + 2) % 3];
        edges.slot[at] = e;
    }
    return edges;
}

}  // namespace

std::int64_t firstBadCorner(const std::int32_t* rows, std::int64_t m, std::int32_t n)
{
    for (std::int64_t i = 0; i < 3 * m; ++i)
        if (rows[i] < 0 || rows[i] >= n) return i;
    return -1;
}

std::vector<std::int32_t> rowNeighbours(const std::int32_t* rows, std::int64_t m, std::int32_t n)
{
    std::vector<std::int32_t> across(static_cast<std::size_t>(3 * m));
    const EdgesByTail edges = groupEdges(rows, m, n);
    for (std::int64_t e = 0; e < 3 * m; ++e) {
        const std::int64_t row = e / 3, k = e % 3;
        const std::int32_t tail = rows[3 * row + (k + 1) % 3], head = rows[3 * row + (k + 2) % 3];
        std::int32_t found = -1;
        for (std::int64_t at = edges.start[head]; at < edges.start[head + 1]; ++at)
            if (edges.head[at] == tail) {
                found = static_cast<std::int32_t>(edges.slot[at] / 3);
                break;
            }
        across[e] = found;
    }
    return across;
}

NeighbourGraph pointAdjacency(const std::int32_t* rows, std::int64_t m, std::int32_t n)
{
    // Both directions of every edge, grouped by tail, then each group sorted
    // and its repeats dropped.
    std::vector<std::int64_t> count(static_cast<std::size_t>(n) + 1, 0);
    for (std::int64_t i = 0; i < 3 * m; ++i) count[static_cast<std::size_t>(rows[i]) + 1] += 2;
    for (std::int32_t p = 0; p < n; ++p) count[p + 1] += count[p];
    std::vector<std::int64_t> fill(count.begin(), count.end() - 1);
    std::vector<std::int32_t> all(static_cast<std::size_t>(6 * m));
    for (std::int64_t row = 0; row < m; ++row)
        for (int k = 0; k < 3; ++k) {
            const std::int32_t a = rows[3 * row + k], b = rows[3 * row + (k + 1) % 3];
            all[fill[a]++] = b;
            all[fill[b]++] = a;
        }
    NeighbourGraph graph;
    graph.start.assign(static_cast<std::size_t>(n) + 1, 0);
    graph.points.reserve(static_cast<std::size_t>(3 * m + n));
    for (std::int32_t p = 0; p < n; ++p) {
        auto first = all.begin() + count[p], last = all.begin() + count[p + 1];
        std::sort(first, last);
        last = std::unique(first, last);
        graph.points.insert(graph.points.end(), first, last);
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
