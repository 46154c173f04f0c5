#include "barycentric.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kyhost_spatial {

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Multiplies every value by one power of two so that the largest magnitude
// lies near 1 (nothing when all are 0 or one is not finite); returns the
// exponent used.
template <std::size_t N>
int scaleToUnit(std::array<double, N>& values)
{
    double largest = 0;
    for (const double v : values) largest = std::fmax(largest, std::fabs(v));
    if (!(largest > 0) || !std::isfinite(largest)) return 0;
    const int e = -std::ilogb(largest);
    for (double& v : values) v = std::ldexp(v, e);
    return e;
}

// Scales the corners (and query) down by 2^24 when their magnitudes are so
// large that their differences could overflow; returns the exponent used.
template <std::size_t N>
int shrinkAgainstOverflow(std::array<double, N>& values)
{
    double largest = 0;
    for (const double v : values) largest = std::fmax(largest, std::fabs(v));
    if (!(largest > 0x1p1000)) return 0;
    for (double& v : values) v = std::ldexp(v, -24);
    return -24;
}

}  // namespace

std::array<double, 3> barycentricWeights(const std::array<double, 6>& corners, double qx, double qy)
{
    std::array<double, 8> p = {corners[0], corners[1], corners[2], corners[3], corners[4], corners[5], qx, qy};
    shrinkAgainstOverflow(p);
    // Edge vectors b - a, c - a and the corners relative to the query,
    // scaled together by the size of the edges (ratios of areas do not
    // change when every length is multiplied alike).
    std::array<double, 4> edges = {p[2] - p[0], p[3] - p[1], p[4] - p[0], p[5] - p[1]};
    const int e = scaleToUnit(edges);
    std::array<double, 6> d{};
    for (int j = 0; j < 3; ++j) {
        d[2 * j] = std::ldexp(p[2 * j] - p[6], e);
        d[2 * j + 1] = std::ldexp(p[2 * j + 1] - p[7], e);
    }
    const double whole = edges[0] * edges[3] - edges[1] * edges[2];
    std::array<double, 3> weights{};
    for (int j = 0; j < 3; ++j) {
        const int b = (j + 1) % 3, c = (j + 2) % 3;
        weights[j] = (d[2 * b] * d[2 * c + 1] - d[2 * b + 1] * d[2 * c]) / whole;
    }
    return weights;
}

std::array<double, 6> barycentricTransform(const std::array<double, 6>& corners)
{
    std::array<double, 6> p = corners;
    const int shrunk = shrinkAgainstOverflow(p);
    // M = [[a, b], [c, d]] with columns r1 - r3 and r2 - r3, scaled to unit
    // size: M' = 2^e M, so M^-1 = 2^e M'^-1.
    std::array<double, 4> m = {p[0] - p[4], p[2] - p[4], p[1] - p[5], p[3] - p[5]};
    const int e = shrunk + scaleToUnit(m);
    const double det = m[0] * m[3] - m[1] * m[2];
    const std::array<double, 4> inverse = {m[3] / det, -m[1] / det, -m[2] / det, m[0] / det};
    const double norm = std::fmax(std::fabs(m[0]) + std::fabs(m[2]), std::fabs(m[1]) + std::fabs(m[3]));
    const double inverseNorm = std::fmax(std::fabs(inverse[0]) + std::fabs(inverse[2]),
                                         std::fabs(inverse[1]) + std::fabs(inverse[3]));
    const double rcond = 1.0 / (norm * inverseNorm);
    std::array<double, 6> transform{};
    const bool singular = !(det != 0) || !(rcond >= 1000 * std::numeric_limits<double>::epsilon());
    for (int i = 0; i < 4; ++i) transform[i] = singular ? nan : std::ldexp(inverse[i], e);
    transform[4] = corners[4];
    transform[5] = corners[5];
    return transform;
}

}  // namespace kyhost_spatial
