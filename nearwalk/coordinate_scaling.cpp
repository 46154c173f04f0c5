#include "coordinate_scaling.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "geometry/scale_exponent.hpp"
#include "ky.h"

namespace nearwalk {

namespace {

using ky::geometry::MagnitudeRange;

// Query points count only when both their coordinates are finite: the
// others are never searched.
void includeQueries(MagnitudeRange& range, const double* xi, const double* yi, std::int64_t count)
{
    for (std::int64_t i = 0; i < count; ++i)
        if (std::isfinite(xi[i]) && std::isfinite(yi[i])) {
            range.includeFinite(xi[i]);
            range.includeFinite(yi[i]);
        }
}

}  // namespace

int searchScaleExponent(const double* x, const double* y, std::int64_t n, const double* xi, const double* yi,
                        std::int64_t nq)
{
    MagnitudeRange range;
    for (std::int64_t i = 0; i < n; ++i) range.includeFinite(x[i]);
    for (std::int64_t i = 0; i < n; ++i) range.includeFinite(y[i]);
    includeQueries(range, xi, yi, nq);
    if (range.onlyZeros()) return 0;  // only zeros: nothing to scale
    if (range.within(safeExponent)) return 0;
    const int smallest = range.smallestExponent();
    const int largest = range.largestExponent();
    // A range wider than the safe one cannot lie inside it. Then the largest
    // magnitudes are kept inside, since an overflowing square would make
    // every distance infinite and every comparison false; only the squares
    // of the tiniest differences may underflow, as they would unscaled.
    const int k = std::min(ky::geometry::centringExponent(smallest, largest), safeExponent - largest);
    return ky::geometry::exactScaling(k, smallest, largest);
}

const double* scaledCopy(const double* values, std::int64_t count, int exponent)
{
    auto* copy = static_cast<double*>(kyCalloc(static_cast<std::size_t>(std::max<std::int64_t>(count, 1)), sizeof(double)));
    for (std::int64_t i = 0; i < count; ++i) copy[i] = std::ldexp(values[i], exponent);
    return copy;
}

}  // namespace nearwalk
