// On exact Delaunay triangulations (CGAL's) of point sets full of ties and
// near ties, every answer is a nearest data point by the walk's own double
// distance, twins and near-twins included, at ordinary and at extreme
// magnitudes.
#include <gtest/gtest.h>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <cmath>
#include <random>

#include "cgal_triangles.hpp"
#include "coordinate_scaling.hpp"
#include "point_families.hpp"
#include "search_calls.hpp"

namespace {

using ky::testing::matrix;
using ky::testing::row;
using nearwalk::testing::answers;
using nearwalk::testing::nearestSquaredDistance;
using nearwalk::testing::PointSet;
using nearwalk::testing::scaledSet;
using nearwalk::testing::search;
using Point = CGAL::Exact_predicates_inexact_constructions_kernel::Point_2;

// The coordinates as the walk compares them: scaled by the same power of
// two as the plug-in scales them when their magnitudes are extreme.
struct WalkDomain {
    PointSet data, queries;

    WalkDomain(const PointSet& d, const PointSet& q)
    {
        const int exponent = nearwalk::searchScaleExponent(d.x.data(), d.y.data(), std::int64_t(d.x.size()),
                                                           q.x.data(), q.y.data(), std::int64_t(q.x.size()));
        data = scaledSet(d, exponent);
        queries = scaledSet(q, exponent);
    }
};

// The number of answers than which some data point is strictly closer, and
// of queries whose distances overflow where the walk compares them.
int answersNotNearest(const PointSet& data, const PointSet& queries, const std::vector<double>& found)
{
    const WalkDomain walk(data, queries);
    int wrong = 0;
    for (std::size_t q = 0; q < found.size(); ++q) {
        const std::size_t k = static_cast<std::size_t>(found[q]) - 1;
        const double qx = walk.queries.x[q], qy = walk.queries.y[q];
        const double dx = walk.data.x[k] - qx, dy = walk.data.y[k] - qy;
        const double nearest = nearestSquaredDistance(walk.data.x, walk.data.y, qx, qy);
        if (dy * dy + dx * dx != nearest || !std::isfinite(nearest)) ++wrong;
    }
    return wrong;
}

// The queries whose coordinates are both finite: far centres of thin
// triangles' circumcircles overflow at the largest magnitudes.
PointSet finiteOnly(const PointSet& queries)
{
    PointSet kept{queries.name, {}, {}};
    for (std::size_t q = 0; q < queries.x.size(); ++q)
        if (std::isfinite(queries.x[q]) && std::isfinite(queries.y[q]))
            kept.x.push_back(queries.x[q]), kept.y.push_back(queries.y[q]);
    return kept;
}

std::vector<double> searchAll(const PointSet& data, const std::vector<double>& tri, const PointSet& queries)
{
    ky::ArrayHandle x = row(data.x), y = row(data.y), t = matrix(std::int32_t(tri.size() / 3), 3, tri);
    ky::ArrayHandle xi = row(queries.x), yi = row(queries.y);
    const ky::CallOutcome outcome = search(x.get(), y.get(), t.get(), xi.get(), yi.get());
    EXPECT_TRUE(outcome.warnings.empty()) << data.name;
    return answers(outcome);
}

TEST(NearwalkHardSets, EveryAnswerIsANearestPointByTheWalksDistance)
{
    for (const PointSet& set : nearwalk::testing::hardPointSets()) {
        // Scaling by a power of two that keeps every coordinate normal keeps
        // every orientation and in-circle sign: one triangulation serves all
        // magnitudes.
        const std::vector<double> tri = nearwalk::testing::cgalTriangles(set.x, set.y);
        ASSERT_FALSE(tri.empty()) << set.name;
        const PointSet queries = nearwalk::testing::hardQueries(set, tri, 2000);
        std::vector<int> exponents = nearwalk::testing::extremeExponents(set);
        exponents.insert(exponents.begin(), 0);
        for (const int exponent : exponents) {
            const PointSet data = scaledSet(set, exponent), at = finiteOnly(scaledSet(queries, exponent));
            const std::vector<double> found = searchAll(data, tri, at);
            ASSERT_EQ(found.size(), at.x.size()) << data.name;
            EXPECT_EQ(answersNotNearest(data, at, found), 0) << data.name << ", of " << found.size() << " queries";
        }
    }
}

// For each query, the first point (if any) where a walk can stop without
// being at a nearest point: no neighbour is closer by the computed
// distance, but one is closer exactly. -1 where there is none.
std::vector<std::int32_t> hiddenCloserNeighbours(const PointSet& set, const std::vector<std::vector<std::int32_t>>& columns,
                                                 const PointSet& queries)
{
    const auto distance = [&](std::size_t k, double qx, double qy) {
        const double dx = set.x[k] - qx, dy = set.y[k] - qy;
        return dy * dy + dx * dx;
    };
    std::vector<std::int32_t> traps;
    for (std::size_t q = 0; q < queries.x.size(); ++q) {
        const double qx = queries.x[q], qy = queries.y[q];
        const double nearest = nearestSquaredDistance(set.x, set.y, qx, qy);
        std::int32_t trap = -1;
        for (std::size_t c = 0; c < set.x.size() && trap < 0; ++c) {
            const double dc = distance(c, qx, qy);
            if (dc == nearest) continue;
            bool stops = true, hidden = false;
            for (const std::int32_t k : columns[c]) {
                const std::size_t kk = std::size_t(k);
                if (distance(kk, qx, qy) < dc) stops = false;
                hidden = hidden || CGAL::compare_distance_to_point(Point(qx, qy), Point(set.x[kk], set.y[kk]),
                                                                   Point(set.x[c], set.y[c])) == CGAL::SMALLER;
            }
            if (stops && hidden) trap = std::int32_t(c);
        }
        traps.push_back(trap);
    }
    return traps;
}

// 300 random points, each with a twin one unit in the last place away in
// x, in y or in both, searched from a 68 x 51 grid of queries. A walk that
// looked past exact ties only stopped early for 2 of the 3,468 queries,
// beside a neighbour that is closer exactly but rounds to a distance no
// smaller. Now every answer is a nearest point, also for walks started
// where rounding hides a closer neighbour.
TEST(NearwalkHardSets, ASetFullOfTwinsNoLongerStopsWalksEarly)
{
    std::mt19937_64 random(38);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    PointSet set{"300 points and their twins", {}, {}};
    const std::size_t base = 300;
    for (std::size_t k = 0; k < base; ++k) set.x.push_back(unit(random)), set.y.push_back(unit(random));
    for (std::size_t k = 0; k < base; ++k) {
        set.x.push_back(k % 3 != 1 ? std::nextafter(set.x[k], 2.0) : set.x[k]);
        set.y.push_back(k % 3 != 0 ? std::nextafter(set.y[k], 2.0) : set.y[k]);
    }
    PointSet queries{"grid", {}, {}};
    for (int i = 0; i < 68; ++i)
        for (int j = 0; j < 51; ++j) queries.x.push_back(i / 67.0), queries.y.push_back(j / 50.0);
    const std::vector<double> tri = nearwalk::testing::cgalTriangles(set.x, set.y);
    const std::vector<double> found = searchAll(set, tri, queries);
    ASSERT_EQ(found.size(), 3468u);
    EXPECT_EQ(answersNotNearest(set, queries, found), 0);

    // Every walk that starts at a point where it could stop too early.
    const auto columns = nearwalk::testing::triangleColumns(tri, set.x.size());
    const std::vector<std::int32_t> traps = hiddenCloserNeighbours(set, columns, queries);
    ky::ArrayHandle x = row(set.x), y = row(set.y);
    ky::ArrayHandle s = nearwalk::testing::neighbourMatrix(std::int32_t(set.x.size()), columns);
    int trapped = 0, wrong = 0;
    for (std::size_t q = 0; q < traps.size(); ++q) {
        if (traps[q] < 0) continue;
        ++trapped;
        ky::ArrayHandle start = matrix(1, 3, {traps[q] + 1.0, 1, 1});
        ky::ArrayHandle xi = row({queries.x[q]}), yi = row({queries.y[q]});
        const PointSet one{"one", {queries.x[q]}, {queries.y[q]}};
        wrong += answersNotNearest(set, one, answers(search(x.get(), y.get(), start.get(), xi.get(), yi.get(), s.get())));
    }
    EXPECT_GT(trapped, 1000);  // the set does set the trap, for most queries
    EXPECT_EQ(wrong, 0) << "of " << trapped << " walks";
}

}  // namespace
