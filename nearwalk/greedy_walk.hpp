// Greedy descent over the neighbour graph: from a start point, move to the
// neighbour closest to the query point while it is strictly closer.
#pragma once

#include <cstdint>

namespace nearwalk {

// Squared distance from (qx, qy) to data point k (0-based). This is the one
// place where data-point indices are checked: k outside 0 .. n-1 ends the
// call with the range error.
double squaredDistance(double qx, double qy, std::int32_t k);

// The 0-based index of the point where the walk for query q (0-based into
// XI and YI) stops, starting at data point start (0-based). A walk that
// spends its budget of 2n neighbour evaluations returns the best point seen
// and issues the non-convergence warning, once per call.
std::int32_t walkNearest(std::int32_t q, std::int32_t start);

}  // namespace nearwalk
