// The two ways a walk measures squared distances from its query point.
//
// WideMetric computes every squared distance as a WideDistance: double
// arithmetic without range limits (wide_distance.hpp). Its comparisons
// never fail for range: no square overflows to infinity, and no small one
// underflows to zero. These are the distances that decide every answer.
//
// WindowMetric computes them in plain double, fast, and trusts a result
// only where it is provably the wide one: finite and at least
// trustedFloor, or an exact zero. When any evaluation falls outside that,
// the metric records that it has escaped and gives NaN (which compares
// false, so the walk makes no move on it); the walk then gives up and the
// query is walked again from the same start with WideMetric (greedy_walk).
//
// Both metrics check each data-point index before anything reads with it.
#pragma once

#include <cstdint>
#include <limits>

#include "wide_distance.hpp"

namespace nearwalk {

[[noreturn]] void raiseOutOfRange();

// Squared distances in double from trustedFloor up to trustedCeiling equal
// the wide ones exactly, and so do their band limits d + d*2^-49:
// - nothing has overflowed: an overflow anywhere gives infinity;
// - the larger square is at least trustedFloor/2 (less a rounding), at
//   least 2^-968, so it is normal and exact, and half a unit in its last
//   place is at least 2^-1021: a smaller square that underflowed lies below
//   that in both computations, and the sum rounds to the larger square in
//   both;
// - d*2^-49 is normal (at least 2^-1015), hence exact, and the limit stays
//   finite.
inline constexpr double trustedFloor = 0x1p-966;
inline constexpr double trustedCeiling = 0x1p1020;

class WindowMetric {
public:
    using Distance = double;

    WindowMetric(const double* xy, std::int32_t pointCount, double qx, double qy)
        : xy_(xy), pointCount_(pointCount), qx_(qx), qy_(qy)
    {
    }

    double evaluate(std::int32_t k)
    {
        if (k < 0 || k >= pointCount_) [[unlikely]]
            raiseOutOfRange();
        const double dx = xy_[2 * static_cast<std::size_t>(k)] - qx_;
        const double dy = xy_[2 * static_cast<std::size_t>(k) + 1] - qy_;
        const double d = dy * dy + dx * dx;
        if (d >= trustedFloor && d <= trustedCeiling) [[likely]]
            return d;
        return outsideTrust(d, dx, dy);
    }

    bool escaped() const { return escaped_; }

    static bool isLess(double a, double b) { return a < b; }
    static bool isAtMost(double a, double b) { return a <= b; }
    static bool isZero(double d) { return d == 0.0; }
    static double bandLimit(double d) { return d + d * 0x1p-49; }

private:
    [[gnu::noinline]] double outsideTrust(double d, double dx, double dy)
    {
        if (dx == 0.0 && dy == 0.0) return d;  // the query point itself: exactly 0
        escaped_ = true;
        return std::numeric_limits<double>::quiet_NaN();
    }

    const double* xy_;
    std::int32_t pointCount_;
    double qx_, qy_;
    bool escaped_ = false;
};

class WideMetric {
public:
    using Distance = WideDistance;

    WideMetric(const double* xy, std::int32_t pointCount, double qx, double qy)
        : xy_(xy), pointCount_(pointCount), qx_(qx), qy_(qy)
    {
    }

    WideDistance evaluate(std::int32_t k)
    {
        if (k < 0 || k >= pointCount_) [[unlikely]]
            raiseOutOfRange();
        const std::size_t at = 2 * static_cast<std::size_t>(k);
        return wideSquaredDistance(xy_[at], xy_[at + 1], qx_, qy_);
    }

    static constexpr bool escaped() { return false; }

    static bool isLess(WideDistance a, WideDistance b) { return nearwalk::isLess(a, b); }
    static bool isAtMost(WideDistance a, WideDistance b) { return nearwalk::isAtMost(a, b); }
    static bool isZero(WideDistance d) { return d.significand == 0.0; }
    static WideDistance bandLimit(WideDistance d) { return wideBandLimit(d); }

private:
    const double* xy_;
    std::int32_t pointCount_;
    double qx_, qy_;
};

}  // namespace nearwalk
