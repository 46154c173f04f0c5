// Coordinates of any magnitude: scaling data and query points together by a
// power of two must not change an answer, squared distances must neither
// overflow nor underflow, and the caller's arrays stay untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <random>

#include "search_calls.hpp"
#include "sweeptri_triangles.hpp"

namespace {

using ky::testing::matrix;
using ky::testing::row;
using nearwalk::testing::answers;
using nearwalk::testing::search;

struct Problem {
    std::vector<double> x, y, qx, qy, tri;
};

// Random data in [-1, 3) x [0, 1), its triangulation, a grid of queries
// over a box around it and the data points themselves as queries.
Problem randomProblem(int n, std::uint64_t seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    Problem p;
    for (int k = 0; k < n; ++k) p.x.push_back(4 * unit(random) - 1), p.y.push_back(unit(random));
    for (int i = 0; i < 20; ++i)
        for (int j = 0; j < 20; ++j) p.qx.push_back(-1.5 + 5.0 * i / 19), p.qy.push_back(-0.5 + 2.0 * j / 19);
    p.qx.insert(p.qx.end(), p.x.begin(), p.x.end());
    p.qy.insert(p.qy.end(), p.y.begin(), p.y.end());
    p.tri = nearwalk::testing::sweeptriTriangles(p.x, p.y);
    return p;
}

std::vector<double> times(const std::vector<double>& values, double factor)
{
    std::vector<double> result = values;
    for (double& v : result) v *= factor;
    return result;
}

ky::CallOutcome searchScaled(const Problem& p, double factor)
{
    ky::ArrayHandle x = row(times(p.x, factor)), y = row(times(p.y, factor));
    ky::ArrayHandle xi = row(times(p.qx, factor)), yi = row(times(p.qy, factor));
    ky::ArrayHandle t = matrix(static_cast<std::int32_t>(p.tri.size() / 3), 3, p.tri);
    return search(x.get(), y.get(), t.get(), xi.get(), yi.get());
}

TEST(NearwalkExtremeScales, PowerOfTwoScalingKeepsEveryAnswer)
{
    const Problem p = randomProblem(300, 41);
    ASSERT_FALSE(p.tri.empty());
    const ky::CallOutcome original = searchScaled(p, 1.0);
    const std::vector<double> expected = answers(original);
    ASSERT_FALSE(expected.empty());
    int smallest = INT_MAX, largest = INT_MIN;
    for (const auto* values : {&p.x, &p.y, &p.qx, &p.qy})
        for (double v : *values)
            if (v != 0.0) smallest = std::min(smallest, std::ilogb(v)), largest = std::max(largest, std::ilogb(v));
    int tried = 0;
    for (int k = -1000; k <= 1000; ++k) {
        if (smallest + k < DBL_MIN_EXP - 1 || largest + k > DBL_MAX_EXP - 1) continue;  // not all normal
        ++tried;
        const ky::CallOutcome scaled = searchScaled(p, std::ldexp(1.0, k));
        ASSERT_EQ(answers(scaled), expected) << "2^" << k;
        ASSERT_EQ(scaled.warnings, original.warnings) << "2^" << k;
    }
    EXPECT_GT(tried, 1950);
}

// The true nearest squared distance in long double, whose exponent range
// holds the squares of every double.
long double nearestInLongDouble(const std::vector<double>& x, const std::vector<double>& y, double qx, double qy)
{
    long double best = INFINITY;
    for (std::size_t k = 0; k < x.size(); ++k) {
        const long double dx = (long double)x[k] - qx, dy = (long double)y[k] - qy;
        best = std::min(best, dx * dx + dy * dy);
    }
    return best;
}

TEST(NearwalkExtremeScales, TinyAndHugeDecimalScalesGiveTrueNearestPoints)
{
    const Problem p = randomProblem(500, 43);
    ASSERT_FALSE(p.tri.empty());
    for (double factor : {1e-300, 1e-200, 1e200, 1e300}) {
        const std::vector<double> x = times(p.x, factor), y = times(p.y, factor);
        const std::vector<double> qx = times(p.qx, factor), qy = times(p.qy, factor);
        const ky::CallOutcome outcome = searchScaled(p, factor);
        EXPECT_TRUE(outcome.warnings.empty());
        const std::vector<double> found = answers(outcome);
        ASSERT_EQ(found.size(), qx.size());
        int wrong = 0;
        for (std::size_t q = 0; q < found.size(); ++q) {
            const std::size_t k = static_cast<std::size_t>(found[q]) - 1;
            const long double dx = (long double)x[k] - qx[q], dy = (long double)y[k] - qy[q];
            if (dx * dx + dy * dy != nearestInLongDouble(x, y, qx[q], qy[q])) ++wrong;
        }
        EXPECT_EQ(wrong, 0) << "of " << found.size() << " queries at " << factor;
    }
}

TEST(NearwalkExtremeScales, DenormalCoordinatesAnswerLikeTheirMultiples)
{
    // Whole numbers times 2^-1074 (5e-324) are exact denormals.
    const Problem p = randomProblem(100, 47);
    Problem whole = p;
    for (auto* values : {&whole.x, &whole.y, &whole.qx, &whole.qy})
        for (double& v : *values) v = std::round(v * 1e5);
    whole.tri = nearwalk::testing::sweeptriTriangles(whole.x, whole.y);
    ASSERT_FALSE(whole.tri.empty());
    const double smallestDenormal = std::ldexp(1.0, DBL_MIN_EXP - DBL_MANT_DIG);
    EXPECT_EQ(answers(searchScaled(whole, smallestDenormal)), answers(searchScaled(whole, 1.0)));
}

TEST(NearwalkExtremeScales, ScalingNeverTouchesTheCallersArrays)
{
    const Problem p = randomProblem(50, 53);
    ky::ArrayHandle x = row(times(p.x, 1e-300)), y = row(times(p.y, 1e-300));
    ky::ArrayHandle xi = row(times(p.qx, 1e-300)), yi = row(times(p.qy, 1e-300));
    ky::ArrayHandle t = matrix(static_cast<std::int32_t>(p.tri.size() / 3), 3, p.tri);
    const std::vector<double> before[] = {ky::testing::values(x.get()), ky::testing::values(y.get()),
                                          ky::testing::values(xi.get()), ky::testing::values(yi.get())};
    ASSERT_FALSE(search(x.get(), y.get(), t.get(), xi.get(), yi.get()).error);
    const kyArray* arrays[] = {x.get(), y.get(), xi.get(), yi.get()};
    for (int a = 0; a < 4; ++a) {
        const std::vector<double> after = ky::testing::values(arrays[a]);
        ASSERT_EQ(after.size(), before[a].size());
        EXPECT_EQ(std::memcmp(after.data(), before[a].data(), after.size() * sizeof(double)), 0) << a;
    }
}

}  // namespace
