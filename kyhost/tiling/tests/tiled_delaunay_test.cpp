// The tiled triangulation against CGAL's on the families where tiles are
// hardest: seams through clusters and empty corridors, exact grids,
// cocircular groups across a split, points on a split, tiny tiles, extreme
// magnitudes side by side, and all points on one circle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <string>

#include "cgal_triangulator.hpp"
#include "delaunay_checks.hpp"
#include "tiled_delaunay.hpp"

namespace {

using tiling::testing::canonical;
using tiling::testing::delaunayFault;

struct Points {
    std::vector<double> x, y;
    void add(double px, double py) { x.push_back(px), y.push_back(py); }
    std::int64_t size() const { return static_cast<std::int64_t>(x.size()); }
};

// The pipeline step by step, with no fallback, so that every family runs
// through the seams however many seam points it has.
// shuffleSeed != 0: U is handed to the seams in a shuffled order.
// levelsPerRound > 0: the seams in rounds up the split tree instead of one.
std::vector<std::int64_t> tiledWithoutFallback(const Points& p, std::int64_t tilePoints, std::int64_t* seamCount = nullptr,
                                               std::uint64_t shuffleSeed = 0, int levelsPerRound = 0)
{
    const tiling::TilePlan plan = tiling::planTiles(p.x.data(), p.y.data(), p.size(), tilePoints);
    std::vector<std::vector<std::int64_t>> members(plan.cells.size());
    for (std::int64_t i = 0; i < p.size(); ++i)
        members[static_cast<std::size_t>(plan.tileOf(p.x[static_cast<std::size_t>(i)], p.y[static_cast<std::size_t>(i)]))].push_back(i);
    std::vector<std::int64_t> rows, boundary, uids;
    std::vector<double> ux, uy;
    std::vector<tiling::SeamPart> parts;
    for (std::size_t t = 0; t < members.size(); ++t) {
        std::vector<double> tx, ty;
        for (const std::int64_t i : members[t]) tx.push_back(p.x[static_cast<std::size_t>(i)]), ty.push_back(p.y[static_cast<std::size_t>(i)]);
        const tiling::TileResult r = tiling::finishTile(plan.cells[t], tx.data(), ty.data(), members[t].data(),
                                                        static_cast<std::int32_t>(tx.size()), &tiling::cgalTriangulate);
        rows.insert(rows.end(), r.finalRows.begin(), r.finalRows.end());
        tiling::SeamPart part;
        part.u.ids = r.seamPoints, part.boundaryEdges = r.boundaryEdges;
        for (const std::int64_t id : r.seamPoints) part.u.x.push_back(p.x[static_cast<std::size_t>(id)]), part.u.y.push_back(p.y[static_cast<std::size_t>(id)]);
        parts.push_back(std::move(part));
        boundary.insert(boundary.end(), r.boundaryEdges.begin(), r.boundaryEdges.end());
        for (const std::int64_t id : r.seamPoints) uids.push_back(id), ux.push_back(p.x[static_cast<std::size_t>(id)]), uy.push_back(p.y[static_cast<std::size_t>(id)]);
    }
    if (seamCount != nullptr) *seamCount = static_cast<std::int64_t>(uids.size());
    if (levelsPerRound > 0) {
        tiling::joinSeamsInRounds(
            plan, [&](std::int32_t t) { return std::move(parts[static_cast<std::size_t>(t)]); }, nullptr,
            [&](std::vector<std::int64_t>&& seams) { rows.insert(rows.end(), seams.begin(), seams.end()); }, &tiling::cgalTriangulate,
            levelsPerRound);
        return rows;
    }
    if (shuffleSeed != 0) {
        std::vector<std::size_t> order(uids.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::shuffle(order.begin(), order.end(), std::mt19937_64(shuffleSeed));
        std::vector<std::int64_t> sids;
        std::vector<double> sx, sy;
        for (const std::size_t k : order) sids.push_back(uids[k]), sx.push_back(ux[k]), sy.push_back(uy[k]);
        uids.swap(sids), ux.swap(sx), uy.swap(sy);
    }
    const std::vector<std::int64_t> seams =
        tiling::seamRows(ux.data(), uy.data(), uids.data(), static_cast<std::int64_t>(uids.size()), boundary, &tiling::cgalTriangulate);
    rows.insert(rows.end(), seams.begin(), seams.end());
    return rows;
}

std::vector<std::int64_t> cgalRows(const Points& p)
{
    const auto rows = tiling::cgalTriangulate(p.x.data(), p.y.data(), static_cast<std::int32_t>(p.size())).corners;
    return {rows.begin(), rows.end()};
}

// Unique Delaunay triangulations: the same triangles as CGAL's.
// Each with the seams in one round and in rounds of one and two levels.
void expectSameAsCgal(const Points& p, std::int64_t tilePoints)
{
    for (const int levels : {0, 1, 2}) {
        SCOPED_TRACE("levels per seam round " + std::to_string(levels));
        const std::vector<std::int64_t> rows = tiledWithoutFallback(p, tilePoints, nullptr, 0, levels);
        EXPECT_EQ(delaunayFault(p.x, p.y, rows), "");
        EXPECT_EQ(canonical(rows), canonical(cgalRows(p)));
    }
}

// Degenerate sets (many Delaunay triangulations): certified instead.
void expectDelaunay(const Points& p, std::int64_t tilePoints)
{
    for (const int levels : {0, 1, 2}) {
        SCOPED_TRACE("levels per seam round " + std::to_string(levels));
        const std::vector<std::int64_t> rows = tiledWithoutFallback(p, tilePoints, nullptr, 0, levels);
        EXPECT_EQ(delaunayFault(p.x, p.y, rows), "");
        EXPECT_EQ(rows.size(), cgalRows(p).size());
    }
}

Points uniform(int n, std::uint64_t seed, double scale = 1, double shift = 0)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> u(0, 1);
    Points p;
    for (int i = 0; i < n; ++i) p.add(shift + scale * u(random), shift + scale * u(random));
    return p;
}

TEST(TiledDelaunay, RandomPointsGiveCgalsTrianglesForAnyTileSize)
{
    const Points p = uniform(6000, 3);
    for (const std::int64_t tilePoints : {6000, 1500, 200, 40, 8}) {
        SCOPED_TRACE(tilePoints);
        expectSameAsCgal(p, tilePoints);
    }
}

// The seam rows depend on U's points, not on the order they are handed over in.
TEST(TiledDelaunay, SeamRowsDoNotDependOnTheOrderOfTheSeamSet)
{
    const Points p = uniform(20000, 11);
    const std::vector<std::int64_t> inOrder = tiledWithoutFallback(p, 700);
    EXPECT_EQ(tiledWithoutFallback(p, 700, nullptr, 5), inOrder);
    EXPECT_EQ(tiledWithoutFallback(p, 700, nullptr, 6), inOrder);
}

TEST(TiledDelaunay, ClustersWithEmptyCorridorsAlongTheSeams)
{
    // 4 x 4 dense clusters with wide empty corridors between them, where the
    // splits fall: the seams' triangles are long and span the corridors.
    std::mt19937_64 random(5);
    std::normal_distribution<double> g(0, 0.05);
    Points p;
    for (int c = 0; c < 16; ++c)
        for (int k = 0; k < 300; ++k) p.add((c % 4) + g(random), (c / 4) + g(random));
    std::int64_t seams = 0;
    const std::vector<std::int64_t> rows = tiledWithoutFallback(p, 300, &seams);
    EXPECT_EQ(delaunayFault(p.x, p.y, rows), "");
    EXPECT_EQ(canonical(rows), canonical(cgalRows(p)));
    EXPECT_LT(seams, p.size() / 2);
}

TEST(TiledDelaunay, ExactGridsAndPointsOnTheSplitLines)
{
    // Every unit square is cocircular and the medians fall on grid lines, so
    // whole columns of points lie on the splits.
    Points grid;
    for (int i = 0; i < 48; ++i)
        for (int j = 0; j < 36; ++j) grid.add(i, j);
    for (const std::int64_t tilePoints : {800, 100, 12}) {
        SCOPED_TRACE(tilePoints);
        expectDelaunay(grid, tilePoints);
    }
    // A scaled, shifted grid whose coordinates are not small integers.
    Points shifted;
    for (int i = 0; i < 30; ++i)
        for (int j = 0; j < 30; ++j) shifted.add(0.1 * i + 1e6, 0.1 * j - 3.3);
    expectDelaunay(shifted, 64);
}

TEST(TiledDelaunay, CocircularGroupsAcrossASplit)
{
    // Left and right halves mirror each other so that the first split is
    // x = 20 exactly. Along it: diamonds (18, y), (19, y +- 1), (20, y)
    // whose circle touches the split at the next tile's point (20, y), and
    // 12-point integer circles of radius 5 centred on the split.
    Points p;
    for (int y = 0; y < 200; y += 4) {
        p.add(18, y), p.add(19, y + 1), p.add(19, y - 1), p.add(20, y);
        p.add(22, y), p.add(21, y + 1), p.add(21, y - 1);
    }
    const int circle[12][2] = {{5, 0}, {-5, 0}, {0, 5}, {0, -5}, {3, 4}, {-3, 4}, {3, -4}, {-3, -4}, {4, 3}, {-4, 3}, {4, -3}, {-4, -3}};
    for (int c = 0; c < 8; ++c)
        for (const auto& q : circle) p.add(20 + q[0], 240 + 12 * c + q[1]);
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> u(0, 17);
    for (int k = 0; k < 400; ++k) {
        // Wider than tall, so that the first split is by x.
        const double px = 17 - 400 * u(random) / 17, py = 330 * u(random) / 17;
        p.add(px, py), p.add(40 - px, py);
    }
    const tiling::TilePlan plan = tiling::planTiles(p.x.data(), p.y.data(), p.size(), p.size() * 3 / 4);
    ASSERT_EQ(plan.cells.size(), 2u);
    ASSERT_TRUE(plan.splits[0].byX);
    ASSERT_EQ(plan.splits[0].at, 20.0);
    for (const std::int64_t tilePoints : {p.size() * 3 / 4, std::int64_t{100}, std::int64_t{20}}) {
        SCOPED_TRACE(tilePoints);
        expectDelaunay(p, tilePoints);
    }
}

TEST(TiledDelaunay, TinyTilesWithFewOrCollinearPoints)
{
    // Tiles of one, two or three points, many of them on lines.
    Points p = uniform(300, 13);
    for (int i = 0; i < 60; ++i) p.add(0.5 + i * 0.001, 0.25), p.add(0.75, 0.1 + i * 0.01);
    for (const std::int64_t tilePoints : {1, 2, 3, 5}) {
        SCOPED_TRACE(tilePoints);
        expectDelaunay(p, tilePoints);
    }
}

TEST(TiledDelaunay, TinyBesideHugeCoordinatesAcrossASeam)
{
    Points p = uniform(400, 17, 1e-300);
    const Points big = uniform(400, 19, 1e300, 1e300);
    const Points mid = uniform(400, 23, 1, -2);
    for (const Points* q : {&big, &mid})
        for (std::size_t i = 0; i < q->x.size(); ++i) p.add(q->x[i], q->y[i]);
    for (const std::int64_t tilePoints : {300, 50}) {
        SCOPED_TRACE(tilePoints);
        expectSameAsCgal(p, tilePoints);
    }
}

TEST(TiledDelaunay, ThreadsGiveTheSameRowsAndFallBackOnACircle)
{
    const Points p = uniform(20000, 29);
    const auto one = tiling::triangulateTiled(p.x.data(), p.y.data(), p.size(), 1, &tiling::cgalTriangulate, 1000);
    EXPECT_FALSE(one.fellBack);
    EXPECT_EQ(one.tileCount, 32);
    EXPECT_GT(one.seamPointCount, 0);
    EXPECT_LT(one.seamPointCount, p.size() / 4);
    EXPECT_EQ(one.rows(), tiledWithoutFallback(p, 1000));
    EXPECT_EQ(canonical(one.rows()), canonical(cgalRows(p)));
    for (const int workers : {2, 4, -1}) {
        const auto other = tiling::triangulateTiled(p.x.data(), p.y.data(), p.size(), workers, &tiling::cgalTriangulate, 1000);
        EXPECT_EQ(other.rows(), one.rows()) << workers;
    }
    // All 180 integer points of the circle of radius 5525: no triangle can
    // finish in a tile, so one sweep triangulates them.
    Points circle;
    const long r = 5525;
    for (long a = -r; a <= r; ++a) {
        const long b2 = r * r - a * a;
        const long b = std::lround(std::sqrt(static_cast<double>(b2)));
        if (b * b != b2) continue;
        circle.add(static_cast<double>(a), static_cast<double>(b));
        if (b != 0) circle.add(static_cast<double>(a), static_cast<double>(-b));
    }
    ASSERT_EQ(circle.size(), 180);
    const auto round = tiling::triangulateTiled(circle.x.data(), circle.y.data(), circle.size(), 2, &tiling::cgalTriangulate, 16);
    EXPECT_TRUE(round.fellBack);
    EXPECT_EQ(round.seamPointCount, 180);
    EXPECT_EQ(delaunayFault(circle.x, circle.y, round.rows()), "");
    // Repeated points reach the triangulator's own refusal; bad workers are refused.
    Points twice = uniform(500, 31);
    twice.add(twice.x[7], twice.y[7]);
    EXPECT_THROW(tiling::triangulateTiled(twice.x.data(), twice.y.data(), twice.size(), 2, &tiling::cgalTriangulate, 50),
                 std::invalid_argument);
    EXPECT_THROW(tiling::triangulateTiled(p.x.data(), p.y.data(), p.size(), 0, &tiling::cgalTriangulate), std::invalid_argument);
}

}  // namespace
