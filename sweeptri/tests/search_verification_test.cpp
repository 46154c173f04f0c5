// Built against the core in its verification form: every search that goes
// on in the beach line's index also walks on to the walk's own answer, and
// the two are counted where they differ. Wherever the sweep's own rows are
// returned (certified, flipped or completed, not recomputed), the index
// must have answered as the walk, so that those rows are the walk's rows.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "beach_line.hpp"
#include "certified_sweep.hpp"
#include "point_families.hpp"
#include "sweep_core_calls.hpp"
#include "triangulation_checks.hpp"

namespace sweeptri::testing {
namespace {

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

}  // namespace
}  // namespace sweeptri::testing
