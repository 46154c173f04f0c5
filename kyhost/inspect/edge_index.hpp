// The directed edges of a set of triangles, grouped by their first point
// (compressed rows) and sorted by their second point within each group, so
// that an edge and its reverse are found by binary search.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace ky::inspect {

// A triangle as three 0-based point positions, with its row in TRI.
struct IndexedRow {
    std::array<std::int32_t, 3> corners;
    std::int32_t row;
};

struct DirectedEdge {
    std::int32_t to;
    std::int32_t opposite;  // the row's third corner
    std::int32_t row;
};

class EdgeIndex {
public:
    // Rows u, v, w give the edges u -> v, v -> w and w -> u.
    EdgeIndex(std::size_t pointCount, std::span<const IndexedRow> rows);

    // The edges that start at u, sorted by `to`, then by row.
    std::span<const DirectedEdge> from(std::size_t u) const
    {
        return {edges_.data() + start_[u], edges_.data() + start_[u + 1]};
    }
    // The edges u -> v.
    std::span<const DirectedEdge> between(std::size_t u, std::int32_t v) const;
    std::size_t pointCount() const { return start_.size() - 1; }

private:
    std::vector<std::uint32_t> start_;  // pointCount + 1 offsets
    std::vector<DirectedEdge> edges_;
};

}  // namespace ky::inspect
