// The convex hull of planar points with exact orientation tests: its
// corners counter-clockwise, without the points that lie on a hull edge
// between two corners (they are not extreme), each place once.
#pragma once

#include <cstdint>
#include <vector>

namespace kyhost_spatial {

// The indices of the hull's corners, counter-clockwise from the lowest x
// (lowest y among those). Fewer than 3 when the points (finite) lie on one
// line or are fewer than three distinct places. Among repeats of a corner
// the lowest index is given. threads: threads the first filter may use.
std::vector<std::int64_t> convexHullCorners(const double* x, const double* y, std::int64_t n, int threads);

}  // namespace kyhost_spatial
