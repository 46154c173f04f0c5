// The rules of the walk, pinned with hand-built neighbour matrices: ties,
// stored order, the budget, the start point, the range check and the one
// warning per call.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "search_calls.hpp"

namespace {

using ky::testing::matrix;
using ky::testing::row;
using nearwalk::testing::answers;
using nearwalk::testing::errorOf;
using nearwalk::testing::neighbourMatrix;
using nearwalk::testing::Line;
using nearwalk::testing::search;

const char* const outOfRange = "TRI or S array contains values outside the range of X and Y.";
const char* const notConverged = "One or more points did not converge.";

TEST(NearwalkWalk, OneScanMovesToTheClosestNeighbourNotTheFirstCloserOne)
{
    const Line line({10, 5, 1});
    ky::ArrayHandle s = neighbourMatrix(3, {{1, 2}, {}, {}});
    EXPECT_EQ(answers(line.walk(1, {0}, s.get())), std::vector<double>{3});
}

TEST(NearwalkWalk, TiesNeverMoveTheWalkAndTheFirstStoredNeighbourWins)
{
    // From point 2 (x = -1) the only neighbour, point 3 (x = 1), is as far
    // from the query at 0: the walk stays.
    const Line line({5, -1, 1});
    ky::ArrayHandle s = neighbourMatrix(3, {{2, 1}, {2}, {1}});
    EXPECT_EQ(answers(line.walk(2, {0}, s.get())), std::vector<double>{2});
    // From point 1, two equally close neighbours: the one stored first.
    EXPECT_EQ(answers(line.walk(1, {0}, s.get())), std::vector<double>{3});
    ky::ArrayHandle swapped = neighbourMatrix(3, {{1, 2}, {2}, {1}});
    EXPECT_EQ(answers(line.walk(1, {0}, swapped.get())), std::vector<double>{2});
    // Two data points with the query's coordinates: the one reached first.
    const Line twins({3, 0, 0});
    ky::ArrayHandle s2 = neighbourMatrix(3, {{2, 1}, {2, 0}, {1, 0}});
    EXPECT_EQ(answers(twins.walk(1, {0}, s2.get())), std::vector<double>{3});
}

TEST(NearwalkWalk, DiagonalEntriesAreEvaluatedButChangeNothing)
{
    const Line line({0, 4});
    ky::ArrayHandle s = neighbourMatrix(2, {{0, 1, 0}, {1, 0}});
    const ky::CallOutcome outcome = line.walk(1, {1}, s.get());
    EXPECT_EQ(answers(outcome), std::vector<double>{1});
    EXPECT_TRUE(outcome.warnings.empty());
}

TEST(NearwalkWalk, ABudgetSpentExactlyInAScanThatFindsNothingIsNotConvergence)
{
    // Two points: a budget of 4 evaluations per walk.
    const Line line({0, 10});
    ky::ArrayHandle three = neighbourMatrix(2, {{1, 1, 1}, {0}});
    const ky::CallOutcome converged = line.walk(1, {0}, three.get());
    EXPECT_EQ(answers(converged), std::vector<double>{1});
    EXPECT_TRUE(converged.warnings.empty());

    ky::ArrayHandle four = neighbourMatrix(2, {{1, 1, 1, 1}, {0}});
    const ky::CallOutcome spent = line.walk(1, {0}, four.get());
    EXPECT_EQ(answers(spent), std::vector<double>{1});
    EXPECT_EQ(spent.warnings, std::vector<std::string>{notConverged});
}

TEST(NearwalkWalk, ABudgetCutMidScanReturnsTheBestOfThePartScanned)
{
    // Three points: a budget of 6. The query sits on point 3.
    const Line line({0, 5, 10});
    ky::ArrayHandle late = neighbourMatrix(3, {{1, 1, 1, 1, 1, 1, 2}, {}, {}});
    const ky::CallOutcome cut = line.walk(1, {10}, late.get());
    EXPECT_EQ(answers(cut), std::vector<double>{2});  // found in the very scan that was cut
    EXPECT_EQ(cut.warnings, std::vector<std::string>{notConverged});

    ky::ArrayHandle inTime = neighbourMatrix(3, {{1, 1, 1, 1, 1, 2}, {}, {}});
    const ky::CallOutcome last = line.walk(1, {10}, inTime.get());
    EXPECT_EQ(answers(last), std::vector<double>{3});
    EXPECT_EQ(last.warnings, std::vector<std::string>{notConverged});
}

TEST(NearwalkWalk, TheBudgetCoversTheWholeWalkAndIsFreshForEveryQuery)
{
    const Line line({0, 5, 10});
    // Three evaluations from point 1, three from point 2: six in all.
    ky::ArrayHandle s = neighbourMatrix(3, {{1, 1, 1}, {0, 0, 2}, {}});
    const ky::CallOutcome spent = line.walk(1, {10}, s.get());
    EXPECT_EQ(answers(spent), std::vector<double>{3});
    EXPECT_EQ(spent.warnings, std::vector<std::string>{notConverged});

    // Five evaluations per query never exhaust a fresh budget of six.
    ky::ArrayHandle s5 = neighbourMatrix(3, {{1, 1}, {0, 2}, {1}});
    const ky::CallOutcome fresh = line.walk(1, {10, 0, 10, 0}, s5.get());
    EXPECT_EQ(answers(fresh), (std::vector<double>{3, 1, 3, 1}));
    EXPECT_TRUE(fresh.warnings.empty());
}

TEST(NearwalkWalk, NonConvergenceWarnsOncePerCall)
{
    const Line line({0, 10});
    ky::ArrayHandle s = neighbourMatrix(2, {{1, 1, 1, 1}, {0, 0, 0, 0}});
    for (int call = 0; call < 2; ++call) {
        const ky::CallOutcome outcome = line.walk(1, {0, 0, 10, 0}, s.get());
        EXPECT_EQ(answers(outcome), (std::vector<double>{1, 1, 2, 1}));
        EXPECT_EQ(outcome.warnings, std::vector<std::string>{notConverged});
    }
}

TEST(NearwalkWalk, EachQueryStartsFromTheAnswerBeforeItInColumnMajorOrder)
{
    // A one-way chain 1 -> 2 -> ... -> 6: a walk can only move right.
    const Line line({0, 1, 2, 3, 4, 5});
    ky::ArrayHandle s = neighbourMatrix(6, {{1}, {2}, {3}, {4}, {5}, {}});
    ky::ArrayHandle tri = matrix(1, 3, {1, 2, 3});
    ky::ArrayHandle xi = matrix(2, 3, {1, 2, 3, 4, 5, 0});
    ky::ArrayHandle yi = matrix(2, 3, {0, 0, 0, 0, 0, 0});
    const ky::CallOutcome outcome = search(line.x.get(), line.y.get(), tri.get(), xi.get(), yi.get(), s.get());
    ASSERT_FALSE(outcome.error) << *outcome.error;
    EXPECT_EQ(outcome.result->m, 2);
    EXPECT_EQ(outcome.result->n, 3);
    EXPECT_EQ(answers(outcome), (std::vector<double>{2, 3, 4, 5, 6, 6}));
}

TEST(NearwalkWalk, AStartWithAnEmptyColumnIsEveryAnswer)
{
    const Line line({0, 1, 2});
    ky::ArrayHandle s = neighbourMatrix(3, {{1, 2}, {}, {0, 1}});
    EXPECT_EQ(answers(line.walk(2, {0, 2, 1}, s.get())), (std::vector<double>{2, 2, 2}));
}

TEST(NearwalkWalk, TheStartIsTheFirstCornerTruncatedTowardZero)
{
    const Line line({0, 1, 2});
    ky::ArrayHandle isolated = neighbourMatrix(3, {{}, {}, {}});
    EXPECT_EQ(answers(line.walk(2.7, {0}, isolated.get())), std::vector<double>{2});
    EXPECT_EQ(answers(line.walk(3.999, {0}, isolated.get())), std::vector<double>{3});
    // Values that name no data point, including those no 32-bit integer can
    // hold, are refused with the range error.
    for (const double corner : {0.0, 0.5, -0.5, -1.0, 4.0, -2147483649.0, 2147483648.0, 1e300, -1e300,
                                std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                std::nan("")})
        EXPECT_EQ(errorOf(line.walk(corner, {0}, isolated.get())), outOfRange) << corner;
}

TEST(NearwalkWalk, StoredRowIndicesAreCheckedWhenEvaluated)
{
    const Line line({0, 1, 2});
    ky::ArrayHandle lastPoint = neighbourMatrix(3, {{2}, {}, {}});
    EXPECT_EQ(answers(line.walk(1, {2}, lastPoint.get())), std::vector<double>{3});
    ky::ArrayHandle tooFar = neighbourMatrix(4, {{3}, {}, {}});
    EXPECT_EQ(errorOf(line.walk(1, {2}, tooFar.get())), outOfRange);
    ky::ArrayHandle negative = neighbourMatrix(3, {{1, -1}, {}, {}});
    EXPECT_EQ(errorOf(line.walk(1, {2}, negative.get())), outOfRange);
    // Rows nobody reaches are never looked at.
    ky::ArrayHandle unreached = neighbourMatrix(4, {{1}, {}, {3}});
    EXPECT_EQ(answers(line.walk(1, {0}, unreached.get())), std::vector<double>{1});
}

TEST(NearwalkWalk, AStartOnADataPointWithANaNCoordinateStaysThere)
{
    const double nan = std::nan("");
    const Line line({0, 1, 2, nan});
    ky::ArrayHandle s = neighbourMatrix(4, {{1, 3}, {0, 2, 3}, {1, 3}, {0, 1, 2}});
    EXPECT_EQ(answers(line.walk(4, {0}, s.get())), std::vector<double>{4});
}

}  // namespace
