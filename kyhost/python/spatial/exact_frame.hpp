// The power of two by which the data points are scaled so that squared
// distances computed in double neither overflow nor underflow.
//
// Multiplying every coordinate by 2^k is exact for values that stay normal
// and multiplies every computed squared distance dy*dy + dx*dx by exactly
// 4^k, as long as no square over- or underflows: comparisons, and so
// answers, do not depend on k. Coordinates whose non-zero magnitudes have
// binary exponents within -safeExponent .. safeExponent are safe: their
// differences lie below 2^450, squares below 2^901, and a non-zero
// difference is at least 2^-52 times the smallest magnitude, so its square
// is at least 2^-1000, still normal. Computed squared distances between
// such points then differ from the exact ones by at most 4.0001 * 2^-53
// times the distance (see distance_order.hpp).
#pragma once

#include <cmath>
#include <cstdint>

namespace kyhost_spatial {

inline constexpr int safeExponent = 448;

class ExactFrame {
public:
    // The frame of n data points (all finite): exponent 0 when they lie in
    // the safe range, otherwise the one that centres their exponents on 0.
    // When their exponents span more than the safe range, no power of two
    // brings them all inside: holdsData() is false and every query is then
    // answered by exact comparisons.
    static ExactFrame ofData(const double* x, const double* y, std::int64_t n);

    int exponent() const { return exponent_; }
    bool holdsData() const { return holdsData_; }

    // True when the query point, scaled, lies in the safe range with the
    // data (both its coordinates finite).
    bool holds(double qx, double qy) const { return holdsData_ && fits(qx) && fits(qy); }

    double scaled(double v) const { return exponent_ == 0 ? v : std::ldexp(v, exponent_); }
    double unscaled(double v) const { return exponent_ == 0 ? v : std::ldexp(v, -exponent_); }

private:
    bool fits(double v) const
    {
        if (v == 0.0) return true;
        if (!std::isfinite(v)) return false;
        const int e = std::ilogb(v) + exponent_;
        return e >= -safeExponent && e <= safeExponent;
    }

    int exponent_ = 0;
    bool holdsData_ = true;
};

}  // namespace kyhost_spatial
