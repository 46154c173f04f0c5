// The convex hull of the data points with its edges' outward directions in
// angular order, so that the hull vertex farthest out in a given direction
// is found by bisection: where walks toward a query far outside the points
// start, a few steps from its nearest point instead of across the set.
#pragma once

#include <cstdint>
#include <vector>

namespace kyhost_spatial {

class HullDirections {
public:
    // n finite points (n >= 1).
    HullDirections(const double* x, const double* y, std::int32_t n);

    // A hull vertex with the largest projection on (dx, dy), up to the
    // rounding of the angles: O(log h) for h hull vertices.
    std::int32_t extremeVertex(double dx, double dy) const;

    // The hull's vertices, counter-clockwise, starting at the one that is
    // extreme in the direction of angle -pi.
    const std::vector<std::int32_t>& vertices() const { return vertices_; }

private:
    std::vector<std::int32_t> vertices_;
    // The outward normal's angle of the edge from vertex i to vertex i + 1,
    // in (-pi, pi], ascending (up to rounding on nearly parallel edges).
    std::vector<double> normalAngle_;
};

}  // namespace kyhost_spatial
