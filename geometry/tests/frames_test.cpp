// Scale exponents from both extremes of a set, and the frames of a few
// points from their largest difference.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/scale_exponent.hpp"

namespace {

using namespace ky::geometry;

MagnitudeRange rangeOf(std::initializer_list<double> values)
{
    MagnitudeRange range;
    for (const double v : values) range.include(v);
    return range;
}

TEST(GeometryScaleExponent, TheRangeKeepsBothExtremes)
{
    const MagnitudeRange range = rangeOf({0.0, -0x1p-700, 3.0, 0x1p600, -0.0});
    EXPECT_EQ(range.smallestExponent(), -700);
    EXPECT_EQ(range.largestExponent(), 600);
    EXPECT_FALSE(range.within(650));
    EXPECT_TRUE(range.within(700));
    EXPECT_TRUE(rangeOf({0.0, -0.0}).onlyZeros());
    MagnitudeRange finite;
    for (const double v : {1.0, double(INFINITY), double(NAN), 0x1p-5}) finite.includeFinite(v);
    EXPECT_EQ(finite.largest, 1.0);
    EXPECT_EQ(finite.smallest, 0x1p-5);
}

TEST(GeometryScaleExponent, CentringStaysExact)
{
    EXPECT_EQ(centringExponent(-129, 129), 0);
    EXPECT_EQ(centringExponent(-129, -129), 129);
    EXPECT_EQ(centringExponent(0, 129), -64);
    // Never scaled down below the normal range, never up past the largest double.
    EXPECT_EQ(exactScaling(centringExponent(-1000, 1023), -1000, 1023), -11);
    EXPECT_EQ(exactScaling(centringExponent(-1021, 1023), -1021, 1023), -1);
    EXPECT_EQ(exactScaling(centringExponent(-1074, -1074), -1074, -1074), 1074);
    EXPECT_EQ(exactScaling(centringExponent(-1074, 1020), -1074, 1020), 3);
}

TEST(GeometryDifferenceFrame, IsTheIdentityInTheMiddleRange)
{
    const double a[2] = {1e10, 1e10}, b[2] = {1e10 + 1, 1e10}, c[2] = {1e10, 1e10 + 0x1p-30};
    const double* points[3] = {a, b, c};
    const DifferenceFrame frame(points, 3, a);
    EXPECT_EQ(frame.exponent(), 0);
    double room[2];
    EXPECT_EQ(frame.apply(b, room), b);
}

TEST(GeometryDifferenceFrame, BringsTheLargestDifferenceNearOne)
{
    for (const double s : {1e-300, 1e-165, 0x1p-201, 0x1p201, 1e250}) {
        const double a[2] = {s, 0}, b[2] = {2 * s, 0}, c[2] = {s, 0.75 * s};
        const double* points[3] = {a, b, c};
        const DifferenceFrame frame(points, 3, a);
        double room[3][2];
        const double* pa = frame.apply(a, room[0]);
        const double* pb = frame.apply(b, room[1]);
        EXPECT_GE(pb[0] - pa[0], 1.0) << s;
        EXPECT_LT(pb[0] - pa[0], 2.0) << s;
        EXPECT_EQ(std::ldexp(pb[0], -frame.exponent()), b[0]) << s;
    }
    // Differences that overflow: the coordinates are brought below 1.
    const double a[2] = {-1.5e308, 0}, b[2] = {1.5e308, 0};
    const double* points[2] = {a, b};
    const DifferenceFrame frame(points, 2, a);
    double room[2][2];
    EXPECT_TRUE(std::isfinite(frame.apply(b, room[1])[0] - frame.apply(a, room[0])[0]));
    EXPECT_LT(frame.apply(b, room[1])[0], 1.0);
}

}  // namespace
