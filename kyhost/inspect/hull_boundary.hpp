// The convex hull of a point set with every point on its boundary, found
// with exact orientation tests, and the points that repeat another.
#pragma once

#include <cstdint>
#include <vector>

#include "exact_geometry.hpp"

namespace ky::inspect {

struct HullBoundary {
    // Hull corners, counter-clockwise, no three on one line. Fewer than
    // three when the points are fewer than three distinct ones or all lie
    // on one line: the hull then has no area.
    std::vector<std::int32_t> corners;
    // Every point on the hull's boundary (corners and points on its edges),
    // counter-clockwise; empty when the hull has no area.
    std::vector<std::int32_t> boundary;
    // Points equal to a point earlier in (x, y) order, one entry per extra
    // copy.
    std::vector<std::int32_t> repeats;
    bool hasArea() const { return corners.size() >= 3; }
};

HullBoundary findHullBoundary(const PointSet& points);

// Twice the hull's area, exactly (0 when it has none).
mpq_class doubledHullArea(const PointSet& points, const HullBoundary& hull);

}  // namespace ky::inspect
