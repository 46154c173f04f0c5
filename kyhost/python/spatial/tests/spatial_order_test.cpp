// The walk order of query points: a permutation of the finite ones that
// keeps neighbours together whatever their spread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

#include "spatial_order.hpp"

namespace {

using kyhost_spatial::rankHilbertOrder;

// The length of the path through the points in the given order.
double pathLength(const std::vector<double>& x, const std::vector<double>& y, const std::vector<std::int64_t>& order)
{
    double length = 0;
    for (std::size_t i = 1; i < order.size(); ++i)
        length += std::hypot(x[order[i]] - x[order[i - 1]], y[order[i]] - y[order[i - 1]]);
    return length;
}

TEST(SpatialOrder, HilbertCurveJoinsNeighbouringCells)
{
    std::vector<std::uint32_t> at(1u << 12);
    for (std::uint32_t x = 0; x < 64; ++x)
        for (std::uint32_t y = 0; y < 64; ++y) {
            // Cells of a 64 x 64 grid at the top-left corner of the curve's grid.
            const std::uint32_t d = kyhost_spatial::hilbertDistance(x << 10, y << 10) >> 20;
            at[d] = x * 64 + y;
        }
    for (std::size_t d = 1; d < at.size(); ++d) {
        const int dx = static_cast<int>(at[d] / 64) - static_cast<int>(at[d - 1] / 64);
        const int dy = static_cast<int>(at[d] % 64) - static_cast<int>(at[d - 1] % 64);
        EXPECT_EQ(std::abs(dx) + std::abs(dy), 1) << d;
    }
}

TEST(SpatialOrder, AnOutlierOrAHeavyTailKeepsNeighboursTogether)
{
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> unit(0, 1);
    std::lognormal_distribution<double> heavy(0, 5);
    const std::size_t n = 20000;
    for (const bool lognormal : {false, true}) {
        std::vector<double> x(n), y(n);
        for (std::size_t i = 0; i < n; ++i) {
            x[i] = lognormal ? heavy(random) : unit(random);
            y[i] = lognormal ? heavy(random) : unit(random);
        }
        if (!lognormal) x[17] = y[17] = 1e15;
        std::vector<std::int64_t> all(n);
        std::iota(all.begin(), all.end(), 0);
        const std::vector<std::int64_t> order = rankHilbertOrder(x.data(), y.data(), all);
        std::vector<std::int64_t> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, all);
        // In rank space the path is short: about sqrt(n) grid sides.
        std::vector<double> rx(n), ry(n);
        std::vector<std::int64_t> byX = all, byY = all;
        std::sort(byX.begin(), byX.end(), [&](auto a, auto b) { return x[a] < x[b]; });
        std::sort(byY.begin(), byY.end(), [&](auto a, auto b) { return y[a] < y[b]; });
        for (std::size_t r = 0; r < n; ++r) rx[byX[r]] = static_cast<double>(r) / n, ry[byY[r]] = static_cast<double>(r) / n;
        EXPECT_LT(pathLength(rx, ry, order), 3 * std::sqrt(static_cast<double>(n))) << (lognormal ? "lognormal" : "outlier");
    }
}

}  // namespace
