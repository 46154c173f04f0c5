#include "coordinate_scaling.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>

#include "ky.h"

namespace nearwalk {

namespace {

// Binary exponent of the smallest normal double (-1022) and of the largest
// finite one (1023).
constexpr int minNormalExponent = DBL_MIN_EXP - 1;
constexpr int maxFiniteExponent = DBL_MAX_EXP - 1;

// Largest finite and smallest non-zero finite magnitude seen so far.
struct MagnitudeRange {
    double largest = 0.0;
    double smallest = DBL_MAX;

    void include(const double* values, std::int64_t count)
    {
        for (std::int64_t i = 0; i < count; ++i) {
            const double m = std::fabs(values[i]);
            if (!(m <= DBL_MAX)) continue;  // NaN or infinite
            if (m > largest) largest = m;
            if (m != 0.0 && m < smallest) smallest = m;
        }
    }

    // Query points count only when both their coordinates are finite: the
    // others are never searched.
    void includeQueries(const double* xi, const double* yi, std::int64_t count)
    {
        for (std::int64_t i = 0; i < count; ++i)
            if (std::isfinite(xi[i]) && std::isfinite(yi[i])) {
                include(xi + i, 1);
                include(yi + i, 1);
            }
    }
};

}  // namespace

int searchScaleExponent(const double* x, const double* y, std::int64_t n, const double* xi, const double* yi,
                        std::int64_t nq)
{
    MagnitudeRange range;
    range.include(x, n);
    range.include(y, n);
    range.includeQueries(xi, yi, nq);
    if (range.largest == 0.0) return 0;  // only zeros: nothing to scale
    const int smallest = std::ilogb(range.smallest);
    const int largest = std::ilogb(range.largest);
    if (smallest >= -safeExponent && largest <= safeExponent) return 0;
    int k = -((smallest + largest) >> 1);  // the range's middle exponent moves to 0
    // A range wider than the safe one cannot lie inside it. Then the largest
    // magnitudes are kept inside, since an overflowing square would make
    // every distance infinite and every comparison false; only the squares
    // of the tiniest differences may underflow, as they would unscaled.
    k = std::min(k, safeExponent - largest);
    if (k < 0) k = std::max(k, minNormalExponent - smallest);
    return std::min(k, maxFiniteExponent - largest);
}

const double* scaledCopy(const double* values, std::int64_t count, int exponent)
{
    auto* copy = static_cast<double*>(kyCalloc(static_cast<std::size_t>(std::max<std::int64_t>(count, 1)), sizeof(double)));
    for (std::int64_t i = 0; i < count; ++i) copy[i] = std::ldexp(values[i], exponent);
    return copy;
}

}  // namespace nearwalk
