// Greedy descent over the neighbour graph: from a start point, move to the
// neighbour closest to the query point while it is strictly closer.
#pragma once

#include <cstdint>

namespace nearwalk {

// The 0-based index of the point where the walk for query q (0-based into
// XI and YI) stops, starting at data point start (0-based). Every
// data-point index is checked before it is used: one outside 0 .. n-1 ends
// the call with the range error. A walk that spends its budget of 2n
// neighbour evaluations returns the best point seen and issues the
// non-convergence warning, once per call. Squared distances are compared as
// double computes them but without overflow or underflow, at any magnitude
// (distance_metrics.hpp).
std::int32_t walkNearest(std::int32_t q, std::int32_t start);

}  // namespace nearwalk
