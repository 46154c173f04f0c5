// Squared distances computed as double arithmetic would compute them if its
// exponent range were unbounded: every operation rounds its exact result to
// a 53-bit significand, but nothing overflows to infinity and nothing
// underflows into subnormals or to zero.
//
// A WideDistance is significand * 2^exponent with the significand in
// [0.5, 1), or zero, or infinite (a data coordinate was infinite), or NaN (a
// data coordinate was NaN). Rounding to 53 bits commutes with multiplying
// by a power of two when nothing leaves the range, so these values do not
// depend on any scaling of the coordinates by a power of two: the wide
// squared distance of points scaled by 2^k is exactly 4^k times theirs.
//
// Where the same computation in double neither overflows nor lets a square
// underflow (see trustedFloor in distance_metrics.hpp), it gives exactly
// the same value.
#pragma once

#include <climits>
#include <cmath>

namespace nearwalk {

struct WideDistance {
    double significand;
    int exponent;
};

inline constexpr WideDistance wideZero{0.0, INT_MIN};

// The squared distance dy*dy + dx*dx, dx = px - qx and dy = py - qy, of a
// data point (px, py) from a query point (qx, qy) with finite coordinates,
// with every operation rounded as in double but without range limits.
WideDistance wideSquaredDistance(double px, double py, double qx, double qy);

// The wide value d + d*2^-49, rounded as the double computation of the same
// expression would be without range limits (see bandLimit).
WideDistance wideBandLimit(WideDistance d);

// The same as double's value.
WideDistance widen(double value);

// a < b and a <= b as the values compare; NaN compares false, as in double.
inline bool isLess(WideDistance a, WideDistance b)
{
    if (std::isnan(a.significand) || std::isnan(b.significand)) return false;
    if (a.exponent != b.exponent) return a.exponent < b.exponent;
    return a.significand < b.significand;
}

inline bool isAtMost(WideDistance a, WideDistance b)
{
    if (std::isnan(a.significand) || std::isnan(b.significand)) return false;
    if (a.exponent != b.exponent) return a.exponent < b.exponent;
    return a.significand <= b.significand;
}

}  // namespace nearwalk
