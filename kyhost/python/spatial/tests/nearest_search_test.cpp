// Nearest and k nearest points against exact brute force: ordinary random
// sets, ties on grids, magnitudes from 1e-300 to 1e300 mixed in one set,
// points on one line, merged repeats, and several threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <string>

#include "spatial_fixtures.hpp"

namespace {

using kyhost_spatial::NearestSearch;
using spatial_test::exactSquaredDistance;
using spatial_test::indexed;
using spatial_test::Points;

struct Answers {
    std::vector<std::int64_t> index;
    std::vector<double> distance;
    std::vector<std::uint8_t> tied;
};

Answers nearestOf(const NearestSearch& search, const Points& q, int threads = 1)
{
    const std::size_t count = q.x.size();
    Answers a{std::vector<std::int64_t>(count), std::vector<double>(count), std::vector<std::uint8_t>(count)};
    search.nearest(q.x.data(), q.y.data(), static_cast<std::int64_t>(count), threads, a.index.data(),
                   a.distance.data(), a.tied.data());
    return a;
}

// The smallest exact squared distance from the query to the points, and the
// points at it.
std::pair<mpq_class, std::vector<std::int64_t>> exactNearest(const Points& p, double qx, double qy)
{
    mpq_class best = -1;
    std::vector<std::int64_t> at;
    for (std::size_t i = 0; i < p.x.size(); ++i) {
        const mpq_class d = exactSquaredDistance(p.x[i], p.y[i], qx, qy);
        if (best < 0 || d < best) {
            best = d;
            at.assign(1, static_cast<std::int64_t>(i));
        } else if (d == best) {
            at.push_back(static_cast<std::int64_t>(i));
        }
    }
    return {best, at};
}

// Every answer is a point at the exact smallest distance.
void expectExactlyNearest(const Points& p, const Points& q, const Answers& a)
{
    for (std::size_t i = 0; i < q.x.size(); ++i) {
        const auto [best, at] = exactNearest(p, q.x[i], q.y[i]);
        ASSERT_GE(a.index[i], 0) << "query " << i;
        EXPECT_EQ(exactSquaredDistance(p.x[a.index[i]], p.y[a.index[i]], q.x[i], q.y[i]), best)
            << "query " << i << " (" << q.x[i] << ", " << q.y[i] << ") answered " << a.index[i] << ", nearest "
            << at.front();
    }
}

void expectKNearest(const Points& p, const std::vector<std::int64_t>* merged, const Points& q, int k, double bound,
                    const NearestSearch& search, std::int64_t given);

Points randomPoints(std::size_t n, double low, double high, unsigned seed)
{
    return {spatial_test::uniform(n, low, high, seed), spatial_test::uniform(n, low, high, seed + 1)};
}

TEST(NearestSearch, RandomSetsGiveTheSmallestComputedDistanceAndTheLowestNumberAmongTies)
{
    const auto set = indexed(randomPoints(3000, 0, 1, 1));
    const Points q = randomPoints(4000, -0.2, 1.2, 3);
    const Answers a = nearestOf(set->index->search(), q);
    for (std::size_t i = 0; i < q.x.size(); ++i) {
        double best = std::numeric_limits<double>::infinity();
        std::int64_t first = -1;
        for (std::size_t k = 0; k < set->points.x.size(); ++k) {
            const double dx = set->points.x[k] - q.x[i], dy = set->points.y[k] - q.y[i];
            const double d = dy * dy + dx * dx;
            if (d < best) best = d, first = static_cast<std::int64_t>(k);
        }
        EXPECT_EQ(a.index[i], first) << "query " << i;
        EXPECT_EQ(a.distance[i], std::sqrt(best));
        EXPECT_EQ(a.tied[i], 0);
    }
}

TEST(NearestSearch, GridTiesAreReportedAndAnsweredByTheLowestNumber)
{
    Points grid;
    for (int i = 0; i < 30; ++i)
        for (int j = 0; j < 30; ++j) grid.x.push_back(j), grid.y.push_back(i);
    const auto set = indexed(grid);
    Points q;
    for (double qx = -1; qx <= 30; qx += 0.5)
        for (double qy = -1; qy <= 30; qy += 0.5) q.x.push_back(qx), q.y.push_back(qy);
    const Answers a = nearestOf(set->index->search(), q);
    for (std::size_t i = 0; i < q.x.size(); ++i) {
        // Halves and integers: every squared distance is exact in double.
        std::vector<std::int64_t> at;
        double best = std::numeric_limits<double>::infinity();
        for (std::size_t k = 0; k < grid.x.size(); ++k) {
            const double d = (grid.x[k] - q.x[i]) * (grid.x[k] - q.x[i]) + (grid.y[k] - q.y[i]) * (grid.y[k] - q.y[i]);
            if (d < best) best = d, at.assign(1, static_cast<std::int64_t>(k));
            else if (d == best) at.push_back(static_cast<std::int64_t>(k));
        }
        EXPECT_EQ(a.index[i], at.front()) << q.x[i] << ", " << q.y[i];
        EXPECT_EQ(a.tied[i], at.size() > 1 ? 1 : 0) << q.x[i] << ", " << q.y[i];
    }
}

// The sets that made the greedy walk stop short at extreme magnitudes: one
// scale for the whole call cannot keep both the smallest and the largest
// differences in range.
TEST(NearestSearch, MagnitudesFrom1eMinus300To1e300AreExact)
{
    std::vector<std::pair<Points, Points>> cases;
    cases.push_back({{{1e-300, 1e300, 0, 1e300}, {0, 0, 1e300, 1e300}}, {{1e300, 0.9e300, 0}, {1e300, 0, 0.9e300}}});
    Points square{{0, 1e-10, 0, 1e-10, 1e300}, {0, 0, 1e-10, 1e-10, -1e300}};
    cases.push_back({square, {{0.2e-10, 0.9e-10}, {0.7e-10, 0.1e-10}}});
    cases.push_back({{{0, 1e-10, 0, 1e-10}, {0, 0, 1e-10, 1e-10}}, {{0.2e-10, 0.9e-10, 0.6e-10, 1e300}, {0.7e-10, 0.1e-10, 0.45e-10, 0}}});
    Points halves = randomPoints(150, 0, 1e-300, 11), large = randomPoints(150, 0, 1e300, 12);
    halves.x.insert(halves.x.end(), large.x.begin(), large.x.end());
    halves.y.insert(halves.y.end(), large.y.begin(), large.y.end());
    Points mixedQueries = randomPoints(100, 0, 1e-300, 13), largeQueries = randomPoints(100, 0, 1e300, 14);
    mixedQueries.x.insert(mixedQueries.x.end(), largeQueries.x.begin(), largeQueries.x.end());
    mixedQueries.y.insert(mixedQueries.y.end(), largeQueries.y.begin(), largeQueries.y.end());
    cases.push_back({halves, mixedQueries});
    Points lattice;
    for (int i = 0; i < 12; ++i)
        for (int j = 0; j < 12; ++j) lattice.x.push_back(j * 1e-150), lattice.y.push_back(i * 1e-150);
    lattice.x.push_back(1e150);
    lattice.y.push_back(1e150);
    cases.push_back({lattice, randomPoints(100, 0, 11e-150, 15)});
    // Every magnitude at once, and each query also far from all points.
    Points everything, wild;
    std::mt19937_64 random(16);
    for (int i = 0; i < 400; ++i) {
        const auto magnitude = [&] { return std::ldexp(std::uniform_real_distribution<double>(-1, 1)(random),
                                                       std::uniform_int_distribution<int>(-990, 990)(random)); };
        everything.x.push_back(magnitude()), everything.y.push_back(magnitude());
        if (i < 300) wild.x.push_back(magnitude()), wild.y.push_back(magnitude());
    }
    cases.push_back({everything, wild});
    for (std::size_t c = 0; c < cases.size(); ++c) {
        SCOPED_TRACE("case " + std::to_string(c));
        const auto set = indexed(cases[c].first);
        expectExactlyNearest(set->points, cases[c].second, nearestOf(set->index->search(), cases[c].second));
    }
}

// A query so far away that rounding spans the whole set: the computed
// distances of thousands of points lie within the band, and the query is
// answered by exact distances (at the cost of a walk, not of the set).
TEST(NearestSearch, QueriesFarOutsideAreAnsweredExactly)
{
    const auto set = indexed(randomPoints(3000, 0, 1, 17));
    Points far = randomPoints(40, 0, 1, 18);
    for (std::size_t i = 0; i < far.x.size(); ++i) {
        far.x[i] = 1e15 + far.x[i] * 1e14 * (i % 3 == 0 ? -1 : 1);
        far.y[i] = (i % 2 ? 1e15 : -3e14) + far.y[i];
    }
    const Answers a = nearestOf(set->index->search(), far);
    expectExactlyNearest(set->points, far, a);
    for (std::size_t i = 0; i < far.x.size(); ++i) EXPECT_EQ(a.tied[i], 1);  // which one a walk reaches depends on it
    expectKNearest(set->points, nullptr, far, 5, std::numeric_limits<double>::infinity(), set->index->search(), 3000);
}

TEST(NearestSearch, OneQueryNeverChangesAnother)
{
    const auto set = indexed({{0, 1e-10, 0, 1e-10}, {0, 0, 1e-10, 1e-10}});
    const Points near{{0.2e-10, 0.9e-10, 0.6e-10}, {0.7e-10, 0.1e-10, 0.45e-10}};
    Points withFar = near;
    withFar.x.push_back(1e300);
    withFar.y.push_back(0);
    const Answers alone = nearestOf(set->index->search(), near), together = nearestOf(set->index->search(), withFar);
    for (std::size_t i = 0; i < near.x.size(); ++i) {
        EXPECT_EQ(alone.index[i], together.index[i]);
        EXPECT_EQ(alone.distance[i], together.distance[i]);
    }
}

// A centre with its neighbours on an arc: a walk through the centre scans
// them all, which a budget of 2n evaluations does not always allow.
TEST(NearestSearch, WalksAreNeverCutShort)
{
    Points fan{{0}, {0}};
    for (int i = 0; i < 7; ++i) fan.x.push_back(std::cos(i * 0.2)), fan.y.push_back(std::sin(i * 0.2));
    const auto set = indexed(fan);
    const Points q = randomPoints(500, -1.5, 1.5, 21);
    expectExactlyNearest(fan, q, nearestOf(set->index->search(), q));
}

TEST(NearestSearch, PointsOnOneLineAreSearchedExactlyAtAnyScale)
{
    for (const double scale : {1.0, 1e200, 1e-200}) {
        Points line;
        for (int i = 0; i < 10; ++i) line.x.push_back(i * scale), line.y.push_back(i * scale);
        const auto set = indexed(line);
        ASSERT_EQ(set->index->rowCount(), 0);
        const Answers a = nearestOf(set->index->search(), line);
        for (std::int64_t i = 0; i < 10; ++i) EXPECT_EQ(a.index[i], i) << "scale " << scale;
    }
    Points line = randomPoints(50, 0, 1, 31);
    line.y = line.x;
    line.x.push_back(-1e15);
    line.y.push_back(-1e15);
    const auto set = indexed(line);
    const Points q = randomPoints(1000, -0.5, 1.5, 32);
    expectExactlyNearest(line, q, nearestOf(set->index->search(), q));
    // One point and two points.
    for (std::size_t n : {1, 2}) {
        const auto few = indexed(randomPoints(n, 0, 1, 33));
        expectExactlyNearest(few->points, q, nearestOf(few->index->search(), q));
    }
}

TEST(NearestSearch, QueriesThatAreNotFiniteGetNoPoint)
{
    const auto set = indexed(randomPoints(100, 0, 1, 41));
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    const Points q{{0.5, nan, inf, 0.5}, {0.5, 0.5, 0.5, -inf}};
    const Answers a = nearestOf(set->index->search(), q);
    EXPECT_GE(a.index[0], 0);
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(a.index[i], -1);
        EXPECT_EQ(a.distance[i], inf);
    }
}

