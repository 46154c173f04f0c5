// Built against the core in its verification form: every search that goes
// on in the beach line's index also walks on to the walk's own answer, and
// the two are counted where they differ. Wherever the sweep's own rows are
// returned (certified, flipped or completed, not recomputed), the index
// must have answered as the walk, so that those rows are the walk's rows.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "beach_line.hpp"
#include "certified_sweep.hpp"
#include "point_families.hpp"
#include "sweep_core_calls.hpp"
#include "triangulation_checks.hpp"

namespace sweeptri::testing {
namespace {

#ifdef SWEEPTRI_SMALL_ORACLE
constexpr int lognormalRounds = 2000;
#else
constexpr int lognormalRounds = 15000;
#endif

TEST(BeachSearchVerification, TheIndexAnswersAsTheWalkWhereverTheSweepsRowsAreKept)
{
    std::vector<PointSet> sets = families(100);
    for (unsigned seed : {1u, 2u})
        for (PointSet& set : hardShapes(hardShapeSize, seed)) sets.push_back(std::move(set));
    for (const PointSet& set : families(40))
        if (set.x.size() <= 1600) sets.push_back(scaled(set, 600));

    std::int64_t verified = 0;
    for (const PointSet& set : sets) {
        SCOPED_TRACE(set.name);
        const Triangulation result = callCore(set.x, set.y, true);
        ASSERT_FALSE(result.error) << *result.error;
        EXPECT_TRUE(exactlyDelaunay(set.x, set.y, result.rows));
        if (lastCertifiedPath == CertifiedPath::Recomputed) continue;
        EXPECT_EQ(beachSearchStats.disagreements, 0);
        verified += beachSearchStats.indexSearches;
    }
    EXPECT_GT(verified, 5 * hardShapeSize);
}

// A set written as one point a line, x and y as C hexadecimal floats.
PointSet readPointFile(const std::string& name)
{
    PointSet set{name, {}, {}};
    std::ifstream file(std::string(SWEEPTRI_TEST_DATA_DIR) + "/" + name);
    std::string x, y;
    while (file >> x >> y) {
        set.x.push_back(std::strtod(x.c_str(), nullptr));
        set.y.push_back(std::strtod(y.c_str(), nullptr));
    }
    return set;
}

// The rows of the certified call, once with the index's answers and once
// with the walk's answers in their place.
struct BothAnswers {
    Triangulation indexed, walked;
    CertifiedPath path;
    std::int64_t indexSearches, disagreements;
};

BothAnswers callBothWays(const PointSet& set)
{
    BothAnswers both{};
    both.indexed = callCore(set.x, set.y, true);
    both.path = lastCertifiedPath;
    both.indexSearches = beachSearchStats.indexSearches;
    both.disagreements = beachSearchStats.disagreements;
    searchReturnsWalk = true;
    both.walked = callCore(set.x, set.y, true);
    searchReturnsWalk = false;
    return both;
}

// Heavy-tailed coordinates whose floating-point right-of test reads
// right, not right, right, not right along the part of the beach line an
// index search covers: the bisection can land on the second change, the
// walk stops at the first. The rows are kept after completion and must be
// the walk's rows, row for row.
TEST(BeachSearchVerification, AnUncertainWindowIsAnsweredAsTheWalkAnswers)
{
    const PointSet set = readPointFile("beach-index-51.txt");
    ASSERT_EQ(set.x.size(), 51u);
    const BothAnswers both = callBothWays(set);
    ASSERT_FALSE(both.indexed.error);
    EXPECT_GT(both.indexSearches, 0);
    EXPECT_NE(both.path, CertifiedPath::Recomputed);
    EXPECT_EQ(both.disagreements, 0);
    EXPECT_TRUE(exactlyDelaunay(set.x, set.y, both.indexed.rows));
    EXPECT_EQ(both.indexed.rows, both.walked.rows);
}

// Many small lognormal sets, the family in which such windows turn up:
// wherever the rows are kept, no index search may answer unlike the walk.
TEST(BeachSearchVerification, LognormalSetsKeepTheWalksRows)
{
    std::mt19937_64 random(20261208);
    std::int64_t searched = 0;
    for (int round = 0; round < lognormalRounds; ++round) {
        const double sigma = 5.0 * (1 + round % 4);
        std::lognormal_distribution<double> heavy(0.0, sigma);
        const int n = 20 + static_cast<int>(random() % 180);
        PointSet set{"lognormal round " + std::to_string(round), {}, {}};
        for (int k = 0; k < n; ++k) {
            set.x.push_back(heavy(random));
            set.y.push_back(heavy(random));
        }
        SCOPED_TRACE(set.name);
        const Triangulation result = callCore(set.x, set.y, true);
        if (result.error) continue;  // a repeat (rare at this spread)
        if (lastCertifiedPath == CertifiedPath::Recomputed) continue;
        searched += beachSearchStats.indexSearches;
        EXPECT_EQ(beachSearchStats.disagreements, 0);
    }
    EXPECT_GT(searched, 0);
}

}  // namespace
}  // namespace sweeptri::testing
