// Powers of two that bring coordinates into a range where the arithmetic on
// them neither overflows nor underflows. Multiplying by 2^k is exact for
// values that stay normal and scales every difference, product and
// quotient by a power of two without changing its significand, as long as
// nothing leaves the range: signs, comparisons and ratios do not change.
//
// Two kinds: one exponent for a whole set, chosen from both extremes of its
// magnitudes (MagnitudeRange, centringExponent, exactScaling), and a frame
// of a few points, chosen from their largest difference (DifferenceFrame).
#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace ky::geometry {

// Binary exponent of the smallest normal double (-1022) and of the largest
// finite one (1023).
inline constexpr int minNormalExponent = DBL_MIN_EXP - 1;
inline constexpr int maxFiniteExponent = DBL_MAX_EXP - 1;

// The largest and the smallest non-zero magnitude of the values included.
struct MagnitudeRange {
    double largest = 0.0;
    double smallest = DBL_MAX;

    void include(double v)
    {
        const double m = std::fabs(v);
        if (m > largest) largest = m;
        if (m != 0.0 && m < smallest) smallest = m;
    }
    // NaN and infinite values take no part.
    void includeFinite(double v)
    {
        if (std::fabs(v) <= DBL_MAX) include(v);
    }

    bool onlyZeros() const { return largest == 0.0; }
    int smallestExponent() const { return std::ilogb(smallest); }
    int largestExponent() const { return std::ilogb(largest); }
    // Every non-zero magnitude has its binary exponent in -safe .. safe.
    bool within(int safe) const { return smallestExponent() >= -safe && largestExponent() <= safe; }
};

// The exponent that moves the middle of the binary exponents smallest ..
// largest to 0.
inline int centringExponent(int smallest, int largest) { return -((smallest + largest) >> 1); }

// k limited so that scaling values with binary exponents smallest ..
// largest by 2^k stays exact: no value is scaled down below the normal
// range, none up past the largest double (subnormal values scaled up are
// always exact).
inline int exactScaling(int k, int smallest, int largest)
{
    if (k < 0) k = std::max(k, minNormalExponent - smallest);
    return std::min(k, maxFiniteExponent - largest);
}

// The frame a few points are computed in (a triangle and its query, or the
// rows around a query): scaled by the power of two that brings their
// largest difference from a reference point near 1, so that no difference
// and no product of two differences leaves the range of doubles. Where the
// largest difference already lies in [2^-200, 2^200] the frame is the
// identity and the points are used as given, bit for bit; a power of two
// changes no ratio, so results computed in either agree wherever neither
// over- nor underflows.
class DifferenceFrame {
public:
    DifferenceFrame() = default;
    DifferenceFrame(const double* const* points, int count, const double* reference)
    {
        for (int k = 0; k < count; ++k) include(points[k], reference);
        settle();
    }

    // Widens the frame by point - reference.
    void include(const double* point, const double* reference)
    {
        largest_ = std::max({largest_, std::fabs(point[0] - reference[0]), std::fabs(point[1] - reference[1])});
        coordinate_ = std::max({coordinate_, std::fabs(point[0]), std::fabs(point[1])});
    }

    // Chooses the exponent from what was included.
    void settle()
    {
        exponent_ = 0;
        if (!(largest_ > 0) || (largest_ >= 0x1p-200 && largest_ <= 0x1p200)) return;
        // Where the differences overflow the coordinates are near the
        // largest double: those are brought below 1.
        exponent_ = std::isinf(largest_) ? -std::ilogb(coordinate_) - 1 : -std::ilogb(largest_);
    }

    int exponent() const { return exponent_; }

    // The point in the frame: itself when the frame is the identity, else
    // its scaled copy written to room.
    const double* apply(const double* point, double room[2]) const
    {
        if (exponent_ == 0) return point;
        room[0] = std::ldexp(point[0], exponent_);
        room[1] = std::ldexp(point[1], exponent_);
        return room;
    }

private:
    double largest_ = 0;
    double coordinate_ = 0;
    int exponent_ = 0;
};

}  // namespace ky::geometry
