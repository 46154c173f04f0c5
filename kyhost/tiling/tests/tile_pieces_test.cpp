// finishTile on small and degenerate tiles, and what it hands to the seams.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "cgal_triangulator.hpp"
#include "tiled_delaunay.hpp"

namespace {

const double inf = std::numeric_limits<double>::infinity();

tiling::TileResult finish(const tiling::Cell& cell, const std::vector<double>& x, const std::vector<double>& y)
{
    std::vector<std::int64_t> ids(x.size());
    std::iota(ids.begin(), ids.end(), 100);  // global ids differ from local ones
    return tiling::finishTile(cell, x.data(), y.data(), ids.data(), static_cast<std::int32_t>(x.size()),
                              &tiling::cgalTriangulate);
}

TEST(FinishTile, TilesWithoutTrianglesHandEveryPointToTheSeams)
{
    const tiling::Cell cell{-10, -10, 10, 10};
    EXPECT_TRUE(finish(cell, {}, {}).seamPoints.empty());
    for (const auto& [x, y] : {std::pair<std::vector<double>, std::vector<double>>{{1}, {2}},
                               {{1, 3}, {2, -4}},
                               {{0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}}}) {
        const tiling::TileResult r = finish(cell, x, y);
        EXPECT_TRUE(r.finalRows.empty());
        EXPECT_TRUE(r.boundaryEdges.empty());
        std::vector<std::int64_t> all(x.size());
        std::iota(all.begin(), all.end(), 100);
        EXPECT_EQ(r.seamPoints, all);
    }
}

TEST(FinishTile, HullPointsAndCornersOfOpenTrianglesFormTheSeamSet)
{
    // A 7 x 7 grid (cocircular unit squares) deep inside a large cell: only
    // triangles touching the hull stay open... and those whose disks reach
    // past the cell.
    std::vector<double> x, y;
    for (int i = 0; i < 7; ++i)
        for (int j = 0; j < 7; ++j) x.push_back(i), y.push_back(j);
    const tiling::TileResult r = finish({-1, -1, 100, 100}, x, y);
    // Every hull point is in U; the 5 x 5 interior points are not, except
    // those of squares whose circle crosses x = -1 or y = -1 (none: the
    // square [0,1]^2 has its circle reaching -0.207).
    EXPECT_EQ(r.seamPoints.size(), 24u);
    EXPECT_EQ(r.finalRows.size(), 3u * 72);  // every triangle is final
    EXPECT_EQ(r.boundaryEdges.size(), 2u * 24);  // the hull edges
    // Directed with the final triangle on their left: along the bottom
    // (y = 0) the edges run in +x.
    for (std::size_t k = 0; k < r.boundaryEdges.size(); k += 2) {
        const auto a = r.boundaryEdges[k] - 100, b = r.boundaryEdges[k + 1] - 100;
        if (y[static_cast<std::size_t>(a)] == 0 && y[static_cast<std::size_t>(b)] == 0) {
            EXPECT_LT(x[static_cast<std::size_t>(a)], x[static_cast<std::size_t>(b)]);
        }
    }
    // With the cell's low side on the grid's first column, the triangles
    // with a corner on that (closed) side are not final; the rest are.
    const tiling::TileResult tight = finish({0, -1, 6.70710678, 100}, x, y);
    for (std::size_t k = 0; k < tight.finalRows.size(); ++k)
        EXPECT_GE(x[static_cast<std::size_t>(tight.finalRows[k] - 100)], 1);  // squares at x in [0,1] touch x = 0
}

TEST(FinishTile, ACircleTouchingTheSideAtAPointOfTheNextTileStaysOpen)
{
    // The low tile's diamond half: its circle touches x = 20 at (20, 0),
    // where the next tile's point lies.
    const tiling::TileResult r = finish({-inf, -inf, 20, inf}, {18, 19, 19, 10, 10}, {0, 1, -1, 5, -5});
    for (std::size_t k = 0; k < r.finalRows.size(); k += 3) {
        std::vector<std::int64_t> row(r.finalRows.begin() + static_cast<std::ptrdiff_t>(k),
                                      r.finalRows.begin() + static_cast<std::ptrdiff_t>(k + 3));
        std::sort(row.begin(), row.end());
        EXPECT_NE(row, (std::vector<std::int64_t>{100, 101, 102}));
    }
}

TEST(FinishTile, BadRowsFromTheTriangulatorAreRefused)
{
    const tiling::TileTriangulator broken = [](const double*, const double*, std::int32_t) {
        sweeptri::threaded::SweepRows rows;
        rows.corners = {0, 1, 7};
        return rows;
    };
    const std::vector<double> x{0, 1, 0}, y{0, 0, 1};
    const std::vector<std::int64_t> ids{0, 1, 2};
    EXPECT_THROW(tiling::finishTile({-9, -9, 9, 9}, x.data(), y.data(), ids.data(), 3, broken), std::runtime_error);
    EXPECT_THROW(tiling::cgalTriangulate(std::vector<double>{1, 1}.data(), std::vector<double>{2, 2}.data(), 2),
                 std::invalid_argument);
}

}  // namespace
