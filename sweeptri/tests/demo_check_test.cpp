// The demo's exact check of a triangulation catches the faults it claims
// to catch, and passes what sweeptri returns.
#include <gtest/gtest.h>

#include "demo_points.hpp"
#include "demo_triangulation.hpp"
#include "plugin_testing.hpp"

namespace ky {
namespace {

DemoPoints gridPoints(const std::vector<std::pair<std::int64_t, std::int64_t>>& grid)
{
    DemoPoints points;
    for (auto [gx, gy] : grid) {
        points.gridX.push_back(gx);
        points.gridY.push_back(gy);
        points.x.push_back(static_cast<double>(gx) / static_cast<double>(demoGridSize));
        points.y.push_back(static_cast<double>(gy) / static_cast<double>(demoGridSize));
    }
    return points;
}

TEST(DemoCheck, FindsWrongCountOrientationAndNonDelaunayEdges)
{
    // A kite: the short diagonal 0-2 is the Delaunay edge, 1-3 is not.
    const DemoPoints kite = gridPoints({{0, 10}, {10, 0}, {20, 10}, {10, 100}});
    EXPECT_TRUE(checkTriangulation(kite, {{0, 2, 1}, {0, 3, 2}}).faults.empty());
    EXPECT_EQ(checkTriangulation(kite, {{1, 0, 3}, {1, 3, 2}}).nonDelaunayEdges, 1u);  // the one inner edge
    EXPECT_EQ(checkTriangulation(kite, {{0, 1, 2}, {0, 3, 2}}).counterClockwiseRows, 1u);
    EXPECT_FALSE(checkTriangulation(kite, {{0, 2, 1}}).faults.empty());
    // A point on a hull edge counts as a hull point: 2n - 2 - h = 1.
    const DemoPoints onEdge = gridPoints({{0, 0}, {10, 0}, {20, 0}, {10, 10}});
    EXPECT_EQ(checkTriangulation(onEdge, {{3, 1, 0}, {3, 2, 1}}).expectedRows, 2u);
}

TEST(DemoCheck, SweeptriResultPasses)
{
    const DemoPoints points = randomDemoPoints(5000, 3);
    const auto pluginPath = std::filesystem::path(KY_TEST_PLUGIN_DIR);
    const TriangulationRun run = runSweeptri(pluginPath, points);
    ASSERT_FALSE(run.error);
    EXPECT_TRUE(checkTriangulation(points, run.triangles).faults.empty());
}

}  // namespace
}  // namespace ky
