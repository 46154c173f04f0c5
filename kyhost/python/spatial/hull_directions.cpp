#include "hull_directions.hpp"

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kyhost_spatial {

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;

// Halved differences, so that coordinates near the largest doubles give a
// finite direction (the angles only guide a start).
double halfDifference(double to, double from) { return to * 0.5 - from * 0.5; }

}  // namespace

HullDirections::HullDirections(const double* x, const double* y, std::int32_t n)
{
    std::vector<std::int32_t> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](std::int32_t a, std::int32_t b) { return x[a] < x[b] || (x[a] == x[b] && y[a] < y[b]); });
    // Andrew's monotone chain with exact orientations: lower hull left to
    // right, then upper hull right to left; collinear points are dropped.
    const auto leftTurn = [&](std::int32_t a, std::int32_t b, std::int32_t c) {
        return CGAL::orientation(Kernel::Point_2(x[a], y[a]), Kernel::Point_2(x[b], y[b]),
                                 Kernel::Point_2(x[c], y[c])) == CGAL::LEFT_TURN;
    };
    std::vector<std::int32_t> hull;
    for (int pass = 0; pass < 2; ++pass) {
        const std::size_t base = hull.size();
        for (const std::int32_t p : order) {
            while (hull.size() >= base + 2 && !leftTurn(hull[hull.size() - 2], hull.back(), p)) hull.pop_back();
            hull.push_back(p);
        }
        hull.pop_back();  // the last point starts the other chain
        std::reverse(order.begin(), order.end());
    }
    if (hull.empty()) hull.push_back(order.front());  // one point, or all at one place
    const std::size_t m = hull.size();
    std::vector<double> angle(m);
    for (std::size_t i = 0; i < m; ++i) {
        const std::int32_t a = hull[i], b = hull[(i + 1) % m];
        angle[i] = std::atan2(-halfDifference(x[b], x[a]), halfDifference(y[b], y[a]));
    }
    const std::size_t first = static_cast<std::size_t>(std::min_element(angle.begin(), angle.end()) - angle.begin());
    std::rotate(hull.begin(), hull.begin() + static_cast<std::ptrdiff_t>(first), hull.end());
    std::rotate(angle.begin(), angle.begin() + static_cast<std::ptrdiff_t>(first), angle.end());
    vertices_ = std::move(hull);
    normalAngle_ = std::move(angle);
}

std::int32_t HullDirections::extremeVertex(double dx, double dy) const
{
    // Vertex i lies between edge i - 1 and edge i: it is extreme for the
    // directions between their normals.
    const double direction = std::atan2(dy, dx);
    const auto at = std::lower_bound(normalAngle_.begin(), normalAngle_.end(), direction) - normalAngle_.begin();
    return vertices_[static_cast<std::size_t>(at) % vertices_.size()];
}

}  // namespace kyhost_spatial
