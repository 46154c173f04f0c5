#include "geometry/exact_rounding.hpp"

#include <cmath>

namespace ky::geometry {

namespace {

// floor(a * 2^shift / b) and its remainder, for a >= 0, b > 0; the remainder
// is measured against the denominator `den` it returns (b, or b shifted).
void shiftedDivision(const mpz_class& a, const mpz_class& b, long shift, mpz_class& quotient, mpz_class& remainder,
                     mpz_class& den)
{
    mpz_class num = a;
    den = b;
    if (shift >= 0) mpz_mul_2exp(num.get_mpz_t(), num.get_mpz_t(), static_cast<mp_bitcnt_t>(shift));
    else mpz_mul_2exp(den.get_mpz_t(), den.get_mpz_t(), static_cast<mp_bitcnt_t>(-shift));
    mpz_tdiv_qr(quotient.get_mpz_t(), remainder.get_mpz_t(), num.get_mpz_t(), den.get_mpz_t());
}

}  // namespace

double roundQuotient(const mpz_class& p, const mpz_class& q, long e)
{
    if (sgn(p) == 0) return 0.0;
    const bool negative = (sgn(p) < 0) != (sgn(q) < 0);
    const mpz_class a = abs(p), b = abs(q);
    // a / b lies in [2^(k-1), 2^(k+1)): shifting by 54 - k gives a quotient
    // of 54 or 55 bits, whose length fixes the exponent of the result.
    const long k = static_cast<long>(mpz_sizeinbase(a.get_mpz_t(), 2)) - static_cast<long>(mpz_sizeinbase(b.get_mpz_t(), 2));
    long shift = 54 - k;
    mpz_class quotient, remainder, den;
    shiftedDivision(a, b, shift, quotient, remainder, den);
    const long bits = static_cast<long>(mpz_sizeinbase(quotient.get_mpz_t(), 2));
    // Keep 53 bits, fewer where the result is subnormal (its last bit at
    // 2^-1074).
    long drop = bits - 53;
    if (e - shift + drop < -1074) drop = -1074 - (e - shift);
    shift -= drop;
    shiftedDivision(a, b, shift, quotient, remainder, den);
    // Round half to even on the remainder.
    const int half = cmp(2 * remainder, den);
    if (half > 0 || (half == 0 && mpz_odd_p(quotient.get_mpz_t()))) ++quotient;
    // quotient <= 2^53 is exact in a double; ldexp rounds nothing here and
    // overflows to infinity only beyond the largest double.
    const double magnitude = std::ldexp(quotient.get_d(), static_cast<int>(std::max(-100000L, std::min(100000L, e - shift))));
    return negative ? -magnitude : magnitude;
}

}  // namespace ky::geometry
