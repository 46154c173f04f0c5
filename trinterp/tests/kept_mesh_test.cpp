// A kept mesh answers later queries as the plug-in answers them, bit for
// bit, whatever the rows, the method, the searches and the threads; and a
// later call checks its queries and warns as the plug-in's call does.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "interpolation_calls.hpp"
#include "internal_switches.hpp"

namespace {

using namespace trinterp::testing;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
const char* const notDelaunay =
    "TRI is not a Delaunay triangulation: the natural-neighbor weights follow its rows and may not be Sibson's.";

bool sameBits(const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

Call callOn(const Points& p, const std::vector<double>& tri, const char* method, int columns)
{
    Call c;
    c.x = p.x;
    c.y = p.y;
    std::vector<double> z;
    for (int j = 0; j < columns; ++j)
        for (std::size_t i = 0; i < p.x.size(); ++i) z.push_back(std::sin((7 + j) * p.x[i]) * std::cos(5 * p.y[i]) + j);
    c.valueColumns(columns, z);
    c.tri = tri;
    c.method = method;
    return c;
}

// Queries unlike the first call's: a shaped block, data points, points
// outside, and ones that are not finite.
Call laterQueries(Call c, const Points& p)
{
    Points q = randomPoints(6000, 61, -0.05, 1.05);
    for (std::size_t i = 0; i < 50; ++i) {
        q.x.push_back(p.x[i * 7]);
        q.y.push_back(p.y[i * 7]);
    }
    q.x.insert(q.x.end(), {nan, 0.5, std::numeric_limits<double>::infinity(), 2.0});
    q.y.insert(q.y.end(), {0.5, nan, 0.5, 2.0});
    c.queries(q.x, q.y);
    c.queryRows = 2;
    return c;
}

TEST(TrinterpKeptMesh, LaterCallsAnswerAsThePluginDoes)
{
    const Points p = randomPoints(3000, 60);
    const Points first = randomPoints(2000, 62);
    std::vector<double> overlapping = delaunayRows(p.x, p.y);
    // Rows that are no triangulation take the bucket search, built anew by
    // each later call.
    overlapping.insert(overlapping.begin() + static_cast<std::ptrdiff_t>(overlapping.size() / 3), 1.0);
    overlapping.insert(overlapping.begin() + static_cast<std::ptrdiff_t>(2 * (overlapping.size() / 3) + 1), 2.0);
    overlapping.push_back(3.0);
    for (const auto& tri : {delaunayRows(p.x, p.y), scrambledRows(delaunayRows(p.x, p.y)), overlapping})
        for (const char* method : {"linear", "natural"})
            for (const int columns : {1, 3}) {
                Call c = callOn(p, tri, method, columns);
                c.queries(first.x, first.y);
                trinterp::KeptMesh kept;
                EXPECT_TRUE(sameBits(results(runKeeping(kept, c)), results(runPlugin(c))));
                ASSERT_TRUE(kept.ready());
                EXPECT_GE(kept.bytes(), tri.size() / 3 * 24 + p.x.size() * (20 + 8 * columns));
                const Call later = laterQueries(c, p);
                const std::vector<double> expected = results(runPlugin(later));
                for (const int workers : {1, 3}) {
                    trinterp::setWorkerCount(workers);
                    const ky::CallOutcome outcome = runKept(kept, later);
                    EXPECT_TRUE(sameBits(results(outcome), expected)) << method << ", " << columns << " columns, "
                                                                      << workers << " threads";
                    if (columns == 1 && outcome.result) {
                        EXPECT_EQ(kyGetM(outcome.result.get()), 2);  // XI's shape, as the plug-in gives it
                    }
                }
                // Walks cut short: the queries are found through the buckets.
                trinterp::setWalkBudget(3);
                EXPECT_TRUE(sameBits(results(runKept(kept, later)), expected)) << method << " through the buckets";
                trinterp::setWalkBudget(0);
                trinterp::setWorkerCount(0);
            }
}

TEST(TrinterpKeptMesh, PointsOfAnyMagnitudeAndFlatOrEmptyMeshes)
{
    Points p = randomPoints(500, 63);
    for (auto* v : {&p.x, &p.y})
        for (double& c : *v) c *= 1e250;
    Call c = callOn(p, delaunayRows(p.x, p.y), "natural", 1);
    c.queries({0.5e250}, {0.5e250});
    trinterp::KeptMesh kept;
    results(runKeeping(kept, c));
    Call later = c;
    const Points q = randomPoints(3000, 64);
    later.queries(q.x, q.y);
    for (auto* v : {&later.xi, &later.yi})
        for (double& c : *v) c *= 1e250;
    EXPECT_TRUE(sameBits(results(runKept(kept, later)), results(runPlugin(later))));

    // Only flat rows: every later answer is NaN, in XI's shape.
    Call flat;
    flat.x = {0, 1, 2};
    flat.y = {0, 1, 2};
    flat.values({1, 2, 3});
    flat.tri = {1, 2, 3};
    flat.queries({1}, {1});
    trinterp::KeptMesh line;
    results(runKeeping(line, flat));
    flat.queries({1, 0.5}, {1, 0.5});
    const std::vector<double> answers = results(runKept(line, flat));
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_TRUE(std::isnan(answers[0]) && std::isnan(answers[1]));
    flat.queries({}, {});
    EXPECT_TRUE(results(runKept(line, flat)).empty());
}

TEST(TrinterpKeptMesh, LaterCallsCheckTheirQueriesAndWarnAsThePluginDoes)
{
    // A square with one corner pulled in, split along the diagonal that is
    // not Delaunay.
    Call c;
    c.x = {0, 1, 0, 0.8};
    c.y = {0, 0, 1, 0.8};
    c.values({1, 2, 3, 4});
    c.tri = {1, 2, 3, 2, 4, 3};
    c.method = "natural";
    c.queries({0.5}, {0.5});
    trinterp::KeptMesh kept;
    const ky::CallOutcome first = runKeeping(kept, c);
    EXPECT_EQ(first.warnings, std::vector<std::string>{notDelaunay});
    c.queries({0.5, 0.2}, {0.5, 0.1});
    const ky::CallOutcome later = runKept(kept, c);
    EXPECT_EQ(later.warnings, std::vector<std::string>{notDelaunay});
    EXPECT_TRUE(sameBits(results(later), results(runPlugin(c))));

    Call mismatched = c;
    mismatched.yi = {0.5};
    EXPECT_EQ(errorOf(runKept(kept, mismatched)), "XI and YI must be the same size.");
    const ky::ArrayHandle xi = ky::testing::text("xi"), yi = ky::testing::text("yi");
    {
        const trinterp::KeptMeshInUse inUse(kept);
        EXPECT_EQ(ky::testing::call(&trinterp::interpolateKept, 1, {xi.get(), yi.get()}).error.value_or(""),
                  "XI must be a real full double matrix.");
        EXPECT_EQ(ky::testing::call(&trinterp::interpolateKept, 1, {xi.get()}).error.value_or(""),
                  "Not enough input arguments.");
        EXPECT_EQ(ky::testing::call(&trinterp::interpolateKept, 2, {xi.get(), yi.get()}).error.value_or(""),
                  "Too many output arguments.");
    }
    EXPECT_EQ(ky::testing::call(&trinterp::interpolateKept, 1, {xi.get(), yi.get()}).error.value_or(""),
              "No kept interpolation mesh is in use.");

    // A first call that fails keeps nothing; its message is the plug-in's.
    Call bad = c;
    bad.tri = {1, 2, 5};
    trinterp::KeptMesh none;
    EXPECT_EQ(errorOf(runKeeping(none, bad)), errorOf(runPlugin(bad)));
    EXPECT_FALSE(none.ready());
    EXPECT_EQ(errorOf(runKept(none, c)), "The kept interpolation mesh is not prepared.");
}

}  // namespace
