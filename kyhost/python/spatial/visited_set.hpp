// The points a search has seen: a small open-addressing hash set, cleared
// for every search, so that a search touches memory in proportion to the
// points it sees rather than to all points.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kyhost_spatial {

class VisitedSet {
public:
    void clear()
    {
        if (slots_.size() != initialSize) slots_.assign(initialSize, empty);
        else std::fill(slots_.begin(), slots_.end(), empty);
        used_ = 0;
    }

    // True when p was not in the set (it is now).
    bool insert(std::int32_t p)
    {
        if (2 * (used_ + 1) > slots_.size()) grow();
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t h = slot(p);; h = (h + 1) & mask) {
            if (slots_[h] == p) return false;
            if (slots_[h] == empty) {
                slots_[h] = p;
                ++used_;
                return true;
            }
        }
    }

private:
    static constexpr std::size_t initialSize = 64;
    static constexpr std::int32_t empty = -1;

    std::size_t slot(std::int32_t p) const
    {
        return static_cast<std::size_t>(static_cast<std::uint64_t>(static_cast<std::uint32_t>(p)) *
                                        0x9E3779B97F4A7C15ull >> 32) & (slots_.size() - 1);
    }

    void grow()
    {
        std::vector<std::int32_t> old(std::max<std::size_t>(2 * slots_.size(), initialSize), empty);
        old.swap(slots_);
        used_ = 0;
        for (const std::int32_t p : old)
            if (p != empty) insert(p);
    }

    std::vector<std::int32_t> slots_;
    std::size_t used_ = 0;
};

}  // namespace kyhost_spatial
