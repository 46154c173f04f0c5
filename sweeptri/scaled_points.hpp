// The caller's coordinates as the sweep saw them: scaled by 2^exponent.
#pragma once

#include <cmath>
#include <cstdint>

namespace sweeptri {

struct ScaledPoints {
    const double* x;
    const double* y;
    int exponent;
    double px(std::int32_t i) const { return exponent == 0 ? x[i] : std::ldexp(x[i], exponent); }
    double py(std::int32_t i) const { return exponent == 0 ? y[i] : std::ldexp(y[i], exponent); }
};

}  // namespace sweeptri
