// "natural": Sibson's coordinates against CGAL's with exact constructions,
// their sum and the point they reproduce, CGAL's rules on the hull, and the
// warning for rows that are not Delaunay.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "interpolation_calls.hpp"

namespace {

using namespace trinterp::testing;

// Our coordinates: with Z the n-by-n identity, ZI's row q holds query q's
// coordinate of every point.
std::vector<std::vector<double>> naturalCoordinates(const Points& p, const std::vector<double>& tri,
                                                    const std::vector<double>& qx, const std::vector<double>& qy)
{
    const std::size_t n = p.x.size();
    Call c;
    c.x = p.x;
    c.y = p.y;
    std::vector<double> identity(n * n, 0.0);
    for (std::size_t i = 0; i < n; ++i) identity[i * n + i] = 1;
    c.valueColumns(static_cast<std::int32_t>(n), identity);
    c.tri = tri;
    c.method = "natural";
    c.queries(qx, qy);
    const ky::CallOutcome outcome = runPlugin(c);
    EXPECT_TRUE(outcome.warnings.empty());
    const std::vector<double> all = results(outcome);
    std::vector<std::vector<double>> coordinates(qx.size(), std::vector<double>(n));
    for (std::size_t q = 0; q < qx.size(); ++q)
        for (std::size_t i = 0; i < n; ++i) coordinates[q][i] = all.at(q + i * qx.size());
    return coordinates;
}

// Ours against CGAL's exact ones: NaN where CGAL finds the query outside,
// else every coordinate within `tolerance`. Returns the largest difference.
double compareWithExact(const Points& p, const std::vector<double>& tri, const std::vector<double>& qx,
                        const std::vector<double>& qy, double tolerance)
{
    const auto ours = naturalCoordinates(p, tri, qx, qy);
    const auto exact = exactNaturalCoordinates(p, qx, qy);
    double largest = 0;
    for (std::size_t q = 0; q < qx.size(); ++q) {
        if (exact[q].empty()) {
            EXPECT_TRUE(std::isnan(ours[q][0])) << "query " << q << " (" << qx[q] << ", " << qy[q] << ") is outside";
            continue;
        }
        for (std::size_t i = 0; i < p.x.size(); ++i) {
            const double difference = std::fabs(ours[q][i] - exact[q][i]);
            largest = std::max(largest, difference);
            EXPECT_LE(difference, tolerance) << "query " << q << " (" << qx[q] << ", " << qy[q] << ") point " << i;
        }
    }
    return largest;
}

TEST(TrinterpNatural, CoordinatesEqualCGALsExactOnesOnRandomSets)
{
    for (const std::uint64_t seed : {1u, 2u, 3u}) {
        const Points p = randomPoints(150, seed);
        const Points q = randomPoints(600, seed + 100, -0.05, 1.05);
        compareWithExact(p, scrambledRows(delaunayRows(p.x, p.y)), q.x, q.y, 1e-12);
    }
}

TEST(TrinterpNatural, CoordinatesEqualCGALsExactOnesOnGridsWithQueriesOnTheHull)
{
    // Every cell's four corners lie on one circle.
    const Points p = grid(9, 7);
    std::vector<double> qx, qy;
    const Points random = randomPoints(300, 7, -0.5, 9);
    qx = random.x;
    qy = random.y;
    for (double t = -0.5; t <= 8.5; t += 0.25) {
        for (const double y : {0.0, 6.0, 3.0, 2.5}) {  // on the bottom and top hull sides, on inner lines
            qx.push_back(t);
            qy.push_back(y);
        }
        for (const double x : {0.0, 8.0, 4.5}) {
            qx.push_back(x);
            qy.push_back(t);
        }
    }
    compareWithExact(p, delaunayRows(p.x, p.y), qx, qy, 1e-12);
}

TEST(TrinterpNatural, CoordinatesEqualCGALsExactOnesOnTiltedGrids)
{
    for (const double angle : {30.0, 1e-7, 45.0}) {
        const Points p = grid(9, 9, angle);
        const Points q = randomPoints(500, 17, -12, 12);
        compareWithExact(p, scrambledRows(delaunayRows(p.x, p.y)), q.x, q.y, 1e-12);
    }
}

TEST(TrinterpNatural, CoordinatesSumToOneAndReproduceTheQuery)
{
    const Points p = randomPoints(3000, 5);
    const Points q = randomPoints(20000, 6);
    Call c;
    c.x = p.x;
    c.y = p.y;
    std::vector<double> columns(3 * p.x.size(), 1.0);
    std::copy(p.x.begin(), p.x.end(), columns.begin() + static_cast<std::ptrdiff_t>(p.x.size()));
    std::copy(p.y.begin(), p.y.end(), columns.begin() + 2 * static_cast<std::ptrdiff_t>(p.x.size()));
    c.valueColumns(3, columns);
    c.tri = delaunayRows(p.x, p.y);
    c.method = "natural";
    c.queries(q.x, q.y);
    const std::vector<double> z = results(runPlugin(c));
    const std::size_t m = q.x.size();
    for (std::size_t k = 0; k < m; ++k) {
        if (std::isnan(z[k])) continue;  // outside the hull
        EXPECT_NEAR(z[k], 1.0, 4e-15) << k;
        EXPECT_NEAR(z[m + k], q.x[k], 4e-15) << k;
        EXPECT_NEAR(z[2 * m + k], q.y[k], 4e-15) << k;
    }
}

TEST(TrinterpNatural, NearTheHullTheCoordinatesStayAccurate)
{
    // Queries ever closer to the hull sides of a random set (down to 2^-60
    // from them), where the circumcentres of the new triangles run off: the
    // coordinates still equal the exact ones to a few units in the last
    // place.
    const Points p = randomPoints(60, 9);
    const std::vector<double> tri = delaunayRows(p.x, p.y);
    // The hull side through the two lowest points.
    std::vector<std::size_t> order(p.x.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return p.y[a] < p.y[b]; });
    // Lowest point and its hull neighbours: use midpoints of the sides from
    // the lowest point to each other point, pushed inward, and keep those
    // CGAL finds inside.
    std::vector<double> qx, qy;
    const std::size_t low = order[0];
    for (std::size_t other = 0; other < p.x.size(); ++other) {
        if (other == low) continue;
        for (int power = 1; power <= 20; ++power) {
            const double t = 0.37, push = std::ldexp(1.0, -3 * power);
            qx.push_back(p.x[low] + t * (p.x[other] - p.x[low]));
            qy.push_back(p.y[low] + t * (p.y[other] - p.y[low]) + push);
        }
    }
    compareWithExact(p, tri, qx, qy, 4e-15);
}

