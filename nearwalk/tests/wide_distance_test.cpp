// Wide squared distances: double's rounding without its range limits. They
// equal an unbounded-exponent emulation (MPFR at 53 bits) at every
// magnitude, do not change under scaling by a power of two, equal plain
// double wherever the walk trusts double, and their rounding band covers
// every point that is as close exactly.
#include <gtest/gtest.h>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <mpfr.h>

#include <cfloat>
#include <cmath>
#include <numbers>
#include <random>

#include "distance_metrics.hpp"
#include "wide_distance.hpp"

namespace {

using nearwalk::WideDistance;
using nearwalk::wideSquaredDistance;
using Point = CGAL::Exact_predicates_inexact_constructions_kernel::Point_2;

// dy*dy + dx*dx with every operation rounded to 53 bits and an exponent
// range far wider than any square of doubles needs.
class UnboundedDouble {
public:
    UnboundedDouble()
    {
        mpfr_set_emin(mpfr_get_emin_min());
        mpfr_set_emax(mpfr_get_emax_max());
        for (mpfr_t* v : {&dx_, &dy_, &sum_}) mpfr_init2(*v, 53);
    }
    ~UnboundedDouble()
    {
        for (mpfr_t* v : {&dx_, &dy_, &sum_}) mpfr_clear(*v);
    }

    // The value as significand in [0.5, 1) and exponent, like WideDistance.
    WideDistance squaredDistance(double px, double py, double qx, double qy)
    {
        mpfr_set_d(dx_, px, MPFR_RNDN);
        mpfr_sub_d(dx_, dx_, qx, MPFR_RNDN);
        mpfr_set_d(dy_, py, MPFR_RNDN);
        mpfr_sub_d(dy_, dy_, qy, MPFR_RNDN);
        mpfr_sqr(dx_, dx_, MPFR_RNDN);
        mpfr_sqr(dy_, dy_, MPFR_RNDN);
        mpfr_add(sum_, dy_, dx_, MPFR_RNDN);
        if (mpfr_zero_p(sum_)) return nearwalk::wideZero;
        long exponent = 0;
        const double significand = mpfr_get_d_2exp(&exponent, sum_, MPFR_RNDN);
        return {significand, static_cast<int>(exponent)};
    }

private:
    mpfr_t dx_, dy_, sum_;
};

bool same(WideDistance a, WideDistance b) { return a.significand == b.significand && a.exponent == b.exponent; }

// A random double of random sign whose magnitude has a binary exponent in
// [low, high], or now and then a subnormal, a zero or the largest double.
double anyMagnitude(std::mt19937_64& random, int low, int high)
{
    std::uniform_int_distribution<int> exponent(low, high), pick(0, 99);
    std::uniform_real_distribution<double> unit(1.0, 2.0);
    const int kind = pick(random);
    const double sign = kind % 2 == 0 ? 1.0 : -1.0;
    if (kind < 3) return sign * std::ldexp(unit(random), -1074 + pick(random) % 50);  // subnormal
    if (kind < 5) return 0.0;
    if (kind < 7) return sign * DBL_MAX;
    return sign * std::ldexp(unit(random), exponent(random));
}

TEST(NearwalkWideDistance, EqualsDoubleRoundingWithoutRangeLimits)
{
    std::mt19937_64 random(11);
    UnboundedDouble reference;
    // Coordinates of one magnitude each time, and of all magnitudes mixed.
    for (const auto& [low, high] : {std::pair{-1074, 1023}, std::pair{-1022, -900}, std::pair{900, 1023},
                                    std::pair{-60, 60}}) {
        int differ = 0;
        for (int trial = 0; trial < 20000; ++trial) {
            double c[4];
            for (double& v : c) v = anyMagnitude(random, low, high);
            if (trial % 3 == 0) c[2] = std::nextafter(c[0], 0.0);  // differences of one unit
            differ += !same(wideSquaredDistance(c[0], c[1], c[2], c[3]), reference.squaredDistance(c[0], c[1], c[2], c[3]));
        }
        EXPECT_EQ(differ, 0) << "exponents " << low << " to " << high;
    }
}

TEST(NearwalkWideDistance, ScalingByAPowerOfTwoScalesByItsSquare)
{
    std::mt19937_64 random(13);
    std::uniform_int_distribution<int> shift(-2000, 2000);
    int tried = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        double c[4];
        for (double& v : c) v = anyMagnitude(random, -1074, 1023);
        const int k = shift(random);
        double scaled[4];
        bool exact = true;
        for (int i = 0; i < 4; ++i) {
            scaled[i] = std::ldexp(c[i], k);
            exact = exact && std::ldexp(scaled[i], -k) == c[i] && std::isfinite(scaled[i]);
        }
        if (!exact) continue;
        ++tried;
        const WideDistance d = wideSquaredDistance(c[0], c[1], c[2], c[3]);
        const WideDistance s = wideSquaredDistance(scaled[0], scaled[1], scaled[2], scaled[3]);
        ASSERT_EQ(s.significand, d.significand);
        if (d.significand != 0.0) {
            ASSERT_EQ(s.exponent, d.exponent + 2 * k);
        }
    }
    EXPECT_GT(tried, 1000);
}

