// Tiles and seams triangulated by the sweep itself, on several threads at
// once: the single sweep's triangles (or a Delaunay triangulation where they
// are not unique), rows independent of the number of threads, and the
// sweep's own rows when the tiles fall back.
#include <gtest/gtest.h>

#include <random>

#include "delaunay_checks.hpp"
#include "threaded_sweep.hpp"
#include "tiled_delaunay.hpp"

namespace {

using tiling::testing::canonical;
using tiling::testing::delaunayFault;

std::vector<std::int64_t> sweepRows(const std::vector<double>& x, const std::vector<double>& y)
{
    const auto rows = sweeptri::threaded::triangulate(x.data(), y.data(), static_cast<std::int32_t>(x.size())).corners;
    return {rows.begin(), rows.end()};
}

tiling::TiledResult tiled(const std::vector<double>& x, const std::vector<double>& y, int workers, std::int64_t tilePoints)
{
    return tiling::triangulateTiled(x.data(), y.data(), static_cast<std::int64_t>(x.size()), workers,
                                    &sweeptri::threaded::triangulate, tilePoints);
}

TEST(TiledSweep, UniformPointsOnFourThreads)
{
    std::mt19937_64 random(41);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<double> x(30000), y(30000);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = u(random), y[i] = u(random);
    const tiling::TiledResult four = tiled(x, y, 4, 2000);
    EXPECT_FALSE(four.fellBack);
    EXPECT_EQ(four.tileCount, 16);
    EXPECT_EQ(four.rows(), tiled(x, y, 1, 2000).rows());
    EXPECT_EQ(canonical(four.rows()), canonical(sweepRows(x, y)));
}

TEST(TiledSweep, GridsAreDelaunayAndCirclesFallBackToTheSweepsRows)
{
    std::vector<double> x, y;
    for (int i = 0; i < 80; ++i)
        for (int j = 0; j < 50; ++j) x.push_back(0.25 * i), y.push_back(0.5 * j);
    const tiling::TiledResult grid = tiled(x, y, 3, 500);
    EXPECT_FALSE(grid.fellBack);
    EXPECT_EQ(delaunayFault(x, y, grid.rows()), "");
    // Points on one circle (not exactly: the sweep's own certified answer
    // is the reference).
    std::vector<double> cx, cy;
    for (int k = 0; k < 400; ++k) cx.push_back(std::cos(k * 0.0157)), cy.push_back(std::sin(k * 0.0157));
    const tiling::TiledResult circle = tiled(cx, cy, 2, 20);
    EXPECT_TRUE(circle.fellBack);
    EXPECT_EQ(circle.rows(), sweepRows(cx, cy));
}

}  // namespace
