// Query points with a NaN or infinite coordinate have no nearest point: they
// get NaN, no walk is made for them, and the query after one starts from the
// last real answer, so the other queries' answers, walks and warnings are
// those of the same call without them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "search_calls.hpp"
#include "sweeptri_triangles.hpp"

namespace {

using ky::testing::matrix;
using ky::testing::row;
using nearwalk::testing::answers;
using nearwalk::testing::Line;
using nearwalk::testing::neighbourMatrix;
using nearwalk::testing::search;

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

// `found` has NaN exactly where `nonFinite` is set, and the other elements,
// in order, are `expected`.
void expectAnswersAround(const std::vector<double>& found, const std::vector<bool>& nonFinite,
                         const std::vector<double>& expected)
{
    ASSERT_EQ(found.size(), nonFinite.size());
    std::vector<double> real;
    for (std::size_t q = 0; q < found.size(); ++q) {
        EXPECT_EQ(std::isnan(found[q]), nonFinite[q]) << "query " << q << " got " << found[q];
        if (!nonFinite[q]) real.push_back(found[q]);
    }
    EXPECT_EQ(real, expected);
}

TEST(NearwalkNonFiniteQueries, GetNaNAndLeaveTheStartOfTheNextWalkAlone)
{
    // A one-way chain 1 -> 2 -> ... -> 6: a walk can only move right, so
    // every answer depends on where its walk starts.
    const Line line({0, 1, 2, 3, 4, 5});
    ky::ArrayHandle s = neighbourMatrix(6, {{1}, {2}, {3}, {4}, {5}, {}});
    ky::ArrayHandle tri = matrix(1, 3, {1, 2, 3});
    const auto run = [&](const std::vector<double>& qx, const std::vector<double>& qy) {
        ky::ArrayHandle xi = row(qx), yi = row(qy);
        return answers(search(line.x.get(), line.y.get(), tri.get(), xi.get(), yi.get(), s.get()));
    };
    const std::vector<double> plain = run({3, 1, 5, 2}, {0, 0, 0, 0});
    EXPECT_EQ(plain, (std::vector<double>{4, 4, 6, 6}));
    const std::vector<double> mixed =
        run({nan, 3, inf, 1, 0, -inf, 5, 1e300, 2, nan}, {0, 0, 0, 0, nan, 2, 0, -inf, 0, inf});
    expectAnswersAround(mixed, {true, false, true, false, true, true, false, true, false, true}, plain);
}

TEST(NearwalkNonFiniteQueries, MakeNoWalkAtAll)
{
    // The start named by TRI is never checked when no query is searched.
    const Line line({0, 1, 2});
    ky::ArrayHandle s = neighbourMatrix(3, {{1}, {2}, {}});
    ky::ArrayHandle badStart = matrix(1, 3, {0, 1, 1});
    ky::ArrayHandle xi = matrix(2, 1, {nan, inf}), yi = matrix(2, 1, {0, 0});
    const ky::CallOutcome none = search(line.x.get(), line.y.get(), badStart.get(), xi.get(), yi.get(), s.get());
    ASSERT_FALSE(none.error) << *none.error;
    EXPECT_EQ(none.result->m, 2);
    expectAnswersAround(answers(none), {true, true}, {});
    EXPECT_TRUE(none.warnings.empty());
    // The first real query starts from TRI's first corner.
    ky::ArrayHandle start2 = matrix(1, 3, {2, 1, 1});
    ky::ArrayHandle xi3 = row({-inf, 0}), yi3 = row({0, 0});
    expectAnswersAround(answers(search(line.x.get(), line.y.get(), start2.get(), xi3.get(), yi3.get(), s.get())),
                        {true, false}, {2});
}

// The neighbour columns of a triangulation cut to four entries, so that some
// edges are one-way, and the first point's column padded past any budget:
// walks stop at false minima and some spend their budget, so answers and
// warnings depend on every walk's start.
ky::ArrayHandle lossyNeighbours(const std::vector<double>& tri, std::size_t n)
{
    std::vector<std::vector<std::int32_t>> columns = nearwalk::testing::triangleColumns(tri, n);
    for (auto& column : columns) column.resize(std::min<std::size_t>(column.size(), 4));
    columns[0].resize(2 * n + 1, columns[0][0]);
    return neighbourMatrix(static_cast<std::int32_t>(n), columns);
}

TEST(NearwalkNonFiniteQueries, LeaveTheOtherAnswersAndWarningsAsTheyAre)
{
    // Small data coordinates: a finite coordinate of a non-finite query as
    // large as 1e300 or as small as 5e-324 must not change how the others
    // are scaled for the search.
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> unit(0.0, 1e-3);
    std::vector<double> x, y, qx, qy;
    for (int k = 0; k < 300; ++k) x.push_back(unit(random)), y.push_back(unit(random));
    for (int k = 0; k < 2000; ++k) qx.push_back(unit(random)), qy.push_back(unit(random));
    const std::vector<double> tri = nearwalk::testing::sweeptriTriangles(x, y);
    ASSERT_FALSE(tri.empty());
    ky::ArrayHandle xs = row(x), ys = row(y), t = matrix(std::int32_t(tri.size() / 3), 3, tri);
    ky::ArrayHandle s = lossyNeighbours(tri, x.size());
    const auto run = [&](const std::vector<double>& px, const std::vector<double>& py) {
        ky::ArrayHandle xi = row(px), yi = row(py);
        return search(xs.get(), ys.get(), t.get(), xi.get(), yi.get(), s.get());
    };
    const ky::CallOutcome plain = run(qx, qy);
    ASSERT_EQ(plain.warnings.size(), 1u);  // the graph does make some walks fail

    const std::pair<double, double> odd[] = {{nan, 0.5e-3}, {1e300, nan}, {5e-324, inf}, {-inf, -1e-300},
                                             {inf, inf}, {0.5e-3, -inf}, {nan, nan}, {-1e300, nan}};
    std::vector<double> mx, my;
    std::vector<bool> nonFinite;
    for (std::size_t q = 0; q < qx.size(); ++q) {
        if (q % 7 == 0) {
            const auto& [ox, oy] = odd[(q / 7) % std::size(odd)];
            mx.push_back(ox), my.push_back(oy), nonFinite.push_back(true);
        }
        mx.push_back(qx[q]), my.push_back(qy[q]), nonFinite.push_back(false);
    }
    const ky::CallOutcome mixed = run(mx, my);
    expectAnswersAround(answers(mixed), nonFinite, answers(plain));
    EXPECT_EQ(mixed.warnings, plain.warnings);
}

}  // namespace
