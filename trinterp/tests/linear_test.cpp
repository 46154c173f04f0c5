// "linear": planes over the rows, the row chosen by exact tests and by the
// lowest-numbered rule, on triangulations and on rows that are none.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "interpolation_calls.hpp"
#include "internal_switches.hpp"

namespace {

using namespace trinterp::testing;

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

double plane(double x, double y) { return 3 * x - 2 * y + 0.5; }

Call planeCall(const Points& p, const std::vector<double>& tri, const std::string& method)
{
    Call c;
    c.x = p.x;
    c.y = p.y;
    std::vector<double> z;
    for (std::size_t i = 0; i < p.x.size(); ++i) z.push_back(plane(p.x[i], p.y[i]));
    c.values(z);
    c.tri = tri;
    c.method = method;
    return c;
}

TEST(TrinterpLinear, BothMethodsReproduceALinearFunctionInsideAndGiveNaNOutside)
{
    const Points p = randomPoints(400, 11);
    const std::vector<double> tri = delaunayRows(p.x, p.y);
    const Points q = randomPoints(4000, 12, -0.1, 1.1);
    for (const char* method : {"linear", "natural"}) {
        Call c = planeCall(p, scrambledRows(tri), method);
        c.queries(q.x, q.y);
        const std::vector<double> z = results(runPlugin(c));
        ASSERT_EQ(z.size(), q.x.size());
        // Inside the hull (judged by CGAL's exact coordinates being found)
        // the plane, outside NaN.
        const auto exact = exactNaturalCoordinates(p, q.x, q.y);
        int inside = 0;
        for (std::size_t k = 0; k < q.x.size(); ++k) {
            if (exact[k].empty()) {
                EXPECT_TRUE(std::isnan(z[k])) << method << " query " << k;
                continue;
            }
            ++inside;
            EXPECT_NEAR(z[k], plane(q.x[k], q.y[k]), 8e-16 * 4) << method << " query " << k;
        }
        EXPECT_GT(inside, 2500);
    }
}

TEST(TrinterpLinear, DataPointsGetTheirOwnValuesExactly)
{
    const Points p = randomPoints(300, 21);
    std::mt19937_64 random(22);
    std::uniform_real_distribution<double> any(-1e3, 1e3);
    for (const char* method : {"linear", "natural"}) {
        Call c;
        c.x = p.x;
        c.y = p.y;
        std::vector<double> z;
        for (std::size_t i = 0; i < p.x.size(); ++i) z.push_back(any(random));
        c.values(z);
        c.tri = scrambledRows(delaunayRows(p.x, p.y));
        c.method = method;
        c.queries(p.x, p.y);
        EXPECT_EQ(results(runPlugin(c)), z) << method;
    }
}

TEST(TrinterpLinear, NonFiniteQueriesGiveNaN)
{
    const Points p = grid(3, 3);
    for (const char* method : {"linear", "natural"}) {
        Call c = planeCall(p, delaunayRows(p.x, p.y), method);
        c.queries({nan, 1, inf, -inf, 1.5}, {1, nan, 1, 1, 1.25});
        const std::vector<double> z = results(runPlugin(c));
        for (int k = 0; k < 4; ++k) EXPECT_TRUE(std::isnan(z[static_cast<std::size_t>(k)])) << k;
        EXPECT_NEAR(z[4], plane(1.5, 1.25), 1e-15);
    }
}

// The unit square with a NaN value at point 4 (1, 1): a query the rows
// beside point 4 hold answers NaN, as 0 * NaN is NaN.
struct Square {
    Call call;
    Square(const std::vector<double>& tri, double qx, double qy)
    {
        call.x = {0, 1, 0, 1};
        call.y = {0, 0, 1, 1};
        call.values({1, 2, 3, nan});
        call.tri = tri;
        call.queries({qx}, {qy});
    }
    double value() const { return results(runPlugin(call)).at(0); }
};

TEST(TrinterpLinear, OnASideOrAtACornerTheLowestNumberedRowAnswers)
{
    // Rows (1, 2, 3) and (2, 4, 3) share the side from 2 to 3; only the
    // second has point 4, so its answer is NaN and the first's 2.
    EXPECT_EQ(Square({1, 2, 2, 4, 3, 3}, 0.5, 0.5).value(), 2.5);
    EXPECT_TRUE(std::isnan(Square({2, 1, 4, 2, 3, 3}, 0.5, 0.5).value()));
    // Either orientation of either row.
    EXPECT_EQ(Square({1, 2, 3, 4, 2, 3}, 0.5, 0.5).value(), 2.5);
    // At corner 2, held by both rows: a data point gives its own value,
    // whichever row holds it and whatever the other corners hold.
    EXPECT_EQ(Square({1, 2, 2, 4, 3, 3}, 1, 0).value(), 2.0);
    EXPECT_EQ(Square({2, 1, 4, 2, 3, 3}, 1, 0).value(), 2.0);
    // Inside the second row only.
    EXPECT_TRUE(std::isnan(Square({1, 2, 2, 4, 3, 3}, 0.75, 0.75).value()));

    // A fan of six rows round the centre of a hexagon: at the centre the
    // answer is the lowest-numbered row's, wherever it lies in the fan.
    Call fan;
    for (int k = 0; k < 6; ++k) {
        fan.x.push_back(std::cos(k * 3.14159265358979323846 / 3));
        fan.y.push_back(std::sin(k * 3.14159265358979323846 / 3));
    }
    fan.x.push_back(0);
    fan.y.push_back(0);
    for (int lowest = 0; lowest < 6; ++lowest) {
        std::vector<double> z(7, 1.0);
        // Every corner but the lowest-numbered row's two outer ones is NaN.
        for (int k = 0; k < 6; ++k) z[static_cast<std::size_t>(k)] = nan;
        z[static_cast<std::size_t>(lowest)] = z[static_cast<std::size_t>((lowest + 1) % 6)] = 1;
        fan.values(z);
        std::vector<double> tri(18);
        for (int k = 0; k < 6; ++k) {
            const int r = (k - lowest + 6) % 6;  // the row of outer side k
            tri[static_cast<std::size_t>(r)] = 7;
            tri[static_cast<std::size_t>(6 + r)] = k + 1;
            tri[static_cast<std::size_t>(12 + r)] = (k + 1) % 6 + 1;
        }
        fan.tri = tri;
        fan.queries({0}, {0});
        EXPECT_EQ(results(runPlugin(fan)).at(0), 1.0) << lowest;
    }
}

TEST(TrinterpLinear, RowsThatAreNoTriangulationAnswerFromTheLowestNumberedRowHoldingTheQuery)
{
    // Both triangulations of the square at once: rows 1 and 2 overlap 3 and 4.
    Call both;
    both.x = {0, 1, 0, 1};
    both.y = {0, 0, 1, 1};
    both.values({0, 0, 0, 4});  // planes differ: through 1, 2, 3 zero; with 4 not
    both.tri = {1, 2, 1, 1, 2, 4, 2, 4, 3, 3, 4, 3};  // (1,2,3), (2,4,3), (1,2,4), (1,4,3)
    both.queries({0.25, 0.75, 0.6}, {0.25, 0.75, 0.1});
    const std::vector<double> z = results(runPlugin(both));
    EXPECT_EQ(z[0], 0.0);  // row 1
    EXPECT_NEAR(z[1], 4 * (0.75 + 0.75 - 1), 1e-15);  // row 2
    EXPECT_EQ(z[2], 0.0);  // row 1, not row 3

    // An L-shaped region: the notch is outside.
    Call l;
    l.x = {0, 1, 2, 0, 1, 2, 0, 1};
    l.y = {0, 0, 0, 1, 1, 1, 2, 2};
    std::vector<double> zl;
    for (std::size_t i = 0; i < l.x.size(); ++i) zl.push_back(plane(l.x[i], l.y[i]));
    l.values(zl);
    // Rows: (1,2,5) (1,5,4) (2,3,6) (2,6,5) (4,5,8) (4,8,7)
    l.tri = {1, 1, 2, 2, 4, 4, 2, 5, 3, 6, 5, 8, 5, 4, 6, 5, 8, 7};
    l.queries({1.5, 0.5, 1.5, 1.0, 1.0, 0.2}, {1.5, 1.5, 0.5, 1.5, 2.0, 1.9});
    const std::vector<double> zz = results(runPlugin(l));
    EXPECT_TRUE(std::isnan(zz[0]));
    EXPECT_NEAR(zz[1], plane(0.5, 1.5), 1e-15);
    EXPECT_NEAR(zz[2], plane(1.5, 0.5), 1e-15);
    EXPECT_NEAR(zz[3], plane(1.0, 1.5), 1e-15);  // on the side to the notch
    EXPECT_NEAR(zz[4], plane(1.0, 2.0), 1e-15);  // at a corner of the notch
    EXPECT_NEAR(zz[5], plane(0.2, 1.9), 1e-15);
}

TEST(TrinterpLinear, RepeatedRowsAreDroppedAndTheRestWalked)
{
    // TRI given twice (the second time clockwise): the same answers, found
    // by walking, however many rows repeat one row.
    const Points p = randomPoints(300, 61);
    const std::vector<double> tri = delaunayRows(p.x, p.y);
    const std::size_t m = tri.size() / 3;
    std::vector<double> twice(6 * m);
    for (std::size_t c = 0; c < 3; ++c)
        for (std::size_t r = 0; r < m; ++r) {
            twice[c * 2 * m + r] = tri[c * m + r];
            twice[c * 2 * m + m + r] = tri[(c == 0 ? 0 : 3 - c) * m + r];
        }
    const Points q = randomPoints(2000, 62, -0.1, 1.1);
    Call once = planeCall(p, tri, "linear");
    once.values(std::vector<double>(p.x.size(), 0.0));
    for (std::size_t i = 0; i < p.x.size(); ++i) once.z[i] = std::sin(9 * p.x[i]) + p.y[i];
    once.queries(q.x, q.y);
    Call doubled = once;
    doubled.tri = twice;
    const std::vector<double> a = results(runPlugin(once)), b = results(runPlugin(doubled));
    for (std::size_t k = 0; k < a.size(); ++k) EXPECT_TRUE(a[k] == b[k] || (std::isnan(a[k]) && std::isnan(b[k]))) << k;
    doubled.method = "natural";
    EXPECT_EQ(runPlugin(doubled).warnings.size(), 1u);  // repeated rows are no triangulation
    // One row a thousand times over, and queries beside it: each is
    // answered at once.
    Call many;
    many.x = {0, 1, 0, 5};
    many.y = {0, 0, 1, 5};
    many.values({1, 2, 3, 4});
    // Rows (1, 2, 3) a thousand times, then (2, 4, 3).
    for (const double corner : {1.0, 2.0, 3.0}) {
        many.tri.insert(many.tri.end(), 1000, corner);
        many.tri.push_back(corner == 1.0 ? 2.0 : corner == 2.0 ? 4.0 : 3.0);
    }
    many.queries({0.25, 0.9, 2, 4}, {0.25, 0.9, 2, 1});
    const std::vector<double> z = results(runPlugin(many));
    EXPECT_DOUBLE_EQ(z[0], 1 + 0.25 + 2 * 0.25);
    EXPECT_FALSE(std::isnan(z[1]));
    EXPECT_FALSE(std::isnan(z[2]));
    EXPECT_TRUE(std::isnan(z[3]));
}

TEST(TrinterpLinear, NaNAndInfiniteValuesSpreadAsInAWeightedSum)
{
    Call c;
    c.x = {0, 1, 0, 1};
    c.y = {0, 0, 1, 1};
    c.values({1, inf, 3, 4});
    c.tri = {1, 3, 4, 4, 2, 1};  // (1,4,2) and (3,4,1)
    c.queries({0.9, 0.1, 0, 0.5}, {0.05, 0.9, 1, 0.5});
    const std::vector<double> z = results(runPlugin(c));
    EXPECT_EQ(z[0], inf);            // a positive weight on the infinite value
    EXPECT_NEAR(z[1], 1 + 0.1 + 2 * 0.9, 1e-15);  // row 2, whose corners are finite
    EXPECT_EQ(z[2], 3.0);            // point 3, in row 2 only
    EXPECT_TRUE(std::isnan(z[3]));   // on the diagonal: row 1 answers, with weight 0 on point 2: 0 * inf
}

TEST(TrinterpLinear, WalksThatRunOutOfStepsAreAnsweredByTheBucketsAlike)
{
    const Points p = randomPoints(2000, 31);
    const Points q = randomPoints(3000, 32, -0.05, 1.05);
    for (const char* method : {"linear", "natural"}) {
        Call c = planeCall(p, delaunayRows(p.x, p.y), method);
        c.queries(q.x, q.y);
        const std::vector<double> walked = results(runCore(c));
        trinterp::setWalkBudget(1);
        const std::vector<double> searched = results(runCore(c));
        trinterp::setWalkBudget(0);
        ASSERT_EQ(walked.size(), searched.size());
        for (std::size_t k = 0; k < walked.size(); ++k)
            EXPECT_TRUE(walked[k] == searched[k] || (std::isnan(walked[k]) && std::isnan(searched[k]))) << k;
    }
}

TEST(TrinterpLinear, ExtremeMagnitudesGiveTheAnswersOfTheScaledPoints)
{
    const Points p = randomPoints(200, 41);
    const Points q = randomPoints(500, 42, -0.1, 1.1);
    Call c = planeCall(p, delaunayRows(p.x, p.y), "linear");
    c.queries(q.x, q.y);
    for (const char* method : {"linear", "natural"}) {
        c.method = method;
        const std::vector<double> plain = results(runPlugin(c));
        for (const int exponent : {-900, -400, 400, 1000}) {
            Call scaled = c;
            for (auto* v : {&scaled.x, &scaled.y, &scaled.xi, &scaled.yi})
                for (double& e : *v) e = std::ldexp(e, exponent);
            const std::vector<double> z = results(runPlugin(scaled));
            ASSERT_EQ(z.size(), plain.size());
            for (std::size_t k = 0; k < z.size(); ++k) {
                EXPECT_TRUE(z[k] == plain[k] || (std::isnan(z[k]) && std::isnan(plain[k]))) << method << exponent << " " << k;
            }
        }
    }
}

}  // namespace