TEST(TrinterpNatural, ASliverWithAFarCornerKeepsTheCoordinatesExact)
{
    // Point 7 lies 2^53 away, nearly on the line of points 5 and 6: the
    // row (5, 6, 7) is a sliver whose circumcentre lies 4e31 below, and a
    // query just above side 5-6 is inside that circle by 1e-31. The terms
    // of the long sides (about 1e47) cancel down to areas of about 1e31;
    // summed in doubles they gave point 7 a coordinate of -0.125 and the
    // value -9.125 from values between -9 and 7.
    Points p;
    p.x = {5, 3, -1.051117090787516e-56, 0, 5, 2.0633335208870581e-292, 9007199254740992};
    p.y = {4, 5, 3, 5, -1.1925612096592662e-55, 0, -1};
    const std::vector<double> qx = {3, 1, 4.5, 2.5, 3}, qy = {-2.724903205383938e-149, 1e-9, 1e-30, 0.5, 3};
    compareWithExact(p, delaunayRows(p.x, p.y), qx, qy, 1e-15);

    Call c;
    c.x = p.x;
    c.y = p.y;
    c.values({1, 3, -6, -8, -9, -4, 7});
    c.tri = delaunayRows(p.x, p.y);
    c.method = "natural";
    c.queries(qx, qy);
    for (const double v : results(runPlugin(c))) {
        EXPECT_GE(v, -9.0);
        EXPECT_LE(v, 7.0);
    }
}

