// The k-d plan: cells cover the plane, every point falls in the half-open
// cell of its tile, points on a split go high, tiles hold about tilePoints.
#include <gtest/gtest.h>

#include <random>

#include "tiled_delaunay.hpp"

namespace {

void expectInOwnCell(const tiling::TilePlan& plan, const std::vector<double>& x, const std::vector<double>& y)
{
    for (std::size_t i = 0; i < x.size(); ++i) {
        const tiling::Cell& c = plan.cells.at(static_cast<std::size_t>(plan.tileOf(x[i], y[i])));
        EXPECT_TRUE(c.xmin <= x[i] && x[i] < c.xmax && c.ymin <= y[i] && y[i] < c.ymax) << "point " << i;
    }
}

TEST(TilePlan, RandomPointsFillBalancedTilesAndStayInTheirCells)
{
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> u(-3, 7);
    std::vector<double> x(10000), y(10000);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = u(random), y[i] = u(random);
    const tiling::TilePlan plan = tiling::planTiles(x.data(), y.data(), 10000, 700);
    ASSERT_EQ(plan.cells.size(), 16u);
    std::vector<int> count(plan.cells.size());
    for (std::size_t i = 0; i < x.size(); ++i) ++count[static_cast<std::size_t>(plan.tileOf(x[i], y[i]))];
    for (const int c : count) EXPECT_NEAR(c, 625, 2);
    expectInOwnCell(plan, x, y);
}

TEST(TilePlan, PointsOnASplitGoHighAndEqualCoordinatesShareACell)
{
    // A grid with many equal coordinates: the medians fall on grid lines.
    std::vector<double> x, y;
    for (int i = 0; i < 40; ++i)
        for (int j = 0; j < 30; ++j) x.push_back(i), y.push_back(j);
    const tiling::TilePlan plan = tiling::planTiles(x.data(), y.data(), static_cast<std::int64_t>(x.size()), 300);
    ASSERT_FALSE(plan.splits.empty());
    EXPECT_TRUE(plan.splits[0].byX);
    EXPECT_EQ(plan.splits[0].at, 20.0);
    EXPECT_NE(plan.tileOf(20, 0), plan.tileOf(19, 0));
    EXPECT_EQ(plan.cells[static_cast<std::size_t>(plan.tileOf(20, 0))].xmin, 20.0);
    expectInOwnCell(plan, x, y);
}

TEST(TilePlan, FewOrDegeneratePointsGiveOneTileOrValidSplits)
{
    const double inf = std::numeric_limits<double>::infinity();
    const tiling::TilePlan none = tiling::planTiles(nullptr, nullptr, 0, 1);
    ASSERT_EQ(none.cells.size(), 1u);
    EXPECT_EQ(none.cells[0].xmin, -inf);
    EXPECT_EQ(none.tileOf(5, 5), 0);
    // All on one vertical line: split by y only.
    std::vector<double> x(100, 2.5), y(100);
    for (int i = 0; i < 100; ++i) y[static_cast<std::size_t>(i)] = i;
    const tiling::TilePlan line = tiling::planTiles(x.data(), y.data(), 100, 10);
    EXPECT_GE(line.cells.size(), 8u);
    for (const auto& s : line.splits) EXPECT_FALSE(s.byX);
    expectInOwnCell(line, x, y);
    // Extreme magnitudes do not overflow the spread comparison.
    std::vector<double> ex{-1e308, 1e308, 0, 1e-300, -1e-300, 5e307}, ey{0, 1, -1e308, 1e308, 0, 0};
    const tiling::TilePlan extreme = tiling::planTiles(ex.data(), ey.data(), 6, 1);
    expectInOwnCell(extreme, ex, ey);
    EXPECT_THROW(tiling::planTiles(ex.data(), ey.data(), 6, 0), std::invalid_argument);
}

}  // namespace
