// sweeptri through the real loader and host: argument checks and their
// messages, small worked triangulations, and the guards against unsafe
// input.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host_array.hpp"
#include "plugin_testing.hpp"
#include "triangle_buffer.hpp"
#include "triangulation_checks.hpp"

namespace {

using sweeptri::testing::Row;
using sweeptri::testing::triangulate;
namespace kt = ky::testing;

const char* const collinearWarning = "Degenerate case: collinear points. Possible incorrect triangulation.";

kyxFunctionType plugin() { return kt::builtPlugin("sweeptri"); }

std::string errorOf(const ky::CallOutcome& outcome) { return outcome.error.value_or("(no error)"); }

TEST(SweeptriArguments, WrongInputCountIsReportedFirst)
{
    const auto x = kt::row({0, 1, 0});
    for (int outputs : {1, 2}) {
        EXPECT_EQ(errorOf(kt::call(plugin(), outputs, {x.get()})), "Wrong number of input parameters.");
        EXPECT_EQ(errorOf(kt::call(plugin(), outputs, {x.get(), x.get(), x.get(), x.get()})),
                  "Wrong number of input parameters.");
    }
    EXPECT_EQ(errorOf(kt::call(plugin(), 2, {x.get(), x.get()})), "Too many output arguments.");
}

TEST(SweeptriArguments, OnlyElementCountsMustAgree)
{
    const auto row4 = kt::matrix(1, 4, {0, 1, 0, 1});
    const auto column4 = kt::matrix(4, 1, {0, 0, 1, 1});
    const auto square4 = kt::matrix(2, 2, {0, 0, 1, 1});
    const auto five = kt::row({0, 1, 2, 3, 4});
    EXPECT_FALSE(kt::call(plugin(), 1, {row4.get(), column4.get()}).error);
    EXPECT_FALSE(kt::call(plugin(), 0, {row4.get(), square4.get()}).error);
    EXPECT_EQ(errorOf(kt::call(plugin(), 1, {row4.get(), five.get()})), "X and Y must be the same size.");
}

TEST(SweeptriArguments, ThirdArgumentMustBeExactlySorted)
{
    const auto x = kt::row({0, 1, 0});
    const auto y = kt::row({0, 0, 1});
    const char* const expected = "Third input parameter must be the string 'sorted'";
    for (const char* option : {"Sorted", "sort", "sorted ", "sorte", ""}) {
        const auto text = kt::text(option);
        EXPECT_EQ(errorOf(kt::call(plugin(), 1, {x.get(), y.get(), text.get()})), expected) << option;
    }
    const auto number = kt::row({1});
    EXPECT_EQ(errorOf(kt::call(plugin(), 1, {x.get(), y.get(), number.get()})), expected);
    const auto sorted = kt::text("sorted");
    EXPECT_FALSE(kt::call(plugin(), 1, {x.get(), y.get(), sorted.get()}).error);
}

TEST(SweeptriArguments, RepeatedPointsAreRejected)
{
    EXPECT_EQ(triangulate({0, 1, 2, 0}, {0, 1, 0, 0}).error, "x-y data must be unique");
    // -0.0 and +0.0 are the same coordinate.
    EXPECT_EQ(triangulate({0.0, 1, -0.0}, {1, 2, 1}).error, "x-y data must be unique");
    // With "sorted" the repeats of input in order are neighbours.
    EXPECT_EQ(triangulate({0, 0, 1}, {0, 0, 1}, true).error, "x-y data must be unique");
}

TEST(SweeptriResults, NoPointsGiveAnEmptyMatrix)
{
    const auto empty = kt::matrix(0, 5, {});
    const auto sorted = kt::text("sorted");
    for (const auto& outcome : {kt::call(plugin(), 1, {empty.get(), empty.get()}),
                                kt::call(plugin(), 1, {empty.get(), empty.get(), sorted.get()})}) {
        ASSERT_TRUE(outcome.result);
        EXPECT_EQ(outcome.result->m, 0);
        EXPECT_EQ(outcome.result->n, 3);
    }
}

TEST(SweeptriResults, OneOrTwoPointsGiveNoRows)
{
    for (const auto& result : {triangulate({1}, {2}), triangulate({1, 2}, {2, 3})}) {
        EXPECT_FALSE(result.error);
        EXPECT_TRUE(result.rows.empty());
        EXPECT_TRUE(result.warnings.empty());
    }
}

TEST(SweeptriResults, WorkedTrianglesAndSquare)
{
    EXPECT_EQ(triangulate({0, 1, 0}, {0, 0, 1}).rows, (std::vector<Row>{{3, 2, 1}}));
    EXPECT_EQ(triangulate({0, 2, 1}, {0, 0, 1}).rows, (std::vector<Row>{{3, 2, 1}}));
    // Four cocircular points: the events of both triangles share key and x,
    // so the one queued last comes out first.
    EXPECT_EQ(triangulate({0, 1, 0, 1}, {0, 0, 1, 1}).rows, (std::vector<Row>{{1, 4, 2}, {3, 4, 1}}));
}

TEST(SweeptriResults, SiteNumbersSurviveTheSort)
{
    // The sweep order is (1, 0) then (5, 0) then (3, 2): input positions 2, 1, 3.
    EXPECT_EQ(triangulate({5, 1, 3}, {0, 0, 2}).rows, (std::vector<Row>{{3, 1, 2}}));
}

TEST(SweeptriResults, CollinearPointsWarnOncePerCall)
{
    for (int call = 0; call < 2; ++call) {
        const auto result = triangulate({0, 1, 2, 3, 4, 5}, {0, 0, 0, 0, 0, 0});
        EXPECT_FALSE(result.error);
        EXPECT_TRUE(result.rows.empty());
        EXPECT_EQ(result.warnings, std::vector<std::string>{collinearWarning});
    }
    const auto vertical = triangulate({2, 2, 2, 2}, {0, 1, 2, 3});
    EXPECT_FALSE(vertical.error);
    EXPECT_TRUE(vertical.rows.empty());
}

TEST(SweeptriSafety, NonFiniteCoordinatesAreRejected)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (bool sorted : {false, true}) {
        EXPECT_EQ(triangulate({0, nan, 1}, {0, 1, 2}, sorted).error, "X and Y must contain only finite values.");
        EXPECT_EQ(triangulate({0, 1, 1}, {0, 1, -inf}, sorted).error, "X and Y must contain only finite values.");
        EXPECT_EQ(triangulate({inf}, {0}, sorted).error, "X and Y must contain only finite values.");
    }
}

