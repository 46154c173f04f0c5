// The boundary of the convex hull of the sites, every point on it included
// (also the points inside a hull edge), found with exact orientation tests.
#pragma once

#include <cstdint>
#include <vector>

#include "sweep_state.hpp"

namespace sweeptri {

struct HullCycle {
    // Site numbers of the boundary points, counter-clockwise, each once.
    // Empty when the sites are fewer than three or all on one line: the
    // hull then has no area.
    std::vector<std::int32_t> points;
    bool hasArea() const { return !points.empty(); }
};

// Monotone chains over sites[0 .. n-1], which must be distinct and in sweep
// order (ascending y, then x). A chain drops a point only on a strict
// clockwise turn, so points exactly on a hull edge stay on the boundary.
HullCycle findHullCycle(const Site* sites, std::int32_t n);

}  // namespace sweeptri
