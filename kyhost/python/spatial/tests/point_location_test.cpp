// Point location against exact containment: random sets, points in convex
// position (fans of thin triangles), extreme magnitudes, points on edges
// and corners, outside the hull, and the search of every row.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "distance_order.hpp"
#include "spatial_fixtures.hpp"

namespace {

using spatial_test::indexed;
using spatial_test::Points;

// Whether row t (clockwise) holds the point, edges and corners included
// (CGAL's exact orientation, cheaper than rationals for the many rows that
// brute force tests).
bool rowHolds(const spatial_test::Indexed& set, std::int64_t t, double qx, double qy)
{
    const std::int32_t* row = set.rows.data() + 3 * t;
    const auto at = [&](std::int32_t p) { return kyhost_spatial::Point2(set.points.x[p], set.points.y[p]); };
    for (int j = 0; j < 3; ++j)
        if (CGAL::orientation(at(row[(j + 1) % 3]), at(row[(j + 2) % 3]), kyhost_spatial::Point2(qx, qy)) ==
            CGAL::LEFT_TURN)
            return false;
    return true;
}

std::vector<std::int64_t> located(const kyhost_spatial::PointLocation& location, const Points& q, bool everywhere,
                                  double tolerance = 0)
{
    std::vector<std::int64_t> simplex(q.x.size());
    const auto count = static_cast<std::int64_t>(q.x.size());
    if (everywhere) location.locateEverywhere(q.x.data(), q.y.data(), count, tolerance, simplex.data());
    else location.locate(q.x.data(), q.y.data(), count, tolerance, simplex.data());
    return simplex;
}

// Each answer holds its query, and -1 goes exactly to queries no row holds.
void expectLocated(const spatial_test::Indexed& set, const Points& q, const std::vector<std::int64_t>& simplex)
{
    const std::int64_t m = set.index->rowCount();
    for (std::size_t i = 0; i < q.x.size(); ++i) {
        if (simplex[i] >= 0) {
            EXPECT_TRUE(rowHolds(set, simplex[i], q.x[i], q.y[i])) << "query " << i;
            continue;
        }
        for (std::int64_t t = 0; t < m; ++t)
            ASSERT_FALSE(rowHolds(set, t, q.x[i], q.y[i])) << "query " << i << " is in row " << t;
    }
}

Points randomPoints(std::size_t n, double low, double high, unsigned seed)
{
    return {spatial_test::uniform(n, low, high, seed), spatial_test::uniform(n, low, high, seed + 1)};
}

TEST(PointLocation, RandomSetsWithPointsOnEdgesAndCorners)
{
    const auto set = indexed(randomPoints(2000, 0, 1, 1));
    const auto location = spatial_test::locator(*set);
    ASSERT_GT(location->levelCount(), 2u);
    Points q = randomPoints(3000, -0.1, 1.1, 3);
    for (std::size_t t = 0; t < 300; ++t) {  // midpoints of edges, and corners
        const std::int32_t a = set->rows[3 * t], b = set->rows[3 * t + 1];
        q.x.push_back((set->points.x[a] + set->points.x[b]) / 2);
        q.y.push_back((set->points.y[a] + set->points.y[b]) / 2);
        q.x.push_back(set->points.x[a]);
        q.y.push_back(set->points.y[a]);
    }
    const auto walked = located(*location, q, false);
    expectLocated(*set, q, walked);
    // The search of every row gives the first row that holds each point.
    const Points few{{q.x.begin(), q.x.begin() + 400}, {q.y.begin(), q.y.begin() + 400}};
    const auto everywhere = located(*location, few, true);
    for (std::size_t i = 0; i < few.x.size(); ++i) {
        std::int64_t first = -1;
        for (std::int64_t t = 0; t < set->index->rowCount() && first < 0; ++t)
            if (rowHolds(*set, t, few.x[i], few.y[i])) first = t;
        EXPECT_EQ(everywhere[i], first) << "query " << i;
    }
}

TEST(PointLocation, PointsInConvexPosition)
{
    Points parabola;
    for (int i = 0; i < 2000; ++i) {
        const double t = -1 + 2.0 * i / 1999;
        parabola.x.push_back(t);
        parabola.y.push_back(t * t);
    }
    const auto set = indexed(parabola);
    const auto location = spatial_test::locator(*set);
    const Points q = randomPoints(1000, -1, 1, 11);
    expectLocated(*set, q, located(*location, q, false));
    // One side of the parabola only: a fan of thin triangles around an end.
    Points half;
    for (int i = 0; i < 2000; ++i) {
        const double t = 1 + i / 1999.0;
        half.x.push_back(t);
        half.y.push_back(t * t);
    }
    const auto fan = indexed(half);
    const auto fanLocation = spatial_test::locator(*fan);
    const Points inside = {spatial_test::uniform(1000, 1, 2, 12), spatial_test::uniform(1000, 1, 4, 13)};
    expectLocated(*fan, inside, located(*fanLocation, inside, false));
}

TEST(PointLocation, AnyMagnitude)
{
    for (const double scale : {1e-160, 1e155, 1e-300, 1e300}) {
        Points p = randomPoints(500, 0, 1, 21);
        for (double& v : p.x) v *= scale;
        for (double& v : p.y) v *= scale;
        const auto set = indexed(p);
        const auto location = spatial_test::locator(*set);
        Points q = randomPoints(1000, -0.1, 1.1, 22);
        for (double& v : q.x) v *= scale;
        for (double& v : q.y) v *= scale;
        SCOPED_TRACE("scale " + std::to_string(scale));
        const auto simplex = located(*location, q, false);
        expectLocated(*set, q, simplex);
        std::size_t inside = 0;
        for (const std::int64_t s : simplex) inside += s >= 0;
        EXPECT_GT(inside, 600u);
        // Weights of the found rows are finite and sum to 1.
        std::vector<double> w(3 * q.x.size());
        location->weights(simplex.data(), q.x.data(), q.y.data(), static_cast<std::int64_t>(q.x.size()), w.data());
        for (std::size_t i = 0; i < q.x.size(); ++i)
            if (simplex[i] >= 0) {
                EXPECT_NEAR(w[3 * i] + w[3 * i + 1] + w[3 * i + 2], 1.0, 1e-12);
                EXPECT_GE(std::min({w[3 * i], w[3 * i + 1], w[3 * i + 2]}), -1e-12);
            }
    }
    // Magnitudes from 1e-300 to 1e300 in one set: out of any one frame.
    Points mixed = randomPoints(100, 0, 1e-300, 23), large = randomPoints(100, 0, 1e300, 24);
    mixed.x.insert(mixed.x.end(), large.x.begin(), large.x.end());
    mixed.y.insert(mixed.y.end(), large.y.begin(), large.y.end());
    const auto set = indexed(mixed);
    const auto location = spatial_test::locator(*set, 4);
    Points q = randomPoints(300, 0, 1e-300, 25), far = randomPoints(300, 0, 1e300, 26);
    q.x.insert(q.x.end(), far.x.begin(), far.x.end());
    q.y.insert(q.y.end(), far.y.begin(), far.y.end());
    expectLocated(*set, q, located(*location, q, false));
}

TEST(PointLocation, ToleranceKeepsPointsJustOutsideTheHull)
{
    const auto set = indexed({{0, 1, 0, 1}, {0, 0, 1, 1}});
    const auto location = spatial_test::locator(*set);
    const double nan = std::nan("");
    const Points q{{0.5, 0.5, 0.5, nan}, {-1e-15, -1e-3, 0.5, 0.5}};
    const auto exact = located(*location, q, false);
    EXPECT_EQ(exact[0], -1);
    EXPECT_EQ(exact[1], -1);
    EXPECT_GE(exact[2], 0);
    EXPECT_EQ(exact[3], -1);
    for (const bool everywhere : {false, true}) {
        const auto within = located(*location, q, everywhere, 1e-12);
        EXPECT_GE(within[0], 0);
        EXPECT_EQ(within[1], -1);
        EXPECT_EQ(within[3], -1);
    }
}

}  // namespace
