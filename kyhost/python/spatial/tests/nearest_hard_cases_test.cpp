// The searches where rounding, range, size or distance make them hard: many
// points tied within rounding, the block size that bounds memory, the hull
// vertex that starts far queries, and the norms p = 1 and inf, against
// brute force.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <string>

#include "hull_directions.hpp"
#include "spatial_fixtures.hpp"

namespace {

using kyhost_spatial::HullDirections;
using kyhost_spatial::NearestSearch;
using spatial_test::indexed;
using spatial_test::Points;

constexpr double inf = std::numeric_limits<double>::infinity();

struct Rows {
    std::vector<double> distance;
    std::vector<std::int64_t> index;
};

Rows kNearestOf(const NearestSearch& search, const Points& q, int k, double p = 2, double bound = inf)
{
    Rows r{std::vector<double>(q.x.size() * k), std::vector<std::int64_t>(q.x.size() * k)};
    search.kNearestInNorm(q.x.data(), q.y.data(), static_cast<std::int64_t>(q.x.size()), k, p, bound, 2,
                          r.distance.data(), r.index.data());
    return r;
}

// The norm of the difference as cKDTree computes it, and what it orders
// points by (for p = 2 the squared norm: two of them may round to one root).
double orderedNorm(const Points& s, std::size_t i, double qx, double qy, double p)
{
    const double dx = std::fabs(s.x[i] - qx), dy = std::fabs(s.y[i] - qy);
    if (p == 1) return dx + dy;
    if (p == inf) return std::fmax(dx, dy);
    return dx * dx + dy * dy;
}

double computedNorm(const Points& s, std::size_t i, double qx, double qy, double p)
{
    const double d = orderedNorm(s, i, qx, qy, p);
    return p == 2 ? std::sqrt(d) : d;
}

// Each row holds the k smallest computed norms below the bound, ascending,
// the points reported at their own norms, lowest numbers first among equal
// norms (squared norms for p = 2) unless exact distances chose them.
void expectSmallestComputed(const Points& s, const Points& q, int k, double p, double bound, const Rows& r,
                            bool lowestAmongEquals)
{
    for (std::size_t i = 0; i < q.x.size(); ++i) {
        std::vector<std::pair<double, std::int64_t>> all;
        for (std::size_t j = 0; j < s.x.size(); ++j) {
            if (computedNorm(s, j, q.x[i], q.y[i], p) < bound)
                all.emplace_back(orderedNorm(s, j, q.x[i], q.y[i], p), static_cast<std::int64_t>(j));
        }
        std::sort(all.begin(), all.end());
        for (int j = 0; j < k; ++j) {
            const std::size_t at = i * k + j;
            SCOPED_TRACE("query " + std::to_string(i) + " rank " + std::to_string(j));
            if (j >= static_cast<int>(all.size())) {
                EXPECT_EQ(r.index[at], static_cast<std::int64_t>(s.x.size()));
                EXPECT_EQ(r.distance[at], inf);
                continue;
            }
            EXPECT_EQ(r.distance[at], p == 2 ? std::sqrt(all[j].first) : all[j].first);
            ASSERT_LT(r.index[at], static_cast<std::int64_t>(s.x.size()));
            EXPECT_EQ(computedNorm(s, r.index[at], q.x[i], q.y[i], p), r.distance[at]);
            if (lowestAmongEquals) {
                EXPECT_EQ(r.index[at], all[j].second);
            }
        }
    }
}

TEST(QueryBatches, MemoryFollowsTheQueriesInFlight)
{
    using kyhost_spatial::queriesPerBlock;
    EXPECT_EQ(queriesPerBlock(1, 1'000'000), 2048);
    EXPECT_EQ(queriesPerBlock(1, 5), 5);
    EXPECT_EQ(queriesPerBlock(1, 0), 1);
    EXPECT_EQ(queriesPerBlock(100, 1'000'000), 655);
    EXPECT_EQ(queriesPerBlock(100'000, 1'000'000), 1);
    EXPECT_EQ(queriesPerBlock(0, 7), 7);
    // A block's answers (16 bytes each) stay within a megabyte, or one query.
    for (std::size_t width : {1, 3, 20, 1000, 65536, 65537, 1'000'000})
        EXPECT_LE(static_cast<std::size_t>(queriesPerBlock(width, 1 << 20)) * width * 16, std::max<std::size_t>(1 << 20, width * 16));
}

// 199 points on a circle and its centre: queried at the centre, the circle's
// computed distances all lie within rounding of each other, more than any
// fixed budget of the band search.
TEST(NearestSearch, CrowdedCirclesGiveTheSmallestComputedDistances)
{
    for (const int n : {199, 2000}) {
        Points circle;
        for (int i = 0; i < n; ++i) {
            circle.x.push_back(std::cos(2 * std::numbers::pi * i / n));
            circle.y.push_back(std::sin(2 * std::numbers::pi * i / n));
        }
        circle.x.push_back(0), circle.y.push_back(0);
        const auto set = indexed(circle);
        const Points centre{{0, 1e-17, -3e-16}, {0, 2e-17, 1e-16}};
        for (const int k : {1, 2, 6, 64, 300})
            expectSmallestComputed(circle, centre, k, 2, inf, kNearestOf(set->index->search(), centre, k), true);
    }
}

// One coordinate of 1e-300 takes the set out of the frame: exact distances
// choose, the distances reported stay computed as cKDTree computes them.
TEST(NearestSearch, ExactChoicesReportComputedDistances)
{
    Points s{spatial_test::uniform(500, 0, 1, 31), spatial_test::uniform(500, 0, 1, 32)};
    s.x.push_back(1e-300), s.y.push_back(0.5);
    const auto set = indexed(s);
    const Points q{spatial_test::uniform(300, 0, 1, 33), spatial_test::uniform(300, 0, 1, 34)};
    expectSmallestComputed(s, q, 3, 2, inf, kNearestOf(set->index->search(), q, 3), false);
}

TEST(HullDirections, ExtremeVertexIsTheLargestProjection)
{
    std::mt19937 random(41);
    std::normal_distribution<double> normal;
    for (const int n : {1, 2, 3, 50, 5000}) {
        Points s{spatial_test::uniform(n, -1, 1, 42 + n), spatial_test::uniform(n, 2, 3, 43 + n)};
        const HullDirections hull(s.x.data(), s.y.data(), n);
        const auto& v = hull.vertices();
        ASSERT_FALSE(v.empty());
        for (std::size_t i = 0; n >= 3 && i < v.size(); ++i) {  // counter-clockwise, strictly convex
            const std::size_t j = (i + 1) % v.size(), l = (i + 2) % v.size();
            EXPECT_GT((s.x[v[j]] - s.x[v[i]]) * (s.y[v[l]] - s.y[v[i]]) -
                          (s.y[v[j]] - s.y[v[i]]) * (s.x[v[l]] - s.x[v[i]]), 0);
        }
        for (int t = 0; t < 2000; ++t) {
            const double dx = normal(random), dy = normal(random);
            double best = -inf;
            for (int i = 0; i < n; ++i) best = std::max(best, s.x[i] * dx + s.y[i] * dy);
            const std::int32_t e = hull.extremeVertex(dx, dy);
            EXPECT_GE(s.x[e] * dx + s.y[e] * dy, best - 1e-12) << "n " << n << " direction " << dx << ", " << dy;
        }
    }
    // Points on one line, and at the largest magnitudes.
    const Points line{{0, 1, 2, 3}, {0, 2, 4, 6}};
    EXPECT_EQ(HullDirections(line.x.data(), line.y.data(), 4).extremeVertex(1, 0), 3);
    EXPECT_EQ(HullDirections(line.x.data(), line.y.data(), 4).extremeVertex(-1, 0), 0);
    const Points huge{{-1.7e308, 1.7e308, 0}, {-1.7e308, -1.7e308, 1.7e308}};
    EXPECT_EQ(HullDirections(huge.x.data(), huge.y.data(), 3).extremeVertex(0, 1), 2);
}

// Far outside (1e16 and 1e300 away from the unit square), answers are the
// exact nearest points: they start from the hull and are told apart by the
// difference form of the distances.
TEST(NearestSearch, QueriesFarOutsideInAnyDirection)
{
    const Points s{spatial_test::uniform(3000, 0, 1, 51), spatial_test::uniform(3000, 0, 1, 52)};
    const auto set = indexed(s);
    Points far;
    for (const double r : {1e16, 3e100, 1e300})
        for (int i = 0; i < 24; ++i) {
            far.x.push_back(r * std::cos(i * 0.2618) + 0.3), far.y.push_back(r * std::sin(i * 0.2618) - 0.1);
        }
    std::vector<std::int64_t> index(far.x.size());
    std::vector<double> distance(far.x.size());
    set->index->search().nearest(far.x.data(), far.y.data(), static_cast<std::int64_t>(far.x.size()), 1,
                                 index.data(), distance.data(), nullptr);
    for (std::size_t i = 0; i < far.x.size(); ++i) {
        mpq_class best = -1;
        for (std::size_t j = 0; j < s.x.size(); ++j) {
            const mpq_class d = spatial_test::exactSquaredDistance(s.x[j], s.y[j], far.x[i], far.y[i]);
            if (best < 0 || d < best) best = d;
        }
        EXPECT_EQ(spatial_test::exactSquaredDistance(s.x[index[i]], s.y[index[i]], far.x[i], far.y[i]), best)
            << "query " << i;
    }
}

TEST(NearestSearch, NormsOneAndInfinityAgreeWithBruteForce)
{
    const Points s{spatial_test::uniform(1500, 0, 1, 61), spatial_test::uniform(1500, 0, 1, 62)};
    const auto set = indexed(s);
    const Points q{spatial_test::uniform(200, -0.3, 1.3, 63), spatial_test::uniform(200, -0.3, 1.3, 64)};
    Points line{spatial_test::uniform(80, 0, 1, 65), {}};
    for (const double x : line.x) line.y.push_back(2 * x - 1);
    const auto onLine = indexed(line);
    Points wide;
    for (int i = 0; i < 200; ++i) {
        const double scale = std::ldexp(1.0, (i * 37) % 1900 - 950);
        wide.x.push_back(scale * (1 + (i % 7) * 0.1)), wide.y.push_back(scale * (1 - (i % 5) * 0.13));
    }
    const auto atAnyMagnitude = indexed(wide);
    for (const double p : {1.0, inf})
        for (const int k : {1, 4, 15})
            for (const double bound : {inf, 0.05}) {
                SCOPED_TRACE("p " + std::to_string(p) + " k " + std::to_string(k) + " bound " + std::to_string(bound));
                expectSmallestComputed(s, q, k, p, bound, kNearestOf(set->index->search(), q, k, p, bound), true);
                expectSmallestComputed(line, q, k, p, bound, kNearestOf(onLine->index->search(), q, k, p, bound), true);
                expectSmallestComputed(wide, q, k, p, bound, kNearestOf(atAnyMagnitude->index->search(), q, k, p, bound),
                                       true);
            }
}

}  // namespace