TEST(SweeptriSafety, OnlyRealDoubleArraysAreRead)
{
    const char* const expected = "X and Y must be real double arrays.";
    const auto numbers = kt::row({0, 1, 0});
    const auto text = kt::text("abc");
    const auto bytes = kt::bytes(1, 3, {0, 1, 2});
    const ky::ArrayHandle sparse(ky::createSparse(3, 1, 0));
    for (const kyArray* other : {text.get(), bytes.get(), sparse.get()}) {
        EXPECT_EQ(errorOf(kt::call(plugin(), 1, {other, numbers.get()})), expected);
        EXPECT_EQ(errorOf(kt::call(plugin(), 1, {numbers.get(), other})), expected);
    }
    // A sparse matrix whose m*n exceeds 32 bits: the sizes are compared in
    // 64 bits, and the class is checked before anything is read.
    const ky::ArrayHandle huge(ky::createSparse(65536, 65536, 0));
    EXPECT_EQ(errorOf(kt::call(plugin(), 1, {huge.get(), huge.get()})), expected);
    EXPECT_EQ(errorOf(kt::call(plugin(), 1, {huge.get(), numbers.get()})), "X and Y must be the same size.");
}

TEST(SweeptriSafety, TriangleMatrixOfTheLargestAcceptedCountFits)
{
    EXPECT_EQ(sweeptri::maxSiteCount, 357913891);
    EXPECT_LE(3 * (2 * sweeptri::maxSiteCount + 100), std::int64_t{INT32_MAX});
    EXPECT_GT(3 * (2 * (sweeptri::maxSiteCount + 1) + 100), std::int64_t{INT32_MAX});
}

TEST(SweeptriSafety, OneMorePointThanTheLimitIsRefusedBeforeAnythingIsRead)
{
    // The coordinates hold no memory: a call that read one of them, or
    // tried to make the matrix, would fault or fail differently.
    const std::int32_t n = static_cast<std::int32_t>(sweeptri::maxSiteCount + 1);
    const kt::UnbackedMatrix x(n, 1), y(1, n);
    const std::string expected = "Too many points: the triangle matrix would exceed the largest array size.";
    EXPECT_EQ(errorOf(kt::call(plugin(), 1, {x.get(), y.get()})), expected);
    const ky::ArrayHandle sorted = kt::text("sorted");
    EXPECT_EQ(errorOf(kt::call(plugin(), 1, {x.get(), y.get(), sorted.get()})), expected);
}

}  // namespace
