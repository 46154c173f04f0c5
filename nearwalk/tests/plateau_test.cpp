// Walks that converge on a plateau (neighbours exactly as far from the query
// point as the current point) look beyond it and move on only to a strictly
// closer point, within the walk's budget; without ties or near ties nothing
// changes.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "cgal_triangles.hpp"
#include "search_calls.hpp"
#include "sweeptri_triangles.hpp"

namespace {

using ky::testing::matrix;
using ky::testing::row;
using nearwalk::testing::answers;
using nearwalk::testing::nearestSquaredDistance;
using nearwalk::testing::neighbourMatrix;
using nearwalk::testing::Line;
using nearwalk::testing::search;
using nearwalk::testing::triangleColumns;

const char* const notConverged = "One or more points did not converge.";

TEST(NearwalkPlateau, TheWalkMovesOnBeyondTiedPointsToAStrictlyCloserOne)
{
    // Points 2 and 3 are twins; only point 3 leads on to point 4.
    const Line line({10, 5, 5, 1});
    ky::ArrayHandle s = neighbourMatrix(4, {{1}, {0, 2}, {1, 3}, {2}});
    const ky::CallOutcome outcome = line.walk(1, {0}, s.get());
    EXPECT_EQ(answers(outcome), std::vector<double>{4});
    EXPECT_TRUE(outcome.warnings.empty());
    // A plateau of three, the way out at its far end.
    const Line longer({10, 5, 5, 5, 2, 1});
    ky::ArrayHandle chain = neighbourMatrix(6, {{1}, {0, 2}, {1, 3}, {2, 4}, {3, 5}, {4}});
    EXPECT_EQ(answers(longer.walk(1, {0}, chain.get())), std::vector<double>{6});
}

TEST(NearwalkPlateau, APlateauWithoutACloserPointGivesTheAnswerOfThePlainWalk)
{
    const Line line({10, 5, 5, 7});
    ky::ArrayHandle s = neighbourMatrix(4, {{1}, {0, 2}, {1, 3}, {2}});
    const ky::CallOutcome outcome = line.walk(1, {0}, s.get());
    EXPECT_EQ(answers(outcome), std::vector<double>{2});
    EXPECT_TRUE(outcome.warnings.empty());
    // A ring of tied points is searched once round and ends.
    const Line ring({5, 5, 5, 5});
    ky::ArrayHandle cycle = neighbourMatrix(4, {{1, 3}, {0, 2}, {1, 3}, {2, 0}});
    const ky::CallOutcome round = ring.walk(1, {0, 0}, cycle.get());
    EXPECT_EQ(answers(round), (std::vector<double>{1, 1}));
    EXPECT_TRUE(round.warnings.empty());
}

TEST(NearwalkPlateau, TheSearchBeyondAPlateauSpendsTheWalksBudgetOncePerPoint)
{
    // Six points: 12 evaluations per walk. `padding` evaluations from point
    // 1, two from point 2; the search past point 2 then pays once for each
    // new point (4, 5, 6): points it has seen already are passed over free.
    const Line line({10, 5, 5, 5, 5, 1});
    const auto walkWith = [&](std::size_t padding) {
        ky::ArrayHandle s = neighbourMatrix(
            6, {std::vector<std::int32_t>(padding, 1), {0, 2}, {1, 3}, {2, 4}, {3, 5}, {4}});
        return line.walk(1, {0}, s.get());
    };
    // Five: the search reaches point 6 with budget to spare.
    const ky::CallOutcome spare = walkWith(5);
    EXPECT_EQ(answers(spare), std::vector<double>{6});
    EXPECT_TRUE(spare.warnings.empty());
    // Seven: point 6 is found with the last evaluation; the walk that moves
    // there has spent its budget.
    const ky::CallOutcome spent = walkWith(7);
    EXPECT_EQ(answers(spent), std::vector<double>{6});
    EXPECT_EQ(spent.warnings, std::vector<std::string>{notConverged});
    // Eight: the budget runs out before point 6; the point where the walk
    // stopped stands, with the warning, since a closer point may have been
    // missed.
    const ky::CallOutcome cut = walkWith(8);
    EXPECT_EQ(answers(cut), std::vector<double>{2});
    EXPECT_EQ(cut.warnings, std::vector<std::string>{notConverged});
}

// The walk without the search past its stopping point: on inputs without
// ties or near ties the plug-in must give exactly its answers and warnings.
struct PlainWalk {
    const std::vector<double>& x;
    const std::vector<double>& y;
    std::vector<std::vector<std::int32_t>> columns;
    bool warned = false;

    double distance(double qx, double qy, std::int32_t k) const
    {
        const double dx = x[std::size_t(k)] - qx, dy = y[std::size_t(k)] - qy;
        return dy * dy + dx * dx;
    }

