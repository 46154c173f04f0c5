// The pairs of points within a norm threshold of each other, decided as in
// BallSearch (the norm of the differences of the coordinates as given,
// compared with `<=`), found with a grid of square cells at least as wide as
// any difference an admitted pair can have: a point's partners lie in its
// own cell and the eight around it. This is cheap where the points are
// spread evenly at the scale of the radius; where the grid would check too
// many pairs or need too many cells it declines, and the caller searches
// another way.
#pragma once

#include <cstdint>
#include <vector>

namespace kyhost_spatial {

// A run of points and, for each, its partners with larger numbers.
struct PointPartners {
    std::vector<std::int32_t> points;  // point numbers, in the order searched
    std::vector<std::int32_t> counts;  // the number of partners of each
    std::vector<std::int32_t> items;   // the partners, ascending, one point after another
};

// xy: n points, interleaved; number[k]: the number of point k. threshold:
// what a norm (ballNorm) is compared with. Appends runs covering every point
// to `parts` and returns true; or returns false having done nothing, when
// the threshold is not a finite number >= 0, or the grid would need more
// than 4 n + 16 cells or more than checksPerPoint * n distance checks.
bool gridPartners(const double* xy, const std::int32_t* number, std::int32_t n, double threshold, double p,
                  int threads, std::int64_t checksPerPoint, std::vector<PointPartners>& parts);

}  // namespace kyhost_spatial
