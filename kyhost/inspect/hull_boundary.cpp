#include "hull_boundary.hpp"

#include <algorithm>
#include <numeric>

namespace ky::inspect {

namespace {

// Monotone chain over the distinct points in (x, y) order, from the first
// point to the last: positions in `order` of the corners of the lower chain
// (forward) or the upper one (backward). Collinear points are dropped.
std::vector<std::size_t> chain(const PointSet& points, const std::vector<std::int32_t>& order, bool forward)
{
    std::vector<std::size_t> corners;
    const std::size_t m = order.size();
    for (std::size_t step = 0; step < m; ++step) {
        const std::size_t j = forward ? step : m - 1 - step;
        while (corners.size() >= 2 &&
               orientation(points, static_cast<std::size_t>(order[corners[corners.size() - 2]]),
                           static_cast<std::size_t>(order[corners.back()]), static_cast<std::size_t>(order[j])) <= 0)
            corners.pop_back();
        corners.push_back(j);
    }
    return corners;
}

// Appends the chain's corners and the points exactly on its edges, in chain
// order, leaving out the chain's last corner (the next chain starts there).
// A point on the edge between the corners at positions a and b lies between
// them in (x, y) order, so only those positions need testing.
void appendWithEdgePoints(const PointSet& points, const std::vector<std::int32_t>& order,
                          const std::vector<std::size_t>& corners, std::vector<std::int32_t>& boundary)
{
    for (std::size_t c = 0; c + 1 < corners.size(); ++c) {
        const std::size_t a = corners[c], b = corners[c + 1];
        boundary.push_back(order[a]);
        const auto pa = static_cast<std::size_t>(order[a]), pb = static_cast<std::size_t>(order[b]);
        if (a < b) {
            for (std::size_t j = a + 1; j < b; ++j)
                if (orientation(points, pa, pb, static_cast<std::size_t>(order[j])) == 0) boundary.push_back(order[j]);
        } else {
            for (std::size_t j = a - 1; j > b; --j)
                if (orientation(points, pa, pb, static_cast<std::size_t>(order[j])) == 0) boundary.push_back(order[j]);
        }
    }
}

}  // namespace

HullBoundary findHullBoundary(const PointSet& points)
{
    HullBoundary hull;
    std::vector<std::int32_t> order(points.n);
    std::iota(order.begin(), order.end(), 0);
    const auto less = [&](std::int32_t a, std::int32_t b) {
        return points.x[a] != points.x[b] ? points.x[a] < points.x[b] : points.y[a] < points.y[b];
    };
    std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) { return less(a, b) || (!less(b, a) && a < b); });
    // Keep the first of each run of equal points.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (kept > 0 && !less(order[kept - 1], order[i])) {
            hull.repeats.push_back(order[i]);
            continue;
        }
        order[kept++] = order[i];
    }
    order.resize(kept);
    std::sort(hull.repeats.begin(), hull.repeats.end());
    if (order.size() < 3) return hull;

    const std::vector<std::size_t> lower = chain(points, order, true);
    const std::vector<std::size_t> upper = chain(points, order, false);
    for (std::size_t c = 0; c + 1 < lower.size(); ++c) hull.corners.push_back(order[lower[c]]);
    for (std::size_t c = 0; c + 1 < upper.size(); ++c) hull.corners.push_back(order[upper[c]]);
    if (hull.corners.size() < 3) {  // all points on one line
        hull.corners.clear();
        return hull;
    }
    appendWithEdgePoints(points, order, lower, hull.boundary);
    appendWithEdgePoints(points, order, upper, hull.boundary);
    return hull;
}

mpq_class doubledHullArea(const PointSet& points, const HullBoundary& hull)
{
    mpq_class sum = 0;
    const std::size_t h = hull.corners.size();
    if (h < 3) return sum;
    for (std::size_t c = 0; c < h; ++c)
        sum += crossProduct(points, static_cast<std::size_t>(hull.corners[c]),
                            static_cast<std::size_t>(hull.corners[(c + 1) % h]));
    return sum;
}

}  // namespace ky::inspect
