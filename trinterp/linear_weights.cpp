#include <algorithm>
#include <cmath>
#include <limits>

#include <CGAL/Exact_rational.h>

#include "geometry/accurate_orientation.hpp"
#include "geometry/scale_exponent.hpp"
#include "interpolation_weights.hpp"

namespace trinterp {

namespace {

using Exact = CGAL::Exact_rational;
using ky::geometry::BoundedOrientation;
using ky::geometry::boundedOrientation;
using ky::geometry::DifferenceFrame;

// Each weight is trusted when every orientation's error bound lies below
// this part of the whole row's orientation: the weights are then within
// about 2^-43 of their exact values. Elsewhere (a row so thin, or so far
// from its query's magnitude, that rounding could matter) the weights are
// the exact ratios, rounded.
constexpr double trustedError = 0x1p-44;

Exact exactOrientation(const double* a, const double* b, const double* c)
{
    const Exact ax(a[0]), ay(a[1]);
    return (Exact(b[0]) - ax) * (Exact(c[1]) - ay) - (Exact(b[1]) - ay) * (Exact(c[0]) - ax);
}

void exactWeights(const double* a, const double* b, const double* c, const double* q, double weights[3])
{
    const Exact whole = exactOrientation(a, b, c);
    if (CGAL::is_zero(whole)) {
        std::fill_n(weights, 3, std::numeric_limits<double>::quiet_NaN());
        return;
    }
    weights[0] = CGAL::to_double(exactOrientation(q, b, c) / whole);
    weights[1] = CGAL::to_double(exactOrientation(a, q, c) / whole);
    weights[2] = CGAL::to_double(exactOrientation(a, b, q) / whole);
}

}  // namespace

void linearWeights(const Mesh& mesh, std::int32_t r, double qx, double qy, Neighbour weights[3])
{
    const std::int32_t* row = mesh.row(r);
    const double* a = mesh.point(row[0]);
    const double* b = mesh.point(row[1]);
    const double* c = mesh.point(row[2]);
    const double q[2] = {qx, qy};
    // The row and its query in their own frame: scaled by the power of two
    // that brings their largest difference near 1, so that no difference
    // or product overflows or underflows (none where they already lie
    // near it: there the frame is the points as given).
    const double* corners[4] = {a, b, c, q};
    const DifferenceFrame frame(corners, 4, q);
    double scaled[4][2];
    const double* p[4];
    for (int k = 0; k < 4; ++k) p[k] = frame.apply(corners[k], scaled[k]);
    // The same formula for the whole row and for each part, so that at a
    // corner its part equals the whole exactly and the others are exactly 0.
    const BoundedOrientation whole = boundedOrientation(p[0], p[1], p[2]);
    const BoundedOrientation part[3] = {boundedOrientation(p[3], p[1], p[2]), boundedOrientation(p[0], p[3], p[2]),
                                        boundedOrientation(p[0], p[1], p[3])};
    const double limit = trustedError * std::fabs(whole.value);
    bool trusted = std::isfinite(whole.value) && whole.bound <= limit;
    for (const BoundedOrientation& o : part) trusted = trusted && std::isfinite(o.value) && o.bound <= limit;
    double w[3];
    if (trusted) {
        for (int k = 0; k < 3; ++k) w[k] = part[k].value / whole.value;
    } else {
        exactWeights(a, b, c, q, w);
    }
    for (int k = 0; k < 3; ++k) weights[k] = {row[k], w[k]};
    const std::int32_t* original = mesh.originalPoint;
    std::sort(weights, weights + 3,
              [original](const Neighbour& x, const Neighbour& y) { return original[x.point] < original[y.point]; });
}

void weightedValues(const Neighbour* neighbours, std::int32_t count, const double* z, std::int32_t valueCount,
                    double* out)
{
    for (std::int32_t j = 0; j < valueCount; ++j) {
        if (count == 0) {
            out[j] = std::numeric_limits<double>::quiet_NaN();
            continue;
        }
        double sum = neighbours[0].weight * z[std::int64_t{neighbours[0].point} * valueCount + j];
        for (std::int32_t i = 1; i < count; ++i)
            sum += neighbours[i].weight * z[std::int64_t{neighbours[i].point} * valueCount + j];
        out[j] = sum;
    }
}

}  // namespace trinterp
