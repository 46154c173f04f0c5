// Exact values rounded once to the nearest double (ties to even), with
// subnormal results and overflow to infinity handled as IEEE 754 rounds.
#pragma once

#include <gmpxx.h>

namespace ky::geometry {

// The double nearest to (p / q) * 2^e, q non-zero.
double roundQuotient(const mpz_class& p, const mpz_class& q, long e);

// The double nearest to the rational v.
inline double roundRational(const mpq_class& v) { return roundQuotient(v.get_num(), v.get_den(), 0); }

}  // namespace ky::geometry
