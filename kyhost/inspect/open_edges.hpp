// The directed edges of the rows read so far that still wait for the row
// on their other side. Rows that lie near each other in the file (a
// sweep's rows, or a tiler's, tile by tile) close most edges soon after
// opening them, so the table stays small; it grows up to a byte budget and
// reports when the rows would need more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ky::inspect {

struct PendingEdge {
    std::uint64_t key = 0;  // lower point << 32 | higher point (never 0: lower < higher)
    std::uint64_t row = 0;  // bit 63: the row runs lower -> higher
    double oppositeX = 0, oppositeY = 0;  // the row's third corner, so that the edge's test needs no other read
};
constexpr std::uint64_t runsForward = std::uint64_t{1} << 63;

class OpenEdges {
public:
    explicit OpenEdges(std::uint64_t budgetBytes);

    enum class Outcome { Closed, Opened, Full };
    // Closed: a pending edge of the same key running the other way was taken
    // out into *partner. Opened: the edge now waits. Full: the table would
    // outgrow its budget (the edge is not added).
    Outcome offer(const PendingEdge& edge, PendingEdge& partner);

    // Asks for the slot an edge of this key would start its search at, for
    // an edge that comes soon.
    void prefetch(std::uint64_t key) const
    {
        if (!slots_.empty()) __builtin_prefetch(&slots_[home(key)]);
    }

    std::size_t size() const { return size_; }
    std::size_t peak() const { return peak_; }
    // The edges still waiting, ordered by key and then row; empties the table.
    std::vector<PendingEdge> drain();

private:
    std::size_t home(std::uint64_t key) const;
    void erase(std::size_t slot);
    bool grow();

    std::vector<PendingEdge> slots_;
    std::size_t size_ = 0, peak_ = 0;
    std::uint64_t budget_;
};

// Keys only, for picking out the rows' edges of a few chosen keys.
class KeySet {
public:
    explicit KeySet(const std::vector<std::uint64_t>& keys);
    static std::size_t bytesFor(std::size_t keys) { return slotsFor(keys) * sizeof(std::uint64_t); }
    bool contains(std::uint64_t key) const;

private:
    // A power of two, at least twice the keys: short probe runs.
    static std::size_t slotsFor(std::size_t keys)
    {
        std::size_t size = 16;
        while (size < 2 * keys) size *= 2;
        return size;
    }
    std::vector<std::uint64_t> slots_;
};

}  // namespace ky::inspect
