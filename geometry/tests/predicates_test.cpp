// The exact predicates and the bounded orientation against GMP rationals,
// on clusters beside far points at every magnitude and on points nearly on
// one line.
#include <gtest/gtest.h>

#include <cmath>

#include "exact_values.hpp"
#include "geometry/accurate_orientation.hpp"
#include "geometry/distance_comparison.hpp"
#include "geometry/exact_predicates.hpp"

namespace {

using namespace ky::geometry;
using geometry_test::PointSource;

TEST(GeometryPredicates, OrientationAndInCircleAreExactAtAnyMagnitude)
{
    PointSource source(3201);
    for (int set = 0; set < 4000; ++set) {
        source.nextSet();
        double p[4][2];
        for (auto& point : p) point[0] = source.either(), point[1] = source.either();
        if (set % 4 == 0) {
            // d nearly on the line through a and b: one ulp off at most.
            const double t = source.unit();
            p[3][0] = p[0][0] + t * (p[1][0] - p[0][0]);
            p[3][1] = p[0][1] + t * (p[1][1] - p[0][1]);
        }
        const int turn = orientationSign(p[0], p[1], p[3]);
        ASSERT_EQ(turn, sgn(geometry_test::orientationExact(p[0][0], p[0][1], p[1][0], p[1][1], p[3][0], p[3][1])))
            << set;
        const int abc = orientationSign(p[0], p[1], p[2]);
        if (abc == 0) continue;
        const double* a = p[0];
        const double* b = abc > 0 ? p[1] : p[2];
        const double* c = abc > 0 ? p[2] : p[1];
        const mpq_class exact = geometry_test::inCircleExact(a[0], a[1], b[0], b[1], c[0], c[1], p[3][0], p[3][1]);
        ASSERT_EQ(strictlyInsideCircle(a, b, c, p[3][0], p[3][1]), exact > 0) << set;
        ASSERT_EQ(inCircleSign(a[0], a[1], b[0], b[1], c[0], c[1], p[3][0], p[3][1]), sgn(exact)) << set;
        ASSERT_EQ(strictlyInCircle(a[0], a[1], c[0], c[1], b[0], b[1], p[3][0], p[3][1], true), exact > 0) << set;
    }
}

TEST(GeometryPredicates, CocircularAndCollinearPointsGiveZero)
{
    for (const double s : {0x1p-1000, 1.0, 0x1p900}) {
        EXPECT_EQ(orientationSign(0, 0, s, s, 2 * s, 2 * s), 0);
        EXPECT_EQ(inCircleSign(0, 0, s, 0, s, s, 0, s), 0);
        const double a[2] = {0, 0}, b[2] = {s, 0}, c[2] = {s, s};
        EXPECT_FALSE(strictlyInsideCircle(a, b, c, 0, s));
        EXPECT_TRUE(strictlyInsideCircle(a, b, c, 0.5 * s, 0.5 * s));
    }
}

TEST(GeometryPredicates, TheBoundedOrientationHoldsItsBound)
{
    PointSource source(3202);
    for (int set = 0; set < 4000; ++set) {
        source.nextSet();
        double p[3][2];
        for (auto& point : p) point[0] = source.either(), point[1] = source.either();
        const BoundedOrientation o = boundedOrientation(p[0], p[1], p[2]);
        // The same value as accurateOrientation, bit for bit.
        const double plain = accurateOrientation(p[0], p[1], p[2]);
        ASSERT_TRUE(o.value == plain || (std::isnan(o.value) && std::isnan(plain))) << set;
        if (!std::isfinite(o.value) || !std::isfinite(o.bound)) continue;
        const mpq_class exact = geometry_test::orientationExact(p[0][0], p[0][1], p[1][0], p[1][1], p[2][0], p[2][1]);
        ASSERT_LE(abs(mpq_class(o.value) - exact), mpq_class(o.bound)) << set;
    }
}

TEST(GeometryPredicates, DistanceComparisonIsExactForNearTies)
{
    PointSource source(3203);
    for (int set = 0; set < 4000; ++set) {
        source.nextSet();
        const double qx = source.either(), qy = source.either();
        const double px = source.near(), py = source.near();
        // r: p mirrored about a line through q, rounded: a near tie.
        const double rx = set % 2 ? 2 * qx - px : source.near(), ry = set % 2 ? py : source.near();
        const mpq_class dp = (mpq_class(px) - qx) * (mpq_class(px) - qx) + (mpq_class(py) - qy) * (mpq_class(py) - qy);
        const mpq_class dr = (mpq_class(rx) - qx) * (mpq_class(rx) - qx) + (mpq_class(ry) - qy) * (mpq_class(ry) - qy);
        ASSERT_EQ(compareDistances(qx, qy, px, py, rx, ry), dp < dr ? -1 : dp > dr ? 1 : 0) << set;
    }
}

}  // namespace
