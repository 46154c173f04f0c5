// Maps a value onto one of count cells: (value - lower) / span * count,
// truncated toward zero and clamped into 0 .. count-1; a quotient that is
// not a number maps to 0. The clamping is done in floating point, so no
// out-of-range double is ever converted to an integer.
#pragma once

#include <cstdint>

namespace sweeptri {

inline std::int32_t scaledIndex(double value, double lower, double span, std::int32_t count)
{
    const double scaled = (value - lower) / span * static_cast<double>(count);
    if (!(scaled >= 0.0)) return 0;  // negative or not a number
    if (scaled >= static_cast<double>(count)) return count - 1;
    return static_cast<std::int32_t>(scaled);
}

}  // namespace sweeptri
