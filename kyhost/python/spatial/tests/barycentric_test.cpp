// Barycentric weights and transforms at any magnitude, and scipy's NaN for
// nearly degenerate triangles.
#include <gtest/gtest.h>

#include <cmath>

#include "barycentric.hpp"

namespace {

using kyhost_spatial::barycentricTransform;
using kyhost_spatial::barycentricWeights;

TEST(Barycentric, WeightsAndTransformAgreeAtEveryScale)
{
    for (const double scale : {1.0, 1e-300, 1e300, 1e-160, 1e155, 0x1p-1060}) {
        const std::array<double, 6> corners = {0.1 * scale, 0.2 * scale, 0.9 * scale, 0.3 * scale, 0.4 * scale, 0.8 * scale};
        const double qx = 0.45 * scale, qy = 0.4 * scale;
        const auto w = barycentricWeights(corners, qx, qy);
        EXPECT_NEAR(w[0] + w[1] + w[2], 1.0, 1e-14) << scale;
        // Reconstruct the query from the weights, relative to the scale.
        EXPECT_NEAR((w[0] * corners[0] + w[1] * corners[2] + w[2] * corners[4]) / scale, 0.45, 1e-3) << scale;
        const auto t = barycentricTransform(corners);
        if (scale < 1e-300) continue;  // the inverse of so small a matrix overflows
        // c = T (q - r3) gives the first two weights.
        const double c0 = t[0] * (qx - t[4]) + t[1] * (qy - t[5]);
        const double c1 = t[2] * (qx - t[4]) + t[3] * (qy - t[5]);
        EXPECT_NEAR(c0, w[0], 1e-12) << scale;
        EXPECT_NEAR(c1, w[1], 1e-12) << scale;
    }
}

TEST(Barycentric, NearlyFlatTrianglesGetNaNTransforms)
{
    EXPECT_FALSE(std::isnan(barycentricTransform({0, 0, 1, 0, 0.5, 1e-12})[0]));
    EXPECT_TRUE(std::isnan(barycentricTransform({0, 0, 1, 0, 0.5, 1e-13})[0]));
    EXPECT_TRUE(std::isnan(barycentricTransform({0, 0, 1, 0, 2, 0})[0]));
    EXPECT_EQ(barycentricTransform({0, 0, 1, 0, 2, 0})[4], 2.0);
}

}  // namespace