TEST(NearestSearch, ThreadsGiveTheSameAnswers)
{
    const auto set = indexed(randomPoints(5000, 0, 1, 51));
    const Points q = randomPoints(40000, 0, 1, 52);
    const Answers one = nearestOf(set->index->search(), q, 1), four = nearestOf(set->index->search(), q, 4);
    EXPECT_EQ(one.index, four.index);
    EXPECT_EQ(one.distance, four.distance);
}

// The k nearest by exact brute force: distances must agree (computed ones
// may differ only where exact ones are a rounding apart), and every point
// returned at a distance not shared must be the one brute force gives.
void expectKNearest(const Points& p, const std::vector<std::int64_t>* merged, const Points& q, int k, double bound,
                    const NearestSearch& search, std::int64_t given)
{
    const std::size_t count = q.x.size();
    std::vector<double> distance(count * k);
    std::vector<std::int64_t> index(count * k);
    search.kNearest(q.x.data(), q.y.data(), static_cast<std::int64_t>(count), k, bound, 2, distance.data(), index.data());
    for (std::size_t i = 0; i < count; ++i) {
        std::vector<std::pair<double, std::int64_t>> all;
        for (std::int64_t g = 0; g < given; ++g) {
            const std::int64_t at = merged ? (*merged)[g] : g;
            // Within the safe range hypot is exact to an ulp; elsewhere the
            // distance in 256-bit floating point, whose exponent does not overflow.
            const bool ordinary = std::fabs(p.x[at]) < 1e100 && std::fabs(p.y[at]) < 1e100 &&
                                  std::fabs(p.x[at]) + std::fabs(p.y[at]) > 1e-100;
            const double d = ordinary ? std::hypot(p.x[at] - q.x[i], p.y[at] - q.y[i])
                                      : mpf_class(sqrt(mpf_class(exactSquaredDistance(p.x[at], p.y[at], q.x[i], q.y[i]),
                                                                 256))).get_d();
            if (d < bound) all.emplace_back(d, g);
        }
        std::sort(all.begin(), all.end());
        for (int j = 0; j < k; ++j) {
            const std::size_t at = i * k + j;
            if (j >= static_cast<int>(all.size())) {
                EXPECT_EQ(index[at], given);
                EXPECT_EQ(distance[at], std::numeric_limits<double>::infinity());
                continue;
            }
            EXPECT_NEAR(distance[at], all[j].first, all[j].first * 1e-15) << "query " << i << " rank " << j;
            const bool alone = (j == 0 || all[j - 1].first < all[j].first * (1 - 1e-15)) &&
                               (j + 1 == static_cast<int>(all.size()) || all[j + 1].first > all[j].first * (1 + 1e-15));
            if (alone) {
                EXPECT_EQ(index[at], all[j].second) << "query " << i << " rank " << j;
            }
        }
    }
}

