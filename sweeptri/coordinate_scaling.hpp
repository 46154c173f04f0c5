// Scaling the sites by a power of two when their magnitudes would make the
// sweep's arithmetic overflow or underflow.
//
// Every step of the sweep is homogeneous in the coordinates: differences,
// products and quotients of coordinates; the parallel-bisector tolerance
// compares the determinant of normalised (dimensionless) line coefficients;
// the beach line's slots and the queue's buckets are ratios of coordinate
// differences to spans. Multiplying every coordinate by 2^k is exact for
// values that stay normal, and scales every intermediate result by a power
// of two without changing its significand, so no comparison and no row
// changes, as long as nothing over- or underflows. Sites whose magnitudes
// leave the safe range are therefore moved into it by one common power of
// two; the rows are point positions, so nothing needs scaling back.
#pragma once

#include <cstdint>

#include "sweep_state.hpp"

namespace sweeptri {

// Sites whose non-zero magnitudes all have binary exponents within
// -safeExponent .. safeExponent are triangulated as they are. The sweep's
// largest intermediate results are squared distances to circle centres
// that lie up to 2^38 times the largest magnitude away (the determinant of
// a crossing is at least 1e-10): below 2^(2*128 + 80). Its smallest
// non-zero ones are products of up to two coordinate differences and two
// normalised slopes; a non-zero difference is at least 2^-52 times the
// smallest magnitude and a slope at least that over 4 times the largest,
// which keeps them above 2^(4*(-128) - 2*128 - 212) = 2^-980, still normal.
inline constexpr int safeExponent = 128;

// The power of two by which the coordinates of sites[0 .. n-1] are to be
// multiplied: 0 when they lie within the safe range (the sweep then runs on
// them exactly as given), otherwise the exponent that centres their
// exponents on 0, limited so that the scaled values stay exact (no value is
// scaled down below the normal range, none scaled up past the largest
// double). Denormal coordinates are scaled up, which is always exact.
int siteScaleExponent(const Site* sites, std::int32_t n);

// Multiplies the coordinates of sites[0 .. n-1] by 2^exponent.
void scaleSites(Site* sites, std::int32_t n, int exponent);

}  // namespace sweeptri
