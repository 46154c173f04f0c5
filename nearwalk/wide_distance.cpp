#include "wide_distance.hpp"

#include <bit>
#include <cstdint>
#include <limits>
#include <utility>

namespace nearwalk {

namespace {

constexpr WideDistance wideInfinity{std::numeric_limits<double>::infinity(), INT_MAX};
constexpr WideDistance wideNaN{std::numeric_limits<double>::quiet_NaN(), INT_MAX};

constexpr std::uint64_t exponentField = 0x7ffull << 52;
constexpr std::uint64_t halfExponent = 1022ull << 52;  // the field of a value in [0.5, 1)

// The positive finite value m * 2^e, normalised: frexp by its bits (a
// subnormal m is first made normal, exactly, by 2^64).
WideDistance normalised(double m, int e)
{
    std::uint64_t bits = std::bit_cast<std::uint64_t>(m);
    if ((bits & exponentField) == 0) {
        bits = std::bit_cast<std::uint64_t>(m * 0x1p64);
        e -= 64;
    }
    const int shift = static_cast<int>(bits >> 52) - 1022;
    return {std::bit_cast<double>((bits & ~exponentField) | halfExponent), e + shift};
}

// s * 2^-gap for s in [0.5, 1) and gap in 0 .. 60: a normal double, made by
// its bits.
double scaledDown(double s, int gap)
{
    return std::bit_cast<double>(std::bit_cast<std::uint64_t>(s) - (static_cast<std::uint64_t>(gap) << 52));
}

// |a - b| rounded as in double, without overflow, for finite a and b; its
// square comes next, so the sign does not matter.
WideDistance wideDifference(double a, double b)
{
    // Below 2^1020 in magnitude the difference cannot overflow, and a
    // difference that lands among the subnormals is exact. Above, both are
    // quartered first: exactly, unless one of them is below 2^-1020, and
    // then it is far below half a unit in the last place of the other, so
    // the rounded difference is the other in both ways.
    int exponent = 0;
    if (std::fabs(a) >= 0x1p1020 || std::fabs(b) >= 0x1p1020) {
        a *= 0x1p-2;
        b *= 0x1p-2;
        exponent = 2;
    }
    const double difference = std::fabs(a - b);
    if (difference == 0.0) return wideZero;
    return normalised(difference, exponent);
}

// The square of a wide value: the significand's square lies in [0.25, 1),
// a normal double, so it is rounded exactly as the unbounded square is.
WideDistance square(WideDistance d)
{
    if (d.significand == 0.0) return wideZero;
    return normalised(d.significand * d.significand, 2 * d.exponent);
}

// The sum of two non-negative finite wide values, rounded once.
WideDistance sum(WideDistance a, WideDistance b)
{
    if (b.significand == 0.0) return a;
    if (a.significand == 0.0) return b;
    if (a.exponent < b.exponent) std::swap(a, b);
    // b below 2^-54 times a is less than half a unit in the last place of
    // a: the sum rounds to a. Otherwise b, aligned to a's exponent, stays a
    // normal double and the sum of the two significands rounds as the
    // unbounded sum does.
    const int gap = a.exponent - b.exponent;
    if (gap > 60) return a;
    return normalised(a.significand + scaledDown(b.significand, gap), a.exponent);
}

}  // namespace

WideDistance widen(double value)
{
    if (std::isnan(value)) return wideNaN;
    if (value == 0.0) return wideZero;
    if (std::isinf(value)) return wideInfinity;
    return normalised(value, 0);
}

WideDistance wideSquaredDistance(double px, double py, double qx, double qy)
{
    // A data point with a NaN coordinate is at a NaN distance, one with an
    // infinite coordinate (and none NaN) at an infinite distance, as the
    // double computation has them.
    if (!std::isfinite(px) || !std::isfinite(py)) {
        if (std::isnan(px) || std::isnan(py)) return wideNaN;
        return wideInfinity;
    }
    return sum(square(wideDifference(py, qy)), square(wideDifference(px, qx)));
}

WideDistance wideBandLimit(WideDistance d)
{
    if (!std::isfinite(d.significand) || d.significand == 0.0) return d;
    // d.significand * 2^-49 is exact: it is at least 2^-50.
    return normalised(d.significand + d.significand * 0x1p-49, d.exponent);
}

}  // namespace nearwalk
