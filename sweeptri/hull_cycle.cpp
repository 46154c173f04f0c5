#include "hull_cycle.hpp"

#include <cmath>
#include <vector>

#include "exact_predicates.hpp"
#include "host_services.hpp"

namespace sweeptri {

namespace {

int turn(const Site& a, const Site& b, const Site& c) { return orientationSign(a.x, a.y, b.x, b.y, c.x, c.y); }

}  // namespace

HullCycle findHullCycle(const Site* sites, std::int32_t n)
{
    HullCycle hull;
    if (n < 3) return hull;
    // One pass in sweep order builds both chains from the first site to the
    // last: the right one turns counter-clockwise (a clockwise turn drops
    // the middle point), the left one clockwise. Collinear points stay.
    std::vector<std::int32_t> right, left;
    for (std::int32_t j = 0; j < n; ++j) {
        while (right.size() >= 2 && turn(sites[right[right.size() - 2]], sites[right.back()], sites[j]) < 0)
            right.pop_back();
        right.push_back(j);
        while (left.size() >= 2 && turn(sites[left[left.size() - 2]], sites[left.back()], sites[j]) > 0)
            left.pop_back();
        left.push_back(j);
    }
    // Points all on one line: no turn ever drops a point, and both chains
    // hold every site. Otherwise each boundary point lies on one chain only
    // (the first and last site end both).
    if (right.size() + left.size() - 2 > static_cast<std::size_t>(n)) return hull;
    const std::size_t count = right.size() + left.size() - 2;
    auto* points = static_cast<std::int32_t*>(kyCalloc(count, sizeof(std::int32_t)));
    std::size_t i = 0;
    for (std::size_t k = 0; k + 1 < right.size(); ++k) points[i++] = sites[right[k]].number;
    for (std::size_t k = left.size() - 1; k > 0; --k) points[i++] = sites[left[k]].number;
    hull.points = HostNumbers{points, count};
    // The area as a fan from the first boundary point, each triangle with
    // its rounding error bound added, and the sum's too.
    const Site& first = sites[right[0]];
    double area = 0;
    const auto addTriangle = [&](const Site& b, const Site& c) {
        area += triangleAreaBounds(first.x, first.y, b.x, b.y, c.x, c.y).upper;
    };
    for (std::size_t k = 1; k + 1 < right.size(); ++k) addTriangle(sites[right[k]], sites[right[k + 1]]);
    addTriangle(sites[right.back()], sites[left[left.size() - 2]]);
    for (std::size_t k = left.size() - 2; k > 1; --k) addTriangle(sites[left[k]], sites[left[k - 1]]);
    hull.areaBound = std::isfinite(area) ? area * (1 + 0x1p-20) : INFINITY;
    return hull;
}

}  // namespace sweeptri
