#include "edge_index.hpp"

#include <algorithm>

namespace ky::inspect {

EdgeIndex::EdgeIndex(std::size_t pointCount, std::span<const IndexedRow> rows) : start_(pointCount + 1, 0)
{
    for (const IndexedRow& r : rows)
        for (std::int32_t corner : r.corners) ++start_[static_cast<std::size_t>(corner) + 1];
    for (std::size_t i = 0; i < pointCount; ++i) start_[i + 1] += start_[i];
    std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
    edges_.resize(3 * rows.size());
    for (const IndexedRow& r : rows)
        for (int c = 0; c < 3; ++c) {
            const std::uint32_t slot = fill[static_cast<std::size_t>(r.corners[c])]++;
            edges_[slot] = {r.corners[(c + 1) % 3], r.corners[(c + 2) % 3], r.row};
        }
    const auto order = [](const DirectedEdge& a, const DirectedEdge& b) {
        return a.to != b.to ? a.to < b.to : a.row < b.row;
    };
    for (std::size_t u = 0; u < pointCount; ++u)
        std::sort(edges_.begin() + start_[u], edges_.begin() + start_[u + 1], order);
}

std::span<const DirectedEdge> EdgeIndex::between(std::size_t u, std::int32_t v) const
{
    const std::span<const DirectedEdge> all = from(u);
    const auto first = std::lower_bound(all.begin(), all.end(), v,
                                        [](const DirectedEdge& e, std::int32_t to) { return e.to < to; });
    auto last = first;
    while (last != all.end() && last->to == v) ++last;
    return {first, last};
}

}  // namespace ky::inspect
