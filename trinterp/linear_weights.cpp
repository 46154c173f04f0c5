#include <algorithm>
#include <limits>

#include "accurate_orientation.hpp"
#include "interpolation_weights.hpp"

namespace trinterp {

void linearWeights(const Mesh& mesh, std::int32_t r, double qx, double qy, Neighbour weights[3])
{
    const std::int32_t* row = mesh.row(r);
    const double* a = mesh.point(row[0]);
    const double* b = mesh.point(row[1]);
    const double* c = mesh.point(row[2]);
    const double q[2] = {qx, qy};
    // The same formula for the whole row and for each part, so that at a
    // corner its part equals the whole exactly and the others are exactly 0.
    const double whole = accurateOrientation(a, b, c);
    weights[0] = {row[0], accurateOrientation(q, b, c) / whole};
    weights[1] = {row[1], accurateOrientation(a, q, c) / whole};
    weights[2] = {row[2], accurateOrientation(a, b, q) / whole};
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