TEST(NearestSearch, KNearestAgreesWithBruteForceWithAndWithoutABound)
{
    const auto set = indexed(randomPoints(1500, 0, 1, 61));
    const Points q = randomPoints(300, -0.3, 1.3, 62);
    for (const int k : {1, 5, 20})
        for (const double bound : {std::numeric_limits<double>::infinity(), 0.03}) {
            SCOPED_TRACE("k " + std::to_string(k) + " bound " + std::to_string(bound));
            expectKNearest(set->points, nullptr, q, k, bound, set->index->search(), 1500);
        }
}

TEST(NearestSearch, KNearestAtExtremeMagnitudesAndOnALine)
{
    Points mixed = randomPoints(100, 0, 1e-300, 71), large = randomPoints(100, 0, 1e300, 72);
    mixed.x.insert(mixed.x.end(), large.x.begin(), large.x.end());
    mixed.y.insert(mixed.y.end(), large.y.begin(), large.y.end());
    const auto set = indexed(mixed);
    expectKNearest(mixed, nullptr, randomPoints(50, 0, 1e300, 73), 7, std::numeric_limits<double>::infinity(),
                   set->index->search(), 200);
    Points line = randomPoints(60, 0, 1, 74);
    line.y = line.x;
    const auto onLine = indexed(line);
    expectKNearest(line, nullptr, randomPoints(100, -0.5, 1.5, 75), 9, 0.5, onLine->index->search(), 60);
}

