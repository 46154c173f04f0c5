// Scaling data and query points by one power of two when their magnitudes
// would make squared distances overflow or underflow.
//
// The walk only compares squared distances dy*dy + dx*dx. Multiplying all
// coordinates by 2^k is exact for values that stay normal and multiplies
// every squared distance by 4^k without changing its significand, as long
// as no square over- or underflows, so no comparison and no answer changes.
#pragma once

#include <cstdint>

namespace nearwalk {

// Coordinates whose finite non-zero magnitudes all have binary exponents
// within -safeExponent .. safeExponent are searched as they are: coordinate
// differences then lie below 2^450, their squares below 2^901, and a
// non-zero difference is at least 2^-52 times the smallest magnitude, so
// its square is at least 2^-1000, still normal.
inline constexpr int safeExponent = 448;

// The power of two by which the data and query coordinates (x[0 .. n-1],
// y[0 .. n-1], xi[0 .. nq-1], yi[0 .. nq-1]) are to be multiplied: 0 when
// they lie within the safe range, otherwise the exponent that centres their
// exponents on 0, lowered where needed so that the largest magnitude stays
// within the safe range, and limited so that the scaled values stay exact.
// Data coordinates that are NaN or infinite take no part, nor do query
// points with a coordinate that is (scaling leaves such values as they
// are, and such queries are not searched).
int searchScaleExponent(const double* x, const double* y, std::int64_t n, const double* xi, const double* yi,
                        std::int64_t nq);

// A copy of values[0 .. count-1] multiplied by 2^exponent, in memory from
// the host (kyCalloc) that the call's end reclaims.
const double* scaledCopy(const double* values, std::int64_t count, int exponent);

}  // namespace nearwalk
