#include "hull_cycle.hpp"

#include "exact_predicates.hpp"

namespace sweeptri {

namespace {

bool turnsClockwise(const Site& a, const Site& b, const Site& c)
{
    return orientationSign(a.x, a.y, b.x, b.y, c.x, c.y) < 0;
}

// Positions of the chain that runs counter-clockwise from the first site to
// the last (forward: the right side of the hull) or from the last to the
// first (backward: the left side). Collinear points are kept.
std::vector<std::int32_t> chain(const Site* sites, std::int32_t n, bool forward)
{
    std::vector<std::int32_t> stack;
    for (std::int32_t step = 0; step < n; ++step) {
        const std::int32_t j = forward ? step : n - 1 - step;
        while (stack.size() >= 2 && turnsClockwise(sites[stack[stack.size() - 2]], sites[stack.back()], sites[j]))
            stack.pop_back();
        stack.push_back(j);
    }
    return stack;
}

}  // namespace

HullCycle findHullCycle(const Site* sites, std::int32_t n)
{
    HullCycle hull;
    if (n < 3) return hull;
    const std::vector<std::int32_t> right = chain(sites, n, true);
    const std::vector<std::int32_t> left = chain(sites, n, false);
    // Points all on one line: no turn ever drops a point, and both chains
    // hold every site. Otherwise each boundary point lies on one chain only
    // (the first and last site end both).
    if (right.size() + left.size() - 2 > static_cast<std::size_t>(n)) return hull;
    hull.points.reserve(right.size() + left.size() - 2);
    for (std::size_t k = 0; k + 1 < right.size(); ++k) hull.points.push_back(sites[right[k]].number);
    for (std::size_t k = 0; k + 1 < left.size(); ++k) hull.points.push_back(sites[left[k]].number);
    return hull;
}

}  // namespace sweeptri
