// The rounding band: a point that is as close to a query point as another,
// or closer, exactly, never has a computed squared distance beyond the band
// limit of the other's, at any magnitude, also where squares underflow.
#include <gtest/gtest.h>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <cmath>
#include <numbers>
#include <random>

#include "band_search.hpp"

namespace {

using Point = CGAL::Exact_predicates_inexact_constructions_kernel::Point_2;

double computed(double px, double py, double qx, double qy)
{
    const double dx = px - qx, dy = py - qy;
    return dy * dy + dx * dx;
}

TEST(NearwalkBandLimit, CoversEveryPointAsCloseExactly)
{
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    // Squares that are ordinary, near the top of the range, and ones that
    // are subnormal or underflow to 0.
    for (const int exponent : {0, 500, -300, -520, -537, -545}) {
        int nearTies = 0, beyond = 0;
        for (int trial = 0; trial < 8000; ++trial) {
            // Two points on one circle about the query point, each rounded
            // to doubles: exactly, either may be the closer one.
            const double qx = std::ldexp(unit(random), exponent), qy = std::ldexp(unit(random), exponent);
            const double r = std::ldexp(0.5 + unit(random), exponent - (trial % 8) * 3);
            const double a = 2 * std::numbers::pi * unit(random), b = a + 1e-3 * unit(random);
            double px = qx + r * std::cos(a), py = qy + r * std::sin(a);
            double kx = qx + r * std::cos(b), ky = qy + r * std::sin(b);
            if (CGAL::compare_distance_to_point(Point(qx, qy), Point(px, py), Point(kx, ky)) == CGAL::SMALLER)
                std::swap(px, kx), std::swap(py, ky);
            // Now k is as close as p or closer, exactly.
            const double dp = computed(px, py, qx, qy), dk = computed(kx, ky, qx, qy);
            nearTies += dk >= dp;
            beyond += !(dk <= nearwalk::bandLimit(dp));
        }
        EXPECT_EQ(beyond, 0) << "2^" << exponent;
        EXPECT_GT(nearTies, 300) << "2^" << exponent;  // rounding hides the order often
    }
}

}  // namespace
