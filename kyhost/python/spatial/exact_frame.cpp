#include "exact_frame.hpp"

#include "geometry/scale_exponent.hpp"

namespace kyhost_spatial {

ExactFrame ExactFrame::ofData(const double* x, const double* y, std::int64_t n)
{
    ky::geometry::MagnitudeRange range;
    for (const double* values : {x, y})
        for (std::int64_t i = 0; i < n; ++i) range.include(values[i]);
    ExactFrame frame;
    if (range.onlyZeros() || range.within(safeExponent)) return frame;
    const int smallest = range.smallestExponent(), largest = range.largestExponent();
    if (largest - smallest > 2 * safeExponent) {
        frame.holdsData_ = false;
        return frame;
    }
    // Moves the middle exponent to 0: then smallest + k >= -safeExponent
    // and largest + k <= safeExponent, and every scaled value stays normal.
    frame.exponent_ = ky::geometry::centringExponent(smallest, largest);
    return frame;
}

}  // namespace kyhost_spatial
