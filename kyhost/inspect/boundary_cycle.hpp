// Whether the edges that lie in one row only (the rows taken as clockwise)
// form the boundary of a convex polygon: one simple cycle that turns
// clockwise or goes straight on at every point and winds once around.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "point_set.hpp"

namespace ky::inspect {

// An edge held by one row, directed as that row runs.
struct BoundaryEdge {
    std::uint64_t from, to, row;
};

struct BoundaryVerdict {
    std::uint64_t points = 0;          // points on the cycle, when it is one
    std::vector<std::string> faults;   // the first few, described; empty when it bounds a convex polygon
};

// edges is sorted in place. Point and row numbers in the faults count from
// base.
BoundaryVerdict checkBoundaryCycle(const PointSet& points, std::vector<BoundaryEdge>& edges, int base);

}  // namespace ky::inspect