    std::int32_t walk(double qx, double qy, std::int32_t start)
    {
        std::int64_t budget = 2 * static_cast<std::int64_t>(x.size());
        std::int32_t best = start;
        double bestDistance = distance(qx, qy, start);
        for (;;) {
            const std::int32_t current = best;
            for (const std::int32_t k : columns[std::size_t(current)]) {
                if (budget <= 0) break;
                const double d = distance(qx, qy, k);
                if (d < bestDistance) bestDistance = d, best = k;
                --budget;
            }
            if (budget == 0) {
                warned = true;
                return best;
            }
            if (best == current) return best;
        }
    }
};

// 96 random points and a twin of one of them, one unit in the last place
// above it (about 1e-16): every query is exactly as far from one twin as
// from the other, and the twins' Delaunay neighbours differ, so the plain
// walk stops at a twin while a strictly closer point is a neighbour of the
// other one. Queries: a 50 x 50 grid over the unit square, then the data
// points.
TEST(NearwalkPlateau, TwinsARoundingErrorApartNoLongerTrapTheWalk)
{
    std::mt19937_64 random(2);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> x, y;
    for (int k = 0; k < 96; ++k) x.push_back(unit(random)), y.push_back(unit(random));
    x.push_back(x[59]);
    y.push_back(std::nextafter(y[59], 2.0));
    std::vector<double> qx, qy;
    for (int i = 0; i < 50; ++i)
        for (int j = 0; j < 50; ++j) qx.push_back(i / 49.0), qy.push_back(j / 49.0);
    qx.insert(qx.end(), x.begin(), x.end());
    qy.insert(qy.end(), y.begin(), y.end());
    const std::vector<double> tri = nearwalk::testing::cgalTriangles(x, y);

    const auto wrongAnswers = [&](const std::vector<double>& found) {
        int wrong = 0;
        for (std::size_t q = 0; q < found.size(); ++q) {
            const std::size_t k = static_cast<std::size_t>(found[q]) - 1;
            const double dx = x[k] - qx[q], dy = y[k] - qy[q];
            if (dy * dy + dx * dx != nearestSquaredDistance(x, y, qx[q], qy[q])) ++wrong;
        }
        return wrong;
    };
    PlainWalk plain{x, y, triangleColumns(tri, x.size())};
    std::vector<double> trapped;
    std::int32_t start = static_cast<std::int32_t>(tri[0]) - 1;
    for (std::size_t q = 0; q < qx.size(); ++q) trapped.push_back((start = plain.walk(qx[q], qy[q], start)) + 1.0);
    EXPECT_EQ(wrongAnswers(trapped), 27);  // the set does set the trap

    ky::ArrayHandle xs = row(x), ys = row(y), t = matrix(static_cast<std::int32_t>(tri.size() / 3), 3, tri);
    ky::ArrayHandle xi = row(qx), yi = row(qy);
    const ky::CallOutcome outcome = search(xs.get(), ys.get(), t.get(), xi.get(), yi.get());
    EXPECT_TRUE(outcome.warnings.empty());
    const std::vector<double> found = answers(outcome);
    ASSERT_EQ(found.size(), 2597u);
    EXPECT_EQ(wrongAnswers(found), 0) << "of " << found.size() << " queries";
}

TEST(NearwalkPlateau, WithoutTiesEveryAnswerIsThePlainWalks)
{
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> x, y, qx, qy;
    for (int k = 0; k < 500; ++k) x.push_back(unit(random)), y.push_back(unit(random));
    for (int k = 0; k < 3000; ++k) qx.push_back(1.2 * unit(random) - 0.1), qy.push_back(1.2 * unit(random) - 0.1);
    const std::vector<double> tri = nearwalk::testing::sweeptriTriangles(x, y);
    ASSERT_FALSE(tri.empty());
    const std::size_t m = tri.size() / 3;

    // A neighbour graph with a few one-way edges and a short budget for some
    // walks: false minima and non-convergence, but no ties.
    PlainWalk plain{x, y, std::vector<std::vector<std::int32_t>>(x.size())};
    for (std::size_t r = 0; r < m; ++r)
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b)
                if (a != b && (r % 7 != 0 || a < b))
                    plain.columns[std::size_t(tri[a * m + r]) - 1].push_back(std::int32_t(tri[b * m + r]) - 1);
    for (auto& column : plain.columns) column.resize(std::min<std::size_t>(column.size(), 5));
    ky::ArrayHandle s = neighbourMatrix(static_cast<std::int32_t>(x.size()), plain.columns);

    std::vector<double> expected;
    std::int32_t start = static_cast<std::int32_t>(tri[0]) - 1;
    for (std::size_t q = 0; q < qx.size(); ++q) {
        start = plain.walk(qx[q], qy[q], start);
        expected.push_back(start + 1.0);
    }
    ky::ArrayHandle xs = row(x), ys = row(y), t = matrix(static_cast<std::int32_t>(m), 3, tri);
    ky::ArrayHandle xi = row(qx), yi = row(qy);
    const ky::CallOutcome outcome = search(xs.get(), ys.get(), t.get(), xi.get(), yi.get(), s.get());
    EXPECT_EQ(answers(outcome), expected);
    EXPECT_EQ(outcome.warnings.size(), plain.warned ? 1u : 0u);
}

}  // namespace