// Points merged as repeats come back with the point they were merged into,
// each counted among the k.
TEST(NearestSearch, KNearestIncludesMergedRepeats)
{
    const Points kept = randomPoints(200, 0, 1, 81);
    // Points as given: the kept ones, then a repeat of every third one.
    std::vector<std::int64_t> placeOf;  // for each point as given, the kept point at its place
    for (std::int64_t i = 0; i < 200; ++i) placeOf.push_back(i);
    std::vector<std::vector<std::int64_t>> groups(200);
    for (std::int64_t i = 0; i < 200; ++i) groups[i].push_back(i);
    for (std::int64_t i = 0; i < 200; i += 3) {
        groups[i].push_back(static_cast<std::int64_t>(placeOf.size()));
        placeOf.push_back(i);
    }
    std::vector<std::int64_t> start{0}, members;
    for (const auto& g : groups) {
        members.insert(members.end(), g.begin(), g.end());
        start.push_back(static_cast<std::int64_t>(members.size()));
    }
    Points copy = kept;
    std::vector<std::int32_t> rows = spatial_test::delaunayRows(copy);
    kyhost_spatial::SearchPoints points;
    points.x = copy.x.data();
    points.y = copy.y.data();
    points.n = 200;
    points.groupStart = start.data();
    points.members = members.data();
    points.givenCount = static_cast<std::int64_t>(placeOf.size());
    const kyhost_spatial::TriangulationIndex index(points, rows.data(), static_cast<std::int64_t>(rows.size() / 3));
    expectKNearest(kept, &placeOf, randomPoints(100, 0, 1, 82), 6, std::numeric_limits<double>::infinity(),
                   index.search(), points.givenCount);
}

}  // namespace
