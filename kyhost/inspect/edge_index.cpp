#include "edge_index.hpp"

#include <algorithm>

namespace ky::inspect {

EdgeIndex::EdgeIndex(std::size_t pointCount, std::span<const IndexedRow> rows) : start_(pointCount + 1, 0)
{
    for (const IndexedRow& r : rows)
        for (int c = 0; c < 3; ++c)
            ++start_[static_cast<std::size_t>(std::min(r.corners[c], r.corners[(c + 1) % 3])) + 1];
    for (std::size_t i = 0; i < pointCount; ++i) start_[i + 1] += start_[i];
    std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
    uses_.resize(3 * rows.size());
    for (const IndexedRow& r : rows)
        for (int c = 0; c < 3; ++c) {
            const std::int32_t from = r.corners[c], to = r.corners[(c + 1) % 3];
            const std::uint32_t slot = fill[static_cast<std::size_t>(std::min(from, to))]++;
            uses_[slot] = {std::max(from, to), from < to, r.corners[(c + 2) % 3], r.row};
        }
    // By larger point, uses u -> v before v -> u, then by row.
    const auto order = [](const EdgeUse& a, const EdgeUse& b) {
        if (a.other != b.other) return a.other < b.other;
        if (a.upward != b.upward) return a.upward;
        return a.row < b.row;
    };
    for (std::size_t u = 0; u < pointCount; ++u)
        std::sort(uses_.begin() + start_[u], uses_.begin() + start_[u + 1], order);
}

}  // namespace ky::inspect
