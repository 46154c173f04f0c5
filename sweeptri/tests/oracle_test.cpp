// sweeptri against an independent triangulator: for points in general
// position the triangles must be CGAL's Delaunay triangles, every row must
// run clockwise, and there must be 2n - 2 - h rows.
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "triangulation_checks.hpp"

namespace sweeptri::testing {
namespace {

void expectDelaunay(const std::vector<double>& x, const std::vector<double>& y, bool sorted = false)
{
    const Triangulation result = triangulate(x, y, sorted);
    ASSERT_FALSE(result.error) << *result.error;
    EXPECT_TRUE(result.warnings.empty());
    const int n = static_cast<int>(x.size());
    EXPECT_EQ(static_cast<int>(result.rows.size()), 2 * n - 2 - hullCorners(x, y));
    EXPECT_TRUE(allClockwise(result.rows, x, y));
    EXPECT_EQ(canonicalSet(result.rows), cgalDelaunay(x, y));
}

#ifdef SWEEPTRI_SMALL_ORACLE
const int sizes[] = {3, 10, 100, 1000, 5000};
#else
const int sizes[] = {3, 10, 100, 1000, 10000, 100000};
#endif

TEST(SweeptriOracle, UniformRandomSets)
{
    std::vector<double> x, y;
    unsigned seed = 1;
    for (int n : sizes) {
        randomPoints(seed++, n, x, y);
        expectDelaunay(x, y);
    }
}

TEST(SweeptriOracle, ClusteredSetsAndScaledCoordinates)
{
    std::mt19937_64 random(99);
    std::normal_distribution<double> spread(0.0, 0.01);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (double scale : {1.0, 1e-150, 1e150}) {
        std::vector<double> x, y;
        for (int cluster = 0; cluster < 20; ++cluster) {
            const double cx = unit(random), cy = unit(random);
            for (int i = 0; i < 150; ++i) {
                x.push_back((cx + spread(random)) * scale);
                y.push_back((cy + spread(random)) * scale);
            }
        }
        expectDelaunay(x, y);
    }
}

TEST(SweeptriOracle, SortedOptionGivesTheSameTrianglesForSortedInput)
{
    std::vector<double> x, y;
    randomPoints(42, 3000, x, y);
    const auto unsortedRows = triangulate(x, y).rows;
    std::vector<int> order(x.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return y[a] < y[b] || (y[a] == y[b] && x[a] < x[b]); });
    std::vector<double> sx, sy;
    for (int k : order) {
        sx.push_back(x[k]);
        sy.push_back(y[k]);
    }
    const auto sortedRows = triangulate(sx, sy, true).rows;
    ASSERT_EQ(sortedRows.size(), unsortedRows.size());
    // Same rows in the same order, renumbered through the permutation.
    for (std::size_t r = 0; r < sortedRows.size(); ++r)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(order[sortedRows[r][c] - 1] + 1, unsortedRows[r][c]);
    expectDelaunay(sx, sy, true);
}

TEST(SweeptriOracle, ManyRowsAreTrimmedIntoPlace)
{
    // Far more than two thirds of the capacity is used, so both column
    // moves overlap their source.
    std::vector<double> x, y;
    randomPoints(5, 4000, x, y);
    const Triangulation result = triangulate(x, y);
    ASSERT_GT(result.rows.size() * 3, (2 * x.size() + 100) * 2);
    EXPECT_EQ(canonicalSet(result.rows), cgalDelaunay(x, y));
}

}  // namespace
}  // namespace sweeptri::testing
