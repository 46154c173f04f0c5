#include "sweeptri_triangles.hpp"

#include <gtest/gtest.h>

#include "plugin_testing.hpp"

namespace nearwalk::testing {

std::vector<double> sweeptriTriangles(const std::vector<double>& x, const std::vector<double>& y)
{
    static const kyxFunctionType sweeptri = ky::testing::builtPlugin("sweeptri");
    const ky::ArrayHandle xs = ky::testing::row(x), ys = ky::testing::row(y);
    const ky::CallOutcome outcome = ky::testing::call(sweeptri, 1, {xs.get(), ys.get()});
    EXPECT_FALSE(outcome.error) << *outcome.error;
    EXPECT_TRUE(outcome.warnings.empty());
    if (outcome.error || !outcome.result || outcome.result->n != 3) return {};
    return ky::testing::values(outcome.result.get());
}

}  // namespace nearwalk::testing
