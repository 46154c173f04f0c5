#include "coordinate_scaling.hpp"

#include <cmath>

#include "geometry/scale_exponent.hpp"

namespace sweeptri {

int siteScaleExponent(const Site* sites, std::int32_t n)
{
    ky::geometry::MagnitudeRange range;
    for (std::int32_t i = 0; i < n; ++i) {
        range.include(sites[i].x);
        range.include(sites[i].y);
    }
    if (range.onlyZeros()) return 0;  // only zeros: nothing to scale
    if (range.within(safeExponent)) return 0;
    const int smallestExponent = range.smallestExponent();
    const int largestExponent = range.largestExponent();
    return ky::geometry::exactScaling(ky::geometry::centringExponent(smallestExponent, largestExponent),
                                      smallestExponent, largestExponent);
}

void scaleSites(Site* sites, std::int32_t n, int exponent)
{
    if (exponent == 0) return;
    for (std::int32_t i = 0; i < n; ++i) {
        sites[i].x = std::ldexp(sites[i].x, exponent);
        sites[i].y = std::ldexp(sites[i].y, exponent);
    }
}

}  // namespace sweeptri
