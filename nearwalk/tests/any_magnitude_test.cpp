// Answers at any magnitude, judged by exact brute force: data and query
// points whose squared distances span far more than double's range, in one
// call, must all get a nearest point, and one query's answer must not
// depend on what other queries share its call.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "cgal_triangles.hpp"
#include "exact_nearest.hpp"
#include "search_calls.hpp"

namespace {

using ky::testing::matrix;
using ky::testing::row;
using nearwalk::testing::answers;
using nearwalk::testing::answersNotNearest;
using nearwalk::testing::search;

struct Case {
    std::vector<double> x, y, qx, qy;
};

struct Answered {
    std::vector<double> found;
    std::vector<std::string> warnings;
};

// A Delaunay triangulation of the data points, by sweeptri or by CGAL.
enum class Triangulator { sweeptri, cgal };

std::vector<double> triangulate(const Case& c, Triangulator by)
{
    if (by == Triangulator::cgal) return nearwalk::testing::cgalTriangles(c.x, c.y);
    // sweeptri may warn of collinear points at such magnitudes; its
    // triangulation is Delaunay all the same.
    static const kyxFunctionType sweeptri = ky::testing::builtPlugin("sweeptri");
    const ky::ArrayHandle xs = row(c.x), ys = row(c.y);
    const ky::CallOutcome outcome = ky::testing::call(sweeptri, 1, {xs.get(), ys.get()});
    EXPECT_FALSE(outcome.error) << *outcome.error;
    if (outcome.error || !outcome.result || outcome.result->n != 3) return {};
    return ky::testing::values(outcome.result.get());
}

// nearwalk over a triangulation of the data points.
Answered searchTriangulated(const Case& c, Triangulator by = Triangulator::sweeptri)
{
    const std::vector<double> tri = triangulate(c, by);
    EXPECT_FALSE(tri.empty());
    ky::ArrayHandle x = row(c.x), y = row(c.y), xi = row(c.qx), yi = row(c.qy);
    ky::ArrayHandle t = matrix(static_cast<std::int32_t>(tri.size() / 3), 3, tri);
    const ky::CallOutcome outcome = search(x.get(), y.get(), t.get(), xi.get(), yi.get());
    return {answers(outcome), outcome.warnings};
}

// Every answer is a nearest data point, exactly, and no warning was needed.
void expectNearest(const Case& c, const std::string& what)
{
    for (const Triangulator by : {Triangulator::sweeptri, Triangulator::cgal}) {
        const char* const source = by == Triangulator::cgal ? " (CGAL)" : " (sweeptri)";
        const Answered a = searchTriangulated(c, by);
        ASSERT_EQ(a.found.size(), c.qx.size()) << what << source;
        EXPECT_EQ(answersNotNearest(c.x, c.y, c.qx, c.qy, a.found).size(), 0u) << what << source << ", of "
                                                                                 << c.qx.size();
        EXPECT_TRUE(a.warnings.empty()) << what << source;
    }
}

void addGrid(Case& c, int side, double step)
{
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j) c.x.push_back(i * step), c.y.push_back(j * step);
}

TEST(NearwalkAnyMagnitude, TheSetsThatDefeatedOneScaleForTheWholeCall)
{
    {
        const Case c{{1e-300, 1e300, 0, 1e300}, {0, 0, 1e300, 1e300}, {1e300, 0.9e300, 0}, {1e300, 0, 0.9e300}};
        expectNearest(c, "four points from 1e-300 to 1e300");
    }
    {
        Case c;
        addGrid(c, 5, 2.5e-11);
        c.x.push_back(1e300), c.y.push_back(-1e300);
        c.qx = {3e-11, 7.7e-11}, c.qy = {6e-11, 1.2e-11};
        expectNearest(c, "a 1e-10 square beside a point at (1e300, -1e300)");
    }
    {
        std::mt19937_64 random(5);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        Case c;
        for (int k = 0; k < 150; ++k) c.x.push_back(1e-300 * unit(random)), c.y.push_back(1e-300 * unit(random));
        for (int k = 0; k < 150; ++k) c.x.push_back(1e300 * unit(random)), c.y.push_back(1e300 * unit(random));
        for (int q = 0; q < 200; ++q) {
            const double scale = q % 2 == 0 ? 1e-300 : 1e300;
            c.qx.push_back(scale * unit(random)), c.qy.push_back(scale * unit(random));
        }
        expectNearest(c, "half the points in [0, 1e-300]^2, half in [0, 1e300]^2");
    }
    {
        Case c;
        addGrid(c, 12, 1e-150);
        c.x.push_back(1e150), c.y.push_back(1e150);
        for (int q = 0; q < 100; ++q) c.qx.push_back(1.1e-149 * (q % 10) / 9.0), c.qy.push_back(1.1e-149 * (q / 10) / 9.0);
        expectNearest(c, "a lattice of step 1e-150 and a point at (1e150, 1e150)");
    }
}

