// Barycentric weights and the barycentric transform of triangles at any
// magnitude: coordinates are scaled by powers of two (exactly, apart from
// bits far below the triangle's size) so that no difference overflows and
// no product over- or underflows while the triangle's own size allows.
#pragma once

#include <array>
#include <cstdint>

namespace kyhost_spatial {

// The weights of (qx, qy) with respect to the corners a, b, c (in that
// order; either orientation): w_a = area(q, b, c) / area(a, b, c) and so on.
// Their sum is 1 up to rounding; a point far outside may get infinite or
// NaN weights (never taken as inside).
std::array<double, 3> barycentricWeights(const std::array<double, 6>& corners, double qx, double qy);

// scipy's barycentric transform of one triangle with corners r1, r2, r3
// (x1, y1, x2, y2, x3, y3): T = [[x1-x3, x2-x3], [y1-y3, y2-y3]]^-1 in the
// first four numbers (row by row), r3 in the last two. A triangle whose
// matrix has a reciprocal condition number (1-norm) below 1000 machine
// epsilons gets NaN, as scipy gives it.
std::array<double, 6> barycentricTransform(const std::array<double, 6>& corners);

}  // namespace kyhost_spatial
