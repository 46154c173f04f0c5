// The grid's nearest point against the triangulation's search, which the
// other tests hold to exact brute force: random sets, ties on an integer
// grid, points on one line or at one place, a thin strip, queries far
// outside, magnitudes beyond the frame, several threads.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "grid_nearest.hpp"
#include "spatial_fixtures.hpp"

namespace {

using kyhost_spatial::GridNearest;
using spatial_test::indexed;
using spatial_test::Points;
using spatial_test::uniform;

void expectAsTheTriangulation(const Points& points, const Points& q, const std::string& name, int threads = 1)
{
    const auto n = static_cast<std::int32_t>(points.x.size());
    const GridNearest grid(points.x.data(), points.y.data(), n);
    const std::size_t count = q.x.size();
    std::vector<std::int64_t> index(count), expected(count);
    std::vector<double> distance(count), expectedDistance(count);
    grid.nearest(q.x.data(), q.y.data(), static_cast<std::int64_t>(count), threads, index.data(), distance.data());
    const auto set = indexed(points);
    set->index->search().nearest(q.x.data(), q.y.data(), static_cast<std::int64_t>(count), 1, expected.data(),
                                 expectedDistance.data(), nullptr);
    for (std::size_t i = 0; i < count; ++i) {
        if (index[i] == GridNearest::notInFrame) continue;
        ASSERT_EQ(index[i], expected[i]) << name << " query " << i << " at (" << q.x[i] << ", " << q.y[i] << ")";
        ASSERT_EQ(distance[i], expectedDistance[i]) << name << " query " << i;
    }
}

Points queriesAround(const Points& p, unsigned seed)
{
    double lowX = p.x[0], highX = p.x[0], lowY = p.y[0], highY = p.y[0];
    for (std::size_t i = 0; i < p.x.size(); ++i) {
        lowX = std::min(lowX, p.x[i]), highX = std::max(highX, p.x[i]);
        lowY = std::min(lowY, p.y[i]), highY = std::max(highY, p.y[i]);
    }
    const double span = std::max({highX - lowX, highY - lowY, 1.0});
    Points q{uniform(400, lowX - span, highX + span, seed), uniform(400, lowY - span, highY + span, seed + 1)};
    for (std::size_t i = 0; i < std::min<std::size_t>(40, p.x.size()); ++i) {
        q.x.push_back(p.x[i] + 0.5), q.y.push_back(p.y[i] + 0.5);  // ties on integer layouts
        q.x.push_back(p.x[i]), q.y.push_back(p.y[i]);
    }
    q.x.insert(q.x.end(), {1e12, -1e9, std::nan(""), 0.0});
    q.y.insert(q.y.end(), {-3e11, 5.0, 0.0, std::numeric_limits<double>::infinity()});
    return q;
}

TEST(GridNearest, AnswersAsTheTriangulationOnManyLayouts)
{
    Points random{uniform(3000, 0, 1, 11), uniform(3000, 0, 1, 12)};
    expectAsTheTriangulation(random, queriesAround(random, 13), "random");
    expectAsTheTriangulation(random, queriesAround(random, 14), "random, 2 threads", 2);
    Points grid;
    for (int k = 0; k < 425; ++k) {  // a 25 x 17 grid, numbered out of order
        const int m = (k * 7) % 425;
        grid.x.push_back(m % 25), grid.y.push_back(m / 25);
    }
    expectAsTheTriangulation(grid, queriesAround(grid, 15), "integer grid");
    Points line{uniform(300, 0, 1, 16), std::vector<double>(300, 0.25)};
    expectAsTheTriangulation(line, queriesAround(line, 17), "line");
    Points strip{uniform(2000, 0, 1e6, 18), uniform(2000, 0, 1e-6, 19)};
    expectAsTheTriangulation(strip, queriesAround(strip, 20), "thin strip");
    Points far{uniform(500, -1, 1, 21), uniform(500, -1, 1, 22)};
    far.x.push_back(1e15), far.y.push_back(-1e15);
    expectAsTheTriangulation(far, queriesAround(far, 23), "cluster and far point");
}

TEST(GridNearest, OnePlaceNoPointsAndMagnitudesBeyondTheFrame)
{
    const std::vector<double> same(4, 3.0);
    const GridNearest one(same.data(), same.data(), 4);
    std::int64_t index = 0;
    double distance = 0, qx = 3.0, qy = 4.0;
    one.nearest(&qx, &qy, 1, 1, &index, &distance);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(distance, 1.0);
    const GridNearest none(nullptr, nullptr, 0);
    none.nearest(&qx, &qy, 1, 1, &index, &distance);
    EXPECT_EQ(index, -1);
    const std::vector<double> wide{1e-300, 1e300, -1e300, 1.0};
    const GridNearest beyond(wide.data(), wide.data(), 4);
    beyond.nearest(&qx, &qy, 1, 1, &index, &distance);
    EXPECT_EQ(index, GridNearest::notInFrame);
    qx = 1e300;
    one.nearest(&qx, &qy, 1, 1, &index, &distance);
    EXPECT_EQ(index, GridNearest::notInFrame);
}

}  // namespace
