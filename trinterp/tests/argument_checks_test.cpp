// The refusals of the call: their order and exact texts, and the shapes of
// the result that every accepted call gets.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "interpolation_calls.hpp"

namespace {

using ky::testing::call;
using ky::testing::matrix;
using ky::testing::row;
using ky::testing::text;
using trinterp::testing::Call;
using trinterp::testing::errorOf;
using trinterp::testing::results;
using trinterp::testing::runPlugin;

const double nan = std::numeric_limits<double>::quiet_NaN();

// The unit square in two rows, z = x + 2y.
Call square()
{
    Call c;
    c.x = {0, 1, 0, 1};
    c.y = {0, 0, 1, 1};
    c.values({0, 1, 2, 3});
    c.tri = {1, 3, 4, 4, 2, 1};  // rows (1, 4, 2) and (3, 4, 1)
    c.queries({0.25}, {0.5});
    return c;
}

kyxFunctionType plugin() { return ky::testing::builtPlugin("trinterp"); }

TEST(TrinterpArguments, CountsComeFirst)
{
    const ky::ArrayHandle word = text("no");
    const kyArray* w = word.get();
    EXPECT_EQ(errorOf(call(plugin(), 1, {w, w, w, w, w, w, w, w})), "Too many input arguments.");
    EXPECT_EQ(errorOf(call(plugin(), 1, {w, w, w, w, w})), "Not enough input arguments.");
    EXPECT_EQ(errorOf(call(plugin(), 0, {})), "Not enough input arguments.");
    EXPECT_EQ(errorOf(call(plugin(), 2, {w, w, w, w, w, w})), "Too many output arguments.");
}

TEST(TrinterpArguments, SizesAreCheckedInOrderWithTheirTexts)
{
    Call c = square();
    c.y = {0, 0, 1};
    c.triColumns = 2;
    c.values({0, 1});
    EXPECT_EQ(errorOf(runPlugin(c)), "X and Y must be the same length.");
    c = square();
    c.values({0, 1, 2});
    c.triColumns = 2;
    EXPECT_EQ(errorOf(runPlugin(c)), "Z must be n-by-k or 1-by-n, where n is the length of X and Y.");
    c.valueColumns(4, {0, 1, 2, 3, 4, 5, 6, 7});
    c.zRows = 2;  // 2-by-4: neither a row per point nor a row of n
    EXPECT_EQ(errorOf(runPlugin(c)), "Z must be n-by-k or 1-by-n, where n is the length of X and Y.");
    c = square();
    c.tri = {1, 3, 4, 4, 2, 1, 1, 1};
    c.triColumns = 4;
    c.xi = {0.1, 0.2};  // XI 1-by-2 and YI 1-by-1 too
    EXPECT_EQ(errorOf(runPlugin(c)), "TRI must be M-by-3.");
    c = square();
    const ky::ArrayHandle x = row(c.x), y = row(c.y), z = row(c.z), tri = matrix(2, 3, c.tri);
    const ky::ArrayHandle xi = matrix(2, 1, {0.1, 0.2}), yi = matrix(1, 2, {0.1, 0.2});
    EXPECT_EQ(errorOf(call(plugin(), 1, {x.get(), y.get(), z.get(), tri.get(), xi.get(), yi.get()})),
              "XI and YI must be the same size.");
}

TEST(TrinterpArguments, EveryArgumentMustBeARealFullMatrix)
{
    const Call c = square();
    const ky::ArrayHandle x = row(c.x), y = row(c.y), z = row(c.z), tri = matrix(2, 3, c.tri);
    const ky::ArrayHandle xi = row(c.xi), yi = row(c.yi);
    const ky::ArrayHandle word4 = text("abcd"), word1 = text("a"), tri3 = text("abc"), octets = ky::testing::bytes(1, 4, {0, 1, 2, 3});
    const auto with = [&](int at, const kyArray* replacement) {
        std::vector<const kyArray*> inputs = {x.get(), y.get(), z.get(), tri.get(), xi.get(), yi.get()};
        inputs[static_cast<std::size_t>(at)] = replacement;
        return errorOf(call(plugin(), 1, inputs));
    };
    EXPECT_EQ(with(0, word4.get()), "X must be a real full double matrix.");
    EXPECT_EQ(with(1, octets.get()), "Y must be a real full double matrix.");
    EXPECT_EQ(with(2, octets.get()), "Z must be a real full double matrix.");
    EXPECT_EQ(with(4, word1.get()), "XI must be a real full double matrix.");
    EXPECT_EQ(with(5, word1.get()), "YI must be a real full double matrix.");
    const ky::ArrayHandle charTri(ky::createCharMatrix(2, 3));
    EXPECT_EQ(with(3, charTri.get()), "TRI must be a real full double matrix.");
}

TEST(TrinterpArguments, TheMethodIsLinearOrNaturalInAnyCase)
{
    Call c = square();
    for (const char* method : {"cubic", "linearx", "nearest", "natural "}) {
        c.method = method;
        EXPECT_EQ(errorOf(runPlugin(c)), "METHOD must be 'linear' or 'natural'.") << method;
    }
    c.method = std::string("linear\0x", 8);
    EXPECT_EQ(errorOf(runPlugin(c)), "METHOD must be 'linear' or 'natural'.");
    for (const char* method : {"linear", "Linear", "NATURAL", "natural"}) {
        c.method = method;
        EXPECT_EQ(results(runPlugin(c)), std::vector<double>{1.25}) << method;
    }
    const ky::ArrayHandle x = row(c.x), y = row(c.y), z = row(c.z), tri = matrix(2, 3, c.tri);
    const ky::ArrayHandle xi = row(c.xi), yi = row(c.yi), number = row({1}), empty = text("");
    for (const kyArray* method : {number.get(), empty.get()})
        EXPECT_EQ(errorOf(call(plugin(), 1, {x.get(), y.get(), z.get(), tri.get(), xi.get(), yi.get(), method})),
                  "METHOD must be 'linear' or 'natural'.");
}

TEST(TrinterpArguments, PointsMustBeFiniteAndCornersWholePointNumbers)
{
    for (const double bad : {nan, std::numeric_limits<double>::infinity()}) {
        Call c = square();
        c.y[3] = bad;  // even a point no row uses
        c.tri = {1, 2, 3};
        EXPECT_EQ(errorOf(runPlugin(c)), "X and Y must contain only finite values.");
    }
    for (const double bad : {0.0, 5.0, -1.0, 1.5, nan, 1e300}) {
        Call c = square();
        c.tri[4] = bad;
        EXPECT_EQ(errorOf(runPlugin(c)), "TRI must contain whole numbers from 1 to the length of X and Y.") << bad;
    }
}

TEST(TrinterpArguments, TheResultHasXIsShapeForOneValueAndAColumnPerValueElse)
{
    Call c = square();
    c.xi = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
    c.yi = {0.1, 0.1, 0.1, 0.2, 0.2, 0.2};
    c.queryRows = 2;
    ky::CallOutcome one = runPlugin(c);
    ASSERT_FALSE(one.error);
    EXPECT_EQ(one.result->m, 2);
    EXPECT_EQ(one.result->n, 3);
    // n-by-1 is one value too.
    c.valueColumns(1, {0, 1, 2, 3});
    EXPECT_EQ(results(runPlugin(c)), results(one));
    // n-by-2: 6-by-2, the queries in XI's column-major order.
    c.valueColumns(2, {0, 1, 2, 3, 1, 1, 1, 1});
    const ky::CallOutcome two = runPlugin(c);
    ASSERT_FALSE(two.error);
    EXPECT_EQ(two.result->m, 6);
    EXPECT_EQ(two.result->n, 2);
    const std::vector<double> values = results(two);
    for (std::size_t q = 0; q < 6; ++q) {
        EXPECT_DOUBLE_EQ(values[q], c.xi[q] + 2 * c.yi[q]);
        EXPECT_DOUBLE_EQ(values[6 + q], 1.0);
    }
    // No queries: an empty result of XI's shape; no values: q-by-0.
    c = square();
    c.queries({}, {});
    c.queryRows = 0;
    const ky::CallOutcome none = runPlugin(c);
    ASSERT_FALSE(none.error);
    EXPECT_EQ(none.result->m, 0);
    c = square();
    c.valueColumns(0, {});
    const ky::CallOutcome noValues = runPlugin(c);
    ASSERT_FALSE(noValues.error);
    EXPECT_EQ(noValues.result->m, 1);
    EXPECT_EQ(noValues.result->n, 0);
}

TEST(TrinterpArguments, NoRowsOrNoPointsGiveNaNEverywhere)
{
    Call c = square();
    c.tri = {};
    EXPECT_TRUE(std::isnan(results(runPlugin(c)).at(0)));
    c.tri = {1, 2, 3};  // one flat row: holds nothing
    c.x = {0, 1, 2, 3};
    c.y = {0, 0, 0, 0};
    c.queries({1}, {0});
    EXPECT_TRUE(std::isnan(results(runPlugin(c)).at(0)));
    c = Call{};
    c.values({});
    c.queries({0.5, 1}, {0.5, 2});
    const std::vector<double> empty = results(runPlugin(c));
    ASSERT_EQ(empty.size(), 2u);
    EXPECT_TRUE(std::isnan(empty[0]) && std::isnan(empty[1]));
}

}  // namespace