TEST(NearwalkWideDistance, EqualsDoubleWhereTheWalkTrustsDouble)
{
    std::mt19937_64 random(17);
    int trusted = 0;
    for (int trial = 0; trial < 200000; ++trial) {
        double c[4];
        for (double& v : c) v = anyMagnitude(random, -520, 515);
        const double dx = c[0] - c[2], dy = c[1] - c[3];
        const double d = dy * dy + dx * dx;
        if (!(d >= nearwalk::trustedFloor && d <= nearwalk::trustedCeiling)) continue;
        ++trusted;
        ASSERT_TRUE(same(nearwalk::widen(d), wideSquaredDistance(c[0], c[1], c[2], c[3]))) << d;
        ASSERT_TRUE(same(nearwalk::widen(nearwalk::WindowMetric::bandLimit(d)),
                         nearwalk::wideBandLimit(nearwalk::widen(d))));
    }
    EXPECT_GT(trusted, 50000);
}

TEST(NearwalkWideDistance, TheBandCoversEveryPointAsCloseExactlyAtAnyMagnitude)
{
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    // Squares that are ordinary, near and beyond the top of double's range,
    // and ones that would be subnormal or underflow to 0 in double.
    for (const int exponent : {0, 500, 1000, 1022, -300, -520, -537, -545, -1000, -1060}) {
        int nearTies = 0, beyond = 0;
        for (int trial = 0; trial < 8000; ++trial) {
            // Two points on one circle about the query point, each rounded
            // to doubles: exactly, either may be the closer one.
            const double qx = std::ldexp(unit(random), exponent), qy = std::ldexp(unit(random), exponent);
            const double r = std::ldexp(0.5 + unit(random), exponent - (trial % 8) * 3);
            const double a = 2 * std::numbers::pi * unit(random), b = a + 1e-3 * unit(random);
            double px = qx + r * std::cos(a), py = qy + r * std::sin(a);
            double kx = qx + r * std::cos(b), ky = qy + r * std::sin(b);
            if (!std::isfinite(px + py + kx + ky)) continue;
            if (CGAL::compare_distance_to_point(Point(qx, qy), Point(px, py), Point(kx, ky)) == CGAL::SMALLER)
                std::swap(px, kx), std::swap(py, ky);
            // Now k is as close as p or closer, exactly.
            const WideDistance dp = wideSquaredDistance(px, py, qx, qy), dk = wideSquaredDistance(kx, ky, qx, qy);
            nearTies += !nearwalk::isLess(dk, dp);
            beyond += !nearwalk::isAtMost(dk, nearwalk::wideBandLimit(dp));
        }
        EXPECT_EQ(beyond, 0) << "2^" << exponent;
        EXPECT_GT(nearTies, 300) << "2^" << exponent;  // rounding hides the order often
    }
}

TEST(NearwalkWideDistance, NonFiniteDataCoordinatesCompareAsDoubleHasThem)
{
    const WideDistance nan = wideSquaredDistance(NAN, 0, 0, 0), inf = wideSquaredDistance(-INFINITY, 1, 0, 0);
    const WideDistance one = wideSquaredDistance(1, 0, 0, 0);
    EXPECT_FALSE(nearwalk::isLess(nan, one) || nearwalk::isLess(one, nan) || nearwalk::isAtMost(nan, nan));
    EXPECT_TRUE(nearwalk::isLess(one, inf));
    EXPECT_FALSE(nearwalk::isLess(inf, inf));
    EXPECT_TRUE(nearwalk::isAtMost(inf, nearwalk::wideBandLimit(inf)));
    EXPECT_TRUE(nearwalk::isLess(nearwalk::wideZero, one));
}

}  // namespace
