// The boundary of the convex hull of the sites, every point on it included
// (also the points inside a hull edge), found with exact orientation tests.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sweep_state.hpp"

namespace sweeptri {

// Site numbers in a host block of the running call, which the host
// reclaims when the call ends, also when an error or a fault on a mapped
// input ends it early.
struct HostNumbers {
    const std::int32_t* data = nullptr;
    std::size_t count = 0;
    std::size_t size() const { return count; }
    bool empty() const { return count == 0; }
    std::int32_t operator[](std::size_t i) const { return data[i]; }
};

struct HullCycle {
    // Site numbers of the boundary points, counter-clockwise, each once.
    // Empty when the sites are fewer than three or all on one line: the
    // hull then has no area.
    HostNumbers points;
    // At least the hull's exact area (infinite where the arithmetic
    // overflowed); 0 without area.
    double areaBound = 0;
    bool hasArea() const { return !points.empty(); }
};

// Monotone chains over sites[0 .. n-1], which must be distinct and in sweep
// order (ascending y, then x). A chain drops a point only on a strict
// clockwise turn, so points exactly on a hull edge stay on the boundary.
HullCycle findHullCycle(const Site* sites, std::int32_t n);

}  // namespace sweeptri
