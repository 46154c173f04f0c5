#include "exact_frame.hpp"

#include <algorithm>
#include <climits>

namespace kyhost_spatial {

ExactFrame ExactFrame::ofData(const double* x, const double* y, std::int64_t n)
{
    int smallest = INT_MAX, largest = INT_MIN;
    for (const double* values : {x, y})
        for (std::int64_t i = 0; i < n; ++i)
            if (values[i] != 0.0) {
                const int e = std::ilogb(values[i]);
                smallest = std::min(smallest, e);
                largest = std::max(largest, e);
            }
    ExactFrame frame;
    if (smallest == INT_MAX) return frame;  // only zeros
    if (smallest >= -safeExponent && largest <= safeExponent) return frame;
    if (largest - smallest > 2 * safeExponent) {
        frame.holdsData_ = false;
        return frame;
    }
    // Moves the middle exponent to 0: then smallest + k >= -safeExponent
    // and largest + k <= safeExponent, and every scaled value stays normal.
    frame.exponent_ = -((smallest + largest) >> 1);
    return frame;
}

}  // namespace kyhost_spatial