TEST(NearwalkAnyMagnitude, AFarQueryChangesNoOtherAnswer)
{
    Case square;
    addGrid(square, 2, 1e-10);
    square.qx = {2e-11, 9e-11, 4e-11}, square.qy = {3e-11, 8e-11, 7e-11};
    const Answered alone = searchTriangulated(square);
    EXPECT_EQ(alone.found, (std::vector<double>{1, 4, 2}));
    // The far query first, last and between the others.
    for (std::size_t at = 0; at <= square.qx.size(); ++at) {
        Case withFar = square;
        withFar.qx.insert(withFar.qx.begin() + static_cast<std::ptrdiff_t>(at), 1e300);
        withFar.qy.insert(withFar.qy.begin() + static_cast<std::ptrdiff_t>(at), 0.0);
        std::vector<double> found = searchTriangulated(withFar).found;
        ASSERT_EQ(found.size(), 4u);
        found.erase(found.begin() + static_cast<std::ptrdiff_t>(at));
        EXPECT_EQ(found, alone.found) << "far query at " << at;
    }
    // Random data at one ordinary magnitude, with queries at the ends of
    // the range mixed in.
    std::mt19937_64 random(9);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    Case c;
    for (int k = 0; k < 400; ++k) c.x.push_back(unit(random)), c.y.push_back(unit(random));
    for (int q = 0; q < 300; ++q) c.qx.push_back(unit(random)), c.qy.push_back(unit(random));
    const Answered plain = searchTriangulated(c);
    Case mixed = c;
    for (std::size_t q = 0; q < c.qx.size(); q += 30) {
        mixed.qx[q] = q % 60 == 0 ? 1e300 : 5e-324;
        mixed.qy[q] = q % 60 == 0 ? -1e300 : 0.0;
    }
    const Answered withExtremes = searchTriangulated(mixed);
    ASSERT_EQ(withExtremes.found.size(), plain.found.size());
    for (std::size_t q = 0; q < c.qx.size(); ++q)
        if (q % 30 != 0) {
            EXPECT_EQ(withExtremes.found[q], plain.found[q]) << q;
        }
    EXPECT_EQ(answersNotNearest(mixed.x, mixed.y, mixed.qx, mixed.qy, withExtremes.found).size(), 0u);
}

// A coordinate of random sign whose magnitude is 10^e with e uniform in
// [-300, 300], now and then exactly 0 or a subnormal.
double anyMagnitude(std::mt19937_64& random)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double pick = unit(random);
    const double sign = unit(random) < 0.5 ? -1.0 : 1.0;
    if (pick < 0.02) return 0.0;
    if (pick < 0.04) return sign * 4.9e-324 * std::floor(1 + 1000 * unit(random));
    return sign * (1 + unit(random)) * std::pow(10.0, -300 + 600 * unit(random));
}

TEST(NearwalkAnyMagnitude, RandomSetsMixingMagnitudesFrom1eMinus300To1e300)
{
    std::mt19937_64 random(2718);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int round = 0; round < 12; ++round) {
        Case c;
        const int n = 60 + 40 * round;
        for (int k = 0; k < n; ++k) c.x.push_back(anyMagnitude(random)), c.y.push_back(anyMagnitude(random));
        // Clusters at one magnitude beside the mixture: near ties among
        // tiny differences.
        const double cluster = anyMagnitude(random);
        for (int k = 0; k < n / 4; ++k)
            c.x.push_back(cluster * (1 + 1e-12 * unit(random))), c.y.push_back(cluster * (1 + 1e-12 * unit(random)));
        for (int q = 0; q < 300; ++q) {
            if (q % 3 == 0) {  // beside a data point, at its own magnitude
                const std::size_t k = static_cast<std::size_t>(unit(random) * c.x.size());
                c.qx.push_back(c.x[k] * (1 + 1e-9 * (unit(random) - 0.5)));
                c.qy.push_back(c.y[k] + c.x[k] * 1e-9 * (unit(random) - 0.5));
            } else {
                c.qx.push_back(anyMagnitude(random)), c.qy.push_back(anyMagnitude(random));
            }
        }
        std::sort(c.x.begin(), c.x.end());  // no repeated points: x distinct is enough
        c.x.erase(std::unique(c.x.begin(), c.x.end()), c.x.end());
        c.y.resize(c.x.size());
        std::shuffle(c.y.begin(), c.y.end(), random);
        expectNearest(c, "round " + std::to_string(round));
    }
}

}  // namespace
