// The refusals of the entry point: their order, their exact texts, and the
// arguments of a wrong class.
#include <gtest/gtest.h>

#include <cmath>

#include "neighbour_matrix.hpp"
#include "search_calls.hpp"

namespace {

using ky::testing::bytes;
using ky::testing::call;
using ky::testing::matrix;
using ky::testing::row;
using ky::testing::text;
using nearwalk::testing::answers;
using nearwalk::testing::errorOf;
using nearwalk::testing::neighbourMatrix;
using nearwalk::testing::plugin;
using nearwalk::testing::search;

// Three points of one triangle, and one query point.
struct Triangle {
    ky::ArrayHandle x = row({0, 1, 0});
    ky::ArrayHandle y = row({0, 0, 1});
    ky::ArrayHandle tri = matrix(1, 3, {1, 2, 3});
    ky::ArrayHandle xi = row({0.9});
    ky::ArrayHandle yi = row({0.1});
};

TEST(NearwalkArguments, CountsAreRefusedBeforeAnyArgumentIsLookedAt)
{
    Triangle t;
    ky::ArrayHandle bad = text("not a matrix");
    const kyArray* b = bad.get();
    EXPECT_EQ(errorOf(call(plugin(), 1, {b, b, b, b, b, b, b})), "Too many input arguments.");
    EXPECT_EQ(errorOf(call(plugin(), 1, {b, b, b, b})), "Not enough input arguments.");
    EXPECT_EQ(errorOf(call(plugin(), 0, {})), "Not enough input arguments.");
    EXPECT_EQ(errorOf(call(plugin(), 2, {b, b, b, b, b})), "Too many output arguments.");
    EXPECT_EQ(errorOf(call(plugin(), 2, {b, b, b, b})), "Not enough input arguments.");
}

TEST(NearwalkArguments, SizeChecksComeInTheirOrderAndUseTheirExactTexts)
{
    Triangle t;
    ky::ArrayHandle y4 = row({0, 0, 1, 1});
    ky::ArrayHandle xi23 = matrix(2, 3, {0, 0, 0, 0, 0, 0});
    ky::ArrayHandle yi32 = matrix(3, 2, {0, 0, 0, 0, 0, 0});
    ky::ArrayHandle tri4 = matrix(1, 4, {1, 2, 3, 1});
    // All three faults at once: the counts of X and Y come first.
    EXPECT_EQ(errorOf(search(t.x.get(), y4.get(), tri4.get(), xi23.get(), yi32.get())),
              "X and Y must be the same length.");
    // Equal element counts are not enough for XI and YI.
    EXPECT_EQ(errorOf(search(t.x.get(), t.y.get(), tri4.get(), xi23.get(), yi32.get())),
              "XI and YI must the same size.");
    EXPECT_EQ(errorOf(search(t.x.get(), t.y.get(), tri4.get(), t.xi.get(), t.yi.get())), "TRI must be M-by-3.");
    ky::ArrayHandle s = neighbourMatrix(3, {{1}, {2}, {0}});
    EXPECT_EQ(errorOf(search(t.x.get(), t.y.get(), tri4.get(), t.xi.get(), t.yi.get(), s.get())),
              "TRI must be M-by-3.");
}

TEST(NearwalkArguments, OnlyElementCountsOfXAndYAreCompared)
{
    ky::ArrayHandle x = row({0, 1, 0});
    ky::ArrayHandle y = matrix(3, 1, {0, 0, 1});
    ky::ArrayHandle tri = matrix(1, 3, {1, 2, 3});
    ky::ArrayHandle xi = row({0.9});
    ky::ArrayHandle yi = row({0.1});
    EXPECT_EQ(answers(search(x.get(), y.get(), tri.get(), xi.get(), yi.get())), std::vector<double>{2});
    // No output requested: the result is still made.
    const ky::CallOutcome outcome = call(plugin(), 0, {x.get(), y.get(), tri.get(), xi.get(), yi.get()});
    EXPECT_EQ(answers(outcome), std::vector<double>{2});
}

TEST(NearwalkArguments, ArgumentsOfAnotherClassAreRefusedBeforeTheyAreRead)
{
    Triangle t;
    ky::ArrayHandle word = text("abc");
    ky::ArrayHandle octets = bytes(1, 1, {7});
    ky::ArrayHandle sparseTri = neighbourMatrix(1, {{0}, {0}, {0}});
    EXPECT_EQ(errorOf(search(word.get(), t.y.get(), t.tri.get(), t.xi.get(), t.yi.get())),
              "X must be a real full double matrix.");
    EXPECT_EQ(errorOf(search(t.x.get(), word.get(), t.tri.get(), t.xi.get(), t.yi.get())),
              "Y must be a real full double matrix.");
    EXPECT_EQ(errorOf(search(t.x.get(), t.y.get(), sparseTri.get(), t.xi.get(), t.yi.get())),
              "TRI must be a real full double matrix.");
    EXPECT_EQ(errorOf(search(t.x.get(), t.y.get(), t.tri.get(), octets.get(), t.yi.get())),
              "XI must be a real full double matrix.");
    EXPECT_EQ(errorOf(search(t.x.get(), t.y.get(), t.tri.get(), t.xi.get(), octets.get())),
              "YI must be a real full double matrix.");
    // The size checks still come first.
    ky::ArrayHandle longWord = text("abcd");
    EXPECT_EQ(errorOf(search(longWord.get(), t.y.get(), t.tri.get(), t.xi.get(), t.yi.get())),
              "X and Y must be the same length.");
}

TEST(NearwalkArguments, TheNeighbourMatrixMustBeSparseWithAColumnPerDataPoint)
{
    Triangle t;
    ky::ArrayHandle full = matrix(3, 3, {0, 1, 1, 1, 0, 1, 1, 1, 0});
    EXPECT_EQ(errorOf(search(t.x.get(), t.y.get(), t.tri.get(), t.xi.get(), t.yi.get(), full.get())),
              "Nearest neighbor matrix must be sparse.");
    ky::ArrayHandle word = text("abc");
    EXPECT_EQ(errorOf(search(t.x.get(), t.y.get(), t.tri.get(), t.xi.get(), t.yi.get(), word.get())),
              "Nearest neighbor matrix must be sparse.");
    // Two columns for three points: a walk reaching point 3 would read past
    // the column starts.
    ky::ArrayHandle narrow = neighbourMatrix(3, {{1, 2}, {0, 2}});
    EXPECT_EQ(errorOf(search(t.x.get(), t.y.get(), t.tri.get(), t.xi.get(), t.yi.get(), narrow.get())),
              "Nearest neighbor matrix must have a column for every data point.");
}

TEST(NearwalkArguments, AnEmptyTriangulationLeavesNothingToSearch)
{
    Triangle t;
    ky::ArrayHandle none = matrix(0, 3, {});
    EXPECT_EQ(errorOf(search(t.x.get(), t.y.get(), none.get(), t.xi.get(), t.yi.get())), "No data to search.");
    ky::ArrayHandle s = neighbourMatrix(3, {{}, {}, {}});
    EXPECT_EQ(errorOf(search(t.x.get(), t.y.get(), none.get(), t.xi.get(), t.yi.get(), s.get())),
              "No data to search.");
    // TRI values that "sparse" cannot take end the call with its own error.
    ky::ArrayHandle tooLarge = matrix(1, 3, {1, 2, 4});
    const std::string error = errorOf(search(t.x.get(), t.y.get(), tooLarge.get(), t.xi.get(), t.yi.get()));
    EXPECT_EQ(error.rfind("sparse:", 0), 0u) << error;
}

TEST(NearwalkArguments, TooManyTrianglesForTheIndexMatricesAreRefusedBeforeTRIIsRead)
{
    // TRI holds no memory: reading it, or making I and J, would fault or
    // fail differently.
    Triangle t;
    const ky::testing::UnbackedMatrix tri(nearwalk::maxTriangleCount + 1, 3);
    EXPECT_EQ(errorOf(search(t.x.get(), t.y.get(), tri.get(), t.xi.get(), t.yi.get())),
              "TRI has too many rows: the neighbor matrix would exceed the largest array size.");
    EXPECT_EQ(std::int64_t{nearwalk::maxTriangleCount} * 6, 2147483646);
}

TEST(NearwalkArguments, NoQueryPointsGiveAnEmptyResultOfTheirShapeAndNoMessage)
{
    Triangle t;
    ky::ArrayHandle xi = matrix(0, 4, {});
    ky::ArrayHandle yi = matrix(0, 4, {});
    ky::ArrayHandle none = matrix(0, 3, {});
    ky::ArrayHandle badStart = matrix(1, 3, {std::nan(""), 2, 3});
    ky::ArrayHandle s = neighbourMatrix(3, {{1}, {2}, {0}});
    for (const ky::CallOutcome& outcome : {search(t.x.get(), t.y.get(), t.tri.get(), xi.get(), yi.get()),
                                           search(t.x.get(), t.y.get(), none.get(), xi.get(), yi.get()),
                                           search(t.x.get(), t.y.get(), badStart.get(), xi.get(), yi.get(), s.get())}) {
        ASSERT_FALSE(outcome.error) << *outcome.error;
        EXPECT_EQ(outcome.result->m, 0);
        EXPECT_EQ(outcome.result->n, 4);
        EXPECT_TRUE(outcome.warnings.empty());
    }
}

}  // namespace
