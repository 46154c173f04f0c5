// On sweeptri's triangulations of random point sets, every walk converges and
// stops at a true nearest data point, in both call forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "call_runner.hpp"
#include "sweeptri_triangles.hpp"
#include "host_functions.hpp"
#include "search_calls.hpp"

namespace {

using ky::testing::matrix;
using ky::testing::row;
using nearwalk::testing::answers;
using nearwalk::testing::nearestSquaredDistance;
using nearwalk::testing::search;

struct PointSet {
    std::vector<double> x, y;
};

PointSet uniformPoints(int n, std::uint64_t seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> coordinate(-50.0, 150.0);
    PointSet set;
    for (int k = 0; k < n; ++k) {
        set.x.push_back(coordinate(random));
        set.y.push_back(coordinate(random));
    }
    return set;
}

// Tight clusters of very different spread, far apart: long thin triangles
// between the clusters.
PointSet clusteredPoints(int n, std::uint64_t seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> centre(0.0, 1000.0);
    PointSet set;
    const int clusters = 7;
    for (int c = 0; c < clusters; ++c) {
        const double cx = centre(random), cy = centre(random);
        std::normal_distribution<double> spread(0.0, c % 2 == 0 ? 0.01 : 5.0);
        for (int k = c; k < n; k += clusters) {
            set.x.push_back(cx + spread(random));
            set.y.push_back(cy + spread(random));
        }
    }
    return set;
}

// Grid queries over a box a little larger than the data's, then random
// ones, then the data points themselves.
PointSet queriesFor(const PointSet& data, std::uint64_t seed)
{
    const auto [xmin, xmax] = std::minmax_element(data.x.begin(), data.x.end());
    const auto [ymin, ymax] = std::minmax_element(data.y.begin(), data.y.end());
    const double width = *xmax - *xmin, height = *ymax - *ymin;
    PointSet queries;
    const int side = 40;
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j) {
            queries.x.push_back(*xmin - 0.1 * width + 1.2 * width * i / (side - 1));
            queries.y.push_back(*ymin - 0.1 * height + 1.2 * height * j / (side - 1));
        }
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int k = 0; k < 1000; ++k) {
        queries.x.push_back(*xmin + width * u(random));
        queries.y.push_back(*ymin + height * u(random));
    }
    queries.x.insert(queries.x.end(), data.x.begin(), data.x.end());
    queries.y.insert(queries.y.end(), data.y.begin(), data.y.end());
    return queries;
}

// The host's "sparse" on the same pairs the plug-in would build.
ky::ArrayHandle neighboursByHost(const std::vector<double>& tri, std::int32_t n)
{
    const std::int32_t m = static_cast<std::int32_t>(tri.size() / 3);
    std::vector<double> rows, cols;
    const int rowColumns[6] = {0, 0, 1, 1, 2, 2}, colColumns[6] = {1, 2, 0, 2, 0, 1};
    for (int c = 0; c < 6; ++c)
        for (std::int32_t r = 0; r < m; ++r) {
            rows.push_back(tri[static_cast<std::size_t>(r + rowColumns[c] * m)]);
            cols.push_back(tri[static_cast<std::size_t>(r + colColumns[c] * m)]);
        }
    ky::ArrayHandle i = row(rows), j = row(cols), v = row({1}), nr = row({double(n)}), nc = row({double(n)});
    const kyArray* in[] = {i.get(), j.get(), v.get(), nr.get(), nc.get()};
    ky::CallOutcome outcome = ky::runCall(ky::findHostFunction("sparse"), 1, in);
    EXPECT_FALSE(outcome.error);
    return std::move(outcome.result);
}

void expectTrueNearestPoints(const PointSet& data, std::uint64_t seed)
{
    const std::vector<double> tri = nearwalk::testing::sweeptriTriangles(data.x, data.y);
    ASSERT_FALSE(tri.empty());
    const PointSet queries = queriesFor(data, seed);
    const std::int32_t m = static_cast<std::int32_t>(tri.size() / 3);
    ky::ArrayHandle x = row(data.x), y = row(data.y), t = matrix(m, 3, tri);
    ky::ArrayHandle xi = row(queries.x), yi = row(queries.y);

    const ky::CallOutcome built = search(x.get(), y.get(), t.get(), xi.get(), yi.get());
    EXPECT_TRUE(built.warnings.empty());
    const std::vector<double> found = answers(built);
    ASSERT_EQ(found.size(), queries.x.size());
    int wrong = 0;
    for (std::size_t q = 0; q < found.size(); ++q) {
        const double k = found[q] - 1;
        ASSERT_TRUE(k >= 0 && k < double(data.x.size()) && k == std::floor(k)) << found[q];
        const double dx = data.x[std::size_t(k)] - queries.x[q], dy = data.y[std::size_t(k)] - queries.y[q];
        if (dy * dy + dx * dx != nearestSquaredDistance(data.x, data.y, queries.x[q], queries.y[q])) ++wrong;
    }
    EXPECT_EQ(wrong, 0) << "of " << found.size() << " queries";

    const ky::ArrayHandle s = neighboursByHost(tri, static_cast<std::int32_t>(data.x.size()));
    EXPECT_EQ(answers(search(x.get(), y.get(), t.get(), xi.get(), yi.get(), s.get())), found);
}

TEST(NearwalkDelaunay, UniformRandomSetsGiveTrueNearestPoints)
{
    expectTrueNearestPoints(uniformPoints(3000, 11), 12);
    expectTrueNearestPoints(uniformPoints(17, 13), 14);
}

TEST(NearwalkDelaunay, ClusteredRandomSetsGiveTrueNearestPoints)
{
    expectTrueNearestPoints(clusteredPoints(3000, 21), 22);
}

}  // namespace
