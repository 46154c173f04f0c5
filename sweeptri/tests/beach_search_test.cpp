// The beach line's search on the shapes where walking from the slots alone
// runs far (points crowded at one x, far outliers, heavy tails, circles):
// a bounded number of right-of tests a search, certified rows on every
// shape, and pockets along a nearly straight hull completed without a
// recomputation.
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "beach_line.hpp"
#include "certified_sweep.hpp"
#include "point_families.hpp"
#include "sweep_core_calls.hpp"
#include "triangulation_checks.hpp"

namespace sweeptri::testing {
namespace {

TEST(BeachSearch, NoSearchTestsMoreThanItsWalkAndTwiceLog2OfTheBeachLine)
{
    // Half the points at x = 0: their slot is slot 0, which always holds the
    // left sentinel, so each of them starts at the left end of the beach
    // line, behind every arc of the edge above it.
    const PointSet set = hardShapes(hardShapeSize, 1)[0];
    const Triangulation result = callCore(set.x, set.y, true);
    ASSERT_FALSE(result.error);
    EXPECT_TRUE(exactlyDelaunay(set.x, set.y, result.rows));
    EXPECT_GT(beachSearchStats.indexSearches, hardShapeSize / 4);
    EXPECT_LE(beachSearchStats.worstExcess, 0);
    EXPECT_LE(walkTestLimit, 64);
    EXPECT_LE(shortWalkTestLimit, walkTestLimit);
    // Without the index, these searches would average thousands of tests.
    EXPECT_LT(beachSearchStats.tests, 40 * static_cast<std::int64_t>(hardShapeSize));
}

TEST(BeachSearch, EveryHardShapeGivesTheDelaunayTriangulation)
{
    for (unsigned seed : {2u, 3u})
        for (const PointSet& set : hardShapes(hardShapeSize, seed)) {
            SCOPED_TRACE(set.name);
            const Triangulation result = callCore(set.x, set.y, true);
            ASSERT_FALSE(result.error) << *result.error;
            EXPECT_TRUE(exactlyDelaunay(set.x, set.y, result.rows));
            EXPECT_LE(beachSearchStats.worstExcess, 0);
        }
}

// Points a rounding error off a tilted line, in random order.
PointSet tiltedLine(int n, double slope, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    PointSet set{"points off a line of slope " + std::to_string(slope), {}, {}};
    for (int i = 0; i < n; ++i) {
        set.x.push_back(unit(random));
        set.y.push_back(slope * set.x.back() + 1e-9 * unit(random));
    }
    return set;
}

TEST(BeachSearch, PocketsAlongANearlyStraightHullAreCompletedNotRecomputed)
{
    const double degree = std::numbers::pi / 180;
    std::vector<PointSet> sets;
    for (double angle : {30.0, 7.0, 60.0}) sets.push_back(tiltedGrid(60, angle * degree, std::to_string(angle)));
    sets.push_back(tiltedLine(2000, 0.3, 4));
    sets.push_back(tiltedLine(2000, 1.7, 5));
    for (const PointSet& set : sets) {
        SCOPED_TRACE(set.name);
        const Triangulation plain = callCore(set.x, set.y, false);
        ASSERT_FALSE(plain.error);
        // The sweep alone leaves slivers out: too few rows.
        EXPECT_FALSE(exactlyDelaunay(set.x, set.y, plain.rows));
        const Triangulation result = callCore(set.x, set.y, true);
        ASSERT_FALSE(result.error);
        EXPECT_EQ(lastCertifiedPath, CertifiedPath::Completed);
        EXPECT_TRUE(exactlyDelaunay(set.x, set.y, result.rows));
        EXPECT_EQ(result.warnings, plain.warnings);
        EXPECT_GT(result.rows.size(), plain.rows.size());
    }
}

TEST(BeachSearch, RowsMostlyMissingAreRecomputedNotFilled)
{
    // A cluster 1e-10 wide and one point 1e300 away: the sweep's doubles
    // give almost no usable rows. Filling the whole hull would triangulate
    // every point in a second way (and slowly, each in-circle test with the
    // far point exact); the recomputation gives its own rows.
    std::mt19937_64 random(9);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> x, y;
    for (int k = 0; k < 3000; ++k) {
        x.push_back(1e-10 * unit(random));
        y.push_back(1e-10 * unit(random));
    }
    x.push_back(1e300);
    y.push_back(-1e300);
    const Triangulation result = callCore(x, y, true);
    ASSERT_FALSE(result.error);
    EXPECT_EQ(lastCertifiedPath, CertifiedPath::Recomputed);
    EXPECT_TRUE(exactlyDelaunay(x, y, result.rows));
}

}  // namespace
}  // namespace sweeptri::testing
