// The two ways a walk measures squared distances from its query point.
//
// WideMetric computes every squared distance as a WideDistance: double
// arithmetic without range limits (wide_distance.hpp). Its comparisons
// never fail for range: no square overflows to infinity, and no small one
// underflows to zero. These are the distances that decide every answer.
//
// WindowMetric computes them in plain double, fast, and makes the same
// comparisons as WideMetric as long as the distance it compares against
// is trusted: at least trustedFloor and at most trustedCeiling, or an
// exact zero (the query point on a data point). A trusted double distance
// equals the wide one exactly (see trustedFloor), and so does its band
// limit. Against a trusted distance b (and its limit), any double distance
// d compares as its wide value does:
// - d finite and at least trustedFloor: nothing overflowed and no square
//   that counts underflowed, so d is the wide value;
// - d infinite (an overflow, or an infinite coordinate): the wide value is
//   at least 2^1023 or infinite, above b and its limit, as d is;
// - d NaN (a NaN coordinate): the wide value is NaN too;
// - d below trustedFloor: d < b, so the walk would take d as its best, and
//   trust() below makes it escape first. (d <= limit holds both ways: the
//   wide value is below trustedFloor by more than it loses to underflow,
//   less than 2^-1072, and the limit is above trustedFloor by far more.)
// Against an exact zero b, d < b is false both ways, and d <= limit is
// read only when the walk stops at b, where a distance of 0 ends it.
// So the walk keeps its best distance trusted: the start's distance, and
// every distance about to replace the best, are checked (trust); when one
// is not trusted, the metric records that it has escaped, the walk gives
// up at the end of the scan, and the query is walked again from the same
// start with WideMetric (greedy_walk). Until then every decision was the
// wide walk's, and no other distance needs a check.
//
// Both metrics check each data-point index before anything reads with it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "wide_distance.hpp"

namespace nearwalk {

[[noreturn]] void raiseOutOfRange();

// Squared distances in double from trustedFloor up equal the wide ones
// exactly, and up to trustedCeiling so do their band limits d + d*2^-49:
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

// The data points (x and y side by side) and the query point a metric
// measures from.
class QueryFrame {
public:
    QueryFrame(const double* xy, std::int32_t pointCount, double qx, double qy)
        : xy_(xy), pointCount_(pointCount), qx_(qx), qy_(qy)
    {
    }

protected:
    // Where point k's x lies in xy; an index outside the data points ends
    // the call with the range error before anything is read with it.
    std::size_t offsetOf(std::int32_t k) const
    {
        if (k < 0 || k >= pointCount_) [[unlikely]]
            raiseOutOfRange();
        return 2 * static_cast<std::size_t>(k);
    }

    const double* xy_;
    std::int32_t pointCount_;
    double qx_, qy_;
};

class WindowMetric : public QueryFrame {
public:
    using Distance = double;
    using QueryFrame::QueryFrame;

    double evaluate(std::int32_t k)
    {
        const std::size_t at = offsetOf(k);
        const double dx = xy_[at] - qx_;
        const double dy = xy_[at + 1] - qy_;
        return dy * dy + dx * dx;
    }

    // Checks a distance of point k that is about to become the walk's best.
    void trust(double d, std::int32_t k)
    {
        if (d >= trustedFloor && d <= trustedCeiling) [[likely]]
            return;
        const std::size_t at = 2 * static_cast<std::size_t>(k);
        if (xy_[at] == qx_ && xy_[at + 1] == qy_) return;  // exactly 0
        escaped_ = true;
    }

    bool escaped() const { return escaped_; }

    static bool isLess(double a, double b) { return a < b; }
    static bool isAtMost(double a, double b) { return a <= b; }
    static bool isZero(double d) { return d == 0.0; }
    static double bandLimit(double d) { return d + d * 0x1p-49; }

private:
    bool escaped_ = false;
};

class WideMetric : public QueryFrame {
public:
    using Distance = WideDistance;
    using QueryFrame::QueryFrame;

    WideDistance evaluate(std::int32_t k)
    {
        const std::size_t at = offsetOf(k);
        return wideSquaredDistance(xy_[at], xy_[at + 1], qx_, qy_);
    }

    static void trust(const WideDistance&, std::int32_t) {}
    static constexpr bool escaped() { return false; }

    static bool isLess(WideDistance a, WideDistance b) { return nearwalk::isLess(a, b); }
    static bool isAtMost(WideDistance a, WideDistance b) { return nearwalk::isAtMost(a, b); }
    static bool isZero(WideDistance d) { return d.significand == 0.0; }
    static WideDistance bandLimit(WideDistance d) { return wideBandLimit(d); }
};

}  // namespace nearwalk
