// The edges of a set of triangles, each filed under its smaller point
// (compressed rows) and sorted by its larger point and direction, so that
// an edge's rows in both directions lie side by side: one pass over memory,
// no lookups.
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

// One row's use of an edge, filed under the edge's smaller point.
struct EdgeUse {
    std::int32_t other;     // the larger point
    bool upward;            // the row runs smaller -> larger
    std::int32_t opposite;  // the row's third corner
    std::int32_t row;
};

class EdgeIndex {
public:
    // Rows u, v, w use the edges u -> v, v -> w and w -> u.
    EdgeIndex(std::size_t pointCount, std::span<const IndexedRow> rows);

    // Calls visit(u, v, up, down) once per edge u < v: `up` are its uses
    // u -> v, `down` its uses v -> u (each sorted by row; either may be
    // empty, not both).
    template <typename Visit>
    void forEachEdge(Visit&& visit) const
    {
        for (std::size_t u = 0; u + 1 < start_.size(); ++u) {
            const EdgeUse* at = uses_.data() + start_[u];
            const EdgeUse* end = uses_.data() + start_[u + 1];
            while (at != end) {
                const std::int32_t v = at->other;
                const EdgeUse* split = at;
                while (split != end && split->other == v && split->upward) ++split;
                const EdgeUse* next = split;
                while (next != end && next->other == v) ++next;
                visit(static_cast<std::int32_t>(u), v, std::span<const EdgeUse>(at, split),
                      std::span<const EdgeUse>(split, next));
                at = next;
            }
        }
    }

private:
    std::vector<std::uint32_t> start_;  // pointCount + 1 offsets
    std::vector<EdgeUse> uses_;
};

}  // namespace ky::inspect
