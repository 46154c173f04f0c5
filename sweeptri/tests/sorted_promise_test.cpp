// "sorted" is a promise about the input's order: input that breaks it is
// refused, never swept into a wrong triangulation.
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "triangulation_checks.hpp"

namespace sweeptri::testing {
namespace {

const char* const notSorted = "Points are not sorted: with 'sorted', Y must ascend, and X within equal Y.";

TEST(SweeptriSortedPromise, ShuffledInputIsRefused)
{
    std::vector<double> x, y;
    randomPoints(5, 3000, x, y);
    const Triangulation result = triangulate(x, y, true);
    EXPECT_EQ(result.error, notSorted);
    EXPECT_TRUE(result.rows.empty());
    EXPECT_TRUE(result.warnings.empty());
    // The same points without "sorted" are fine.
    EXPECT_FALSE(triangulate(x, y).error);
}

TEST(SweeptriSortedPromise, OneStepOutOfOrderAnywhereIsRefused)
{
    EXPECT_EQ(triangulate({0, 1, 0}, {1, 0, 2}, true).error, notSorted);  // y falls at the start
    EXPECT_EQ(triangulate({0, 1, 0}, {0, 1, 0.5}, true).error, notSorted);  // y falls at the end
    EXPECT_EQ(triangulate({0, 2, 1}, {0, 0, 0}, true).error, notSorted);  // x falls within equal y
    EXPECT_EQ(triangulate({1, 0}, {-0.0, 0.0}, true).error, notSorted);   // -0.0 and 0.0 are equal y
    std::vector<double> x, y;
    randomPoints(6, 500, x, y);
    std::vector<int> order(x.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return y[a] < y[b]; });
    std::vector<double> sx, sy;
    for (int k : order) sx.push_back(x[k]), sy.push_back(y[k]);
    std::swap(sy[499], sy[498]);
    std::swap(sx[499], sx[498]);
    EXPECT_EQ(triangulate(sx, sy, true).error, notSorted);
}

TEST(SweeptriSortedPromise, InputInOrderPassesAndTiesCompareAsTheSortDoes)
{
    EXPECT_EQ(triangulate({0, 1, 0}, {0.0, -0.0, 1}, true).rows, (std::vector<Row>{{3, 2, 1}}));
    EXPECT_EQ(triangulate({-0.0, 0.0, 1, 0}, {0, 0.5, 0.5, 1}, true).error, std::nullopt);
    // Equal neighbours pass the order check: the repeat is what is reported.
    EXPECT_EQ(triangulate({0.0, -0.0, 1}, {0, 0, 1}, true).error, "x-y data must be unique");
}

TEST(SweeptriSortedPromise, TheOrderCheckComesAfterTheArgumentChecksAndBeforeTheRepeats)
{
    const double nan = std::nan("");
    EXPECT_EQ(triangulate({0, 1, 0}, {2, nan, 1}, true).error, "X and Y must contain only finite values.");
    // Out of order and with a repeat: the order is reported.
    EXPECT_EQ(triangulate({0, 0, 0}, {1, 0, 0}, true).error, notSorted);
}

}  // namespace
}  // namespace sweeptri::testing
