#include "coordinate_scaling.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace sweeptri {

namespace {

// Binary exponent of the smallest normal double (-1022) and of the largest
// finite one (1023).
constexpr int minNormalExponent = DBL_MIN_EXP - 1;
constexpr int maxFiniteExponent = DBL_MAX_EXP - 1;

int centringExponent(int smallest, int largest)
{
    int k = -((smallest + largest) >> 1);  // the range's middle exponent moves to 0
    if (k < 0) k = std::max(k, minNormalExponent - smallest);
    return std::min(k, maxFiniteExponent - largest);
}

}  // namespace

int siteScaleExponent(const Site* sites, std::int32_t n)
{
    double largest = 0.0;
    double smallest = DBL_MAX;  // smallest non-zero magnitude
    for (std::int32_t i = 0; i < n; ++i) {
        for (const double v : {sites[i].x, sites[i].y}) {
            const double m = std::fabs(v);
            if (m > largest) largest = m;
            if (m != 0.0 && m < smallest) smallest = m;
        }
    }
    if (largest == 0.0) return 0;  // only zeros: nothing to scale
    const int smallestExponent = std::ilogb(smallest);
    const int largestExponent = std::ilogb(largest);
    if (smallestExponent >= -safeExponent && largestExponent <= safeExponent) return 0;
    return centringExponent(smallestExponent, largestExponent);
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
