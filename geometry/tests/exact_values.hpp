// Exact values of the predicates in GMP rationals, and random coordinates
// across the whole range of doubles, for the geometry tests.
#pragma once

#include <gmpxx.h>

#include <cmath>
#include <random>

namespace geometry_test {

inline mpq_class orientationExact(double ax, double ay, double bx, double by, double cx, double cy)
{
    return (mpq_class(bx) - ax) * (mpq_class(cy) - ay) - (mpq_class(by) - ay) * (mpq_class(cx) - ax);
}

inline int signOf(const mpq_class& v) { return sgn(v); }

// Positive when d lies inside the circle through the counter-clockwise a, b, c.
inline mpq_class inCircleExact(double ax, double ay, double bx, double by, double cx, double cy, double dx, double dy)
{
    const mpq_class adx = mpq_class(ax) - dx, ady = mpq_class(ay) - dy, bdx = mpq_class(bx) - dx,
                    bdy = mpq_class(by) - dy, cdx = mpq_class(cx) - dx, cdy = mpq_class(cy) - dy;
    return (adx * adx + ady * ady) * (bdx * cdy - cdx * bdy) + (bdx * bdx + bdy * bdy) * (cdx * ady - adx * cdy) +
           (cdx * cdx + cdy * cdy) * (adx * bdy - bdx * ady);
}

// Random sets of points: a cluster of size 2^s at an offset of 0, 2^33 or
// 2^40 times its size, beside points 2^20 to 2^400 times further out, for s
// from -1000 to 1000, and points nearly on one line.
class PointSource {
public:
    explicit PointSource(unsigned seed) : random_(seed) {}

    void nextSet()
    {
        scale_ = std::ldexp(1.0, std::uniform_int_distribution<int>(-1000, 560)(random_));
        const int offsets[3] = {0, 33, 40};
        offset_ = offsets[std::uniform_int_distribution<int>(0, 2)(random_)] == 0
                      ? 0.0
                      : std::ldexp(scale_, offsets[std::uniform_int_distribution<int>(1, 2)(random_)]);
        far_ = std::ldexp(scale_, std::uniform_int_distribution<int>(20, 400)(random_));
    }
    double near() { return offset_ + scale_ * unit_(random_); }
    double far() { return offset_ + far_ * (2 * unit_(random_) - 1); }
    double either() { return unit_(random_) < 0.3 ? far() : near(); }
    double unit() { return unit_(random_); }

private:
    std::mt19937_64 random_;
    std::uniform_real_distribution<double> unit_{0.0, 1.0};
    double scale_ = 1, offset_ = 0, far_ = 1;
};

}  // namespace geometry_test
