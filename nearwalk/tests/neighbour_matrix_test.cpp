// The neighbour matrix built from a triangle matrix: an entry for every
// ordered pair of corners of every triangle, through the host's "sparse".
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <utility>

#include "call_runner.hpp"
#include "sweeptri_triangles.hpp"
#include "neighbour_matrix.hpp"
#include "search_state.hpp"

namespace {

using Entries = std::set<std::pair<std::int32_t, std::int32_t>>;  // (row, column), 0-based

const std::vector<double>* triangles = nullptr;  // column-major, M-by-3
std::int32_t pointCount = 0;

// Builds the matrix inside a host call, as the plug-in does, and hands it
// out as the call's result.
void buildInCall(int, kyArray* outputs[], int, const kyArray*[])
{
    nearwalk::searchState.pointCount = pointCount;
    nearwalk::searchState.triangleCount = static_cast<std::int32_t>(triangles->size() / 3);
    nearwalk::searchState.tri = triangles->data();
    outputs[0] = nearwalk::buildNeighbourMatrix();
}

ky::ArrayHandle build(const std::vector<double>& tri, std::int32_t n)
{
    triangles = &tri;
    pointCount = n;
    ky::CallOutcome outcome = ky::runCall(buildInCall, 1, {});
    EXPECT_FALSE(outcome.error) << *outcome.error;
    return std::move(outcome.result);
}

Entries entriesOf(const kyArray* s)
{
    Entries entries;
    for (std::int32_t j = 0; j < s->n; ++j)
        for (std::int32_t p = s->jc[j]; p < s->jc[j + 1]; ++p) entries.insert({s->ir[p], j});
    return entries;
}

TEST(NearwalkNeighbourMatrix, HoldsEveryOrderedPairOfCornersOfEveryTriangle)
{
    // Triangles (1, 2, 3) and (3, 2, 4) of five points; point 5 is in none.
    const ky::ArrayHandle s = build({1, 3, 2, 2, 3, 4}, 5);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->arrayClass, ky::ArrayClass::Sparse);
    EXPECT_EQ(s->m, 5);
    EXPECT_EQ(s->n, 5);
    const Entries expected{{0, 1}, {0, 2}, {1, 0}, {1, 2}, {2, 0}, {2, 1},
                           {1, 3}, {3, 1}, {2, 3}, {3, 2}};
    EXPECT_EQ(entriesOf(s.get()), expected);
    EXPECT_EQ(s->jc[5], static_cast<std::int32_t>(expected.size()));  // the shared edge is stored once
}

TEST(NearwalkNeighbourMatrix, ATriangleNamingAPointTwicePutsItOnTheDiagonal)
{
    const ky::ArrayHandle s = build({2, 2, 1}, 2);
    ASSERT_TRUE(s);
    EXPECT_EQ(entriesOf(s.get()), (Entries{{0, 1}, {1, 0}, {1, 1}}));
}

TEST(NearwalkNeighbourMatrix, NoTrianglesGiveAnEmptyMatrixOfTheDataPoints)
{
    const ky::ArrayHandle s = build({}, 4);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->m, 4);
    EXPECT_EQ(s->n, 4);
    EXPECT_EQ(s->jc[4], 0);
}

TEST(NearwalkNeighbourMatrix, LargeTriangulationsGiveEachEdgeOnceInAscendingRows)
{
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> coordinate(0.0, 1.0);
    std::vector<double> x(5000), y(5000);
    for (std::size_t k = 0; k < x.size(); ++k) x[k] = coordinate(random), y[k] = coordinate(random);
    const std::vector<double> tri = nearwalk::testing::sweeptriTriangles(x, y);
    const std::size_t m = tri.size() / 3;
    std::map<std::pair<std::int32_t, std::int32_t>, int> expected;  // (row, column) -> how often given
    for (std::size_t r = 0; r < m; ++r)
        for (std::size_t a = 0; a < 3; ++a)
            for (std::size_t b = 0; b < 3; ++b)
                if (a != b)
                    ++expected[{std::int32_t(tri[r + a * m]) - 1, std::int32_t(tri[r + b * m]) - 1}];

    const ky::ArrayHandle s = build(tri, 5000);
    ASSERT_TRUE(s);
    std::map<std::pair<std::int32_t, std::int32_t>, int> found;
    for (std::int32_t j = 0; j < s->n; ++j)
        for (std::int32_t p = s->jc[j]; p < s->jc[j + 1]; ++p) {
            if (p > s->jc[j]) {
                EXPECT_LT(s->ir[p - 1], s->ir[p]) << "column " << j;
            }
            // The value 1 summed once per time the pair was given.
            found[{s->ir[p], j}] = static_cast<int>(kyGetPr(s.get())[p]);
        }
    EXPECT_EQ(found, expected);
}

}  // namespace
