// An exact judge of nearest-point answers, for the tests and the fuzzer:
// squared distances as GMP rationals, in which the coordinates of every
// double and their differences and squares are exact.
#pragma once

#include <cstddef>
#include <vector>

namespace nearwalk::testing {

// The positions q of the answers (1-based point numbers, one per query
// point) that are not a nearest data point of query q: the exact squared
// distance of the point answered must be at most that of every data point,
// with the tolerance of the rounded distances that the walk compares
// (a factor 1 + 2^-49). Queries with a coordinate that is not finite must
// be answered NaN. A data point with a non-finite coordinate is never
// nearer than a finite one.
std::vector<std::size_t> answersNotNearest(const std::vector<double>& x, const std::vector<double>& y,
                                           const std::vector<double>& qx, const std::vector<double>& qy,
                                           const std::vector<double>& answers);

}  // namespace nearwalk::testing