TEST(TrinterpNatural, RowsThatAreNotDelaunayWarnOnceAndAreUsedAsTheyStand)
{
    const Points p = randomPoints(100, 8);
    std::vector<double> tri = delaunayRows(p.x, p.y);
    const std::size_t m = tri.size() / 3;
    // Flip one inner side: find two rows sharing a side.
    bool flipped = false;
    for (std::size_t r = 0; r < m && !flipped; ++r)
        for (std::size_t s = r + 1; s < m && !flipped; ++s) {
            std::vector<double> a = {tri[r], tri[m + r], tri[2 * m + r]};
            std::vector<double> b = {tri[s], tri[m + s], tri[2 * m + s]};
            std::vector<double> shared, onlyA, onlyB;
            for (double v : a) (std::find(b.begin(), b.end(), v) != b.end() ? shared : onlyA).push_back(v);
            for (double v : b)
                if (std::find(a.begin(), a.end(), v) == a.end()) onlyB.push_back(v);
            if (shared.size() != 2) continue;
            // The quadrilateral must be convex for the flip to give a triangulation.
            const auto side = [&](double u, double v, double w) {
                const auto i = static_cast<std::size_t>(u) - 1, j = static_cast<std::size_t>(v) - 1,
                           k = static_cast<std::size_t>(w) - 1;
                return (p.x[j] - p.x[i]) * (p.y[k] - p.y[i]) - (p.y[j] - p.y[i]) * (p.x[k] - p.x[i]);
            };
            if (side(onlyA[0], onlyB[0], shared[0]) * side(onlyA[0], onlyB[0], shared[1]) >= 0) continue;
            tri[r] = onlyA[0], tri[m + r] = onlyB[0], tri[2 * m + r] = shared[0];
            tri[s] = onlyA[0], tri[m + s] = onlyB[0], tri[2 * m + s] = shared[1];
            flipped = true;
        }
    ASSERT_TRUE(flipped);
    Call c;
    c.x = p.x;
    c.y = p.y;
    c.values(std::vector<double>(p.x.size(), 1.0));
    c.tri = tri;
    c.method = "natural";
    const Points q = randomPoints(500, 10);
    c.queries(q.x, q.y);
    const ky::CallOutcome outcome = runPlugin(c);
    ASSERT_FALSE(outcome.error);
    ASSERT_EQ(outcome.warnings.size(), 1u);
    EXPECT_EQ(outcome.warnings[0],
              "TRI is not a Delaunay triangulation: the natural-neighbor weights follow its rows and may not be Sibson's.");
    for (const double v : results(outcome))
        if (!std::isnan(v)) {
            EXPECT_NEAR(v, 1.0, 1e-12);
        }
    // The same rows with "linear": no warning.
    c.method = "linear";
    EXPECT_TRUE(runPlugin(c).warnings.empty());
    // A flat row, or a region that is not convex, warns too.
    c.method = "natural";
    c.tri = delaunayRows(p.x, p.y);
    c.tri.erase(c.tri.begin() + static_cast<std::ptrdiff_t>(2 * m), c.tri.begin() + static_cast<std::ptrdiff_t>(2 * m + 1));
    c.tri.erase(c.tri.begin() + static_cast<std::ptrdiff_t>(m), c.tri.begin() + static_cast<std::ptrdiff_t>(m + 1));
    c.tri.erase(c.tri.begin(), c.tri.begin() + 1);  // one row fewer: a hole or a notch
    EXPECT_EQ(runPlugin(c).warnings.size(), 1u);
}

TEST(TrinterpNatural, OnAHullSideTheEndsShareLinearlyAndAtAPointItAlone)
{
    Call c;
    c.x = {0, 4, 0, 4, 2};
    c.y = {0, 0, 4, 4, 1};
    c.values({10, 20, 30, 40, 50});
    c.tri = {1, 2, 4, 3, 5, 5, 5, 5, 2, 4, 3, 1};  // four rows round point 5
    c.method = "natural";
    c.queries({1, 4, 2, 4, 5}, {0, 3, 1, 4, 1});
    const std::vector<double> z = results(runPlugin(c));
    EXPECT_DOUBLE_EQ(z[0], 0.75 * 10 + 0.25 * 20);
    EXPECT_DOUBLE_EQ(z[1], 0.25 * 20 + 0.75 * 40);
    EXPECT_EQ(z[2], 50.0);
    EXPECT_EQ(z[3], 40.0);
    EXPECT_TRUE(std::isnan(z[4]));
}

}  // namespace
