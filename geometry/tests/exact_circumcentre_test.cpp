// Rounding of exact quotients against MPFR, and circumcentres against
// rationals, across the whole range of doubles.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <random>

#include "geometry/exact_circumcentre.hpp"
#include "geometry/exact_rounding.hpp"

using namespace ky::geometry;

namespace {

// MPFR's correctly rounded double of p / q * 2^e (subnormals included).
double mpfrQuotient(const mpz_class& p, const mpz_class& q, long e)
{
    const mpfr_exp_t oldMin = mpfr_get_emin(), oldMax = mpfr_get_emax();
    mpfr_set_emin(-1073);
    mpfr_set_emax(1024);
    mpfr_t v;
    mpfr_init2(v, 53);
    mpq_class r(p, q);
    r.canonicalize();
    if (e >= 0) mpq_mul_2exp(r.get_mpq_t(), r.get_mpq_t(), static_cast<mp_bitcnt_t>(e));
    else mpq_div_2exp(r.get_mpq_t(), r.get_mpq_t(), static_cast<mp_bitcnt_t>(-e));
    int t = mpfr_set_q(v, r.get_mpq_t(), MPFR_RNDN);
    t = mpfr_subnormalize(v, t, MPFR_RNDN);
    const double d = mpfr_get_d(v, MPFR_RNDN);
    mpfr_clear(v);
    mpfr_set_emin(oldMin);
    mpfr_set_emax(oldMax);
    return d;
}

mpz_class randomInteger(std::mt19937_64& random, int bits)
{
    mpz_class v = 0;
    for (int i = 0; i < bits; i += 32) v = (v << 32) + static_cast<unsigned>(random());
    return v >> (bits % 32 == 0 ? 0 : 32 - bits % 32);
}

}  // namespace

TEST(ExactRounding, MatchesMpfrAcrossTheRangeIncludingSubnormalsAndTies)
{
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        mpz_class p = randomInteger(random, 1 + static_cast<int>(random() % 200));
        mpz_class q = randomInteger(random, 1 + static_cast<int>(random() % 200));
        if (q == 0) q = 1;
        if (random() % 2) p = -p;
        // Exponents beyond both ends, so that overflow and subnormals occur.
        const long e = static_cast<long>(random() % 2400) - 1200;
        EXPECT_EQ(roundQuotient(p, q, e), mpfrQuotient(p, q, e)) << p.get_str() << "/" << q.get_str() << " e=" << e;
    }
    // Ties go to even, also at the smallest subnormal.
    EXPECT_EQ(roundQuotient(mpz_class(1), mpz_class(1), -1075), 0.0);
    EXPECT_EQ(roundQuotient(mpz_class(3), mpz_class(1), -1075), 0x1p-1073);
    EXPECT_EQ(roundQuotient((mpz_class(1) << 53) + 1, mpz_class(1), 0), 0x1p53);
    EXPECT_EQ(roundQuotient((mpz_class(1) << 53) + 3, mpz_class(1), 0), 0x1p53 + 4);
    EXPECT_EQ(roundQuotient(mpz_class(1), mpz_class(3), 0), 1.0 / 3.0);
    EXPECT_EQ(roundQuotient(mpz_class(-2), mpz_class(3), 0), -2.0 / 3.0);
    EXPECT_TRUE(std::isinf(roundQuotient(mpz_class(1), mpz_class(1), 1024)));
    EXPECT_EQ(roundQuotient(mpz_class(0), mpz_class(5), 10), 0.0);
}

TEST(ExactCircumcentre, RoundsTheRationalCentreOnceAtAnyMagnitude)
{
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    CircumcentreWork work;
    for (int scale : {0, -1000, -996, 990, 1000, -60, 60}) {
        for (int i = 0; i < 300; ++i) {
            double v[6];
            for (double& c : v) c = std::ldexp(unit(random), scale);
            const RoundedPoint got = work.rounded(v[0], v[1], v[2], v[3], v[4], v[5]);
            const RationalPoint exact = exactCircumcentre(v[0], v[1], v[2], v[3], v[4], v[5]);
            // The rational centre rounded by MPFR.
            EXPECT_EQ(got.x, mpfrQuotient(exact.x.get_num(), exact.x.get_den(), 0));
            EXPECT_EQ(got.y, mpfrQuotient(exact.y.get_num(), exact.y.get_den(), 0));
            // Scaling by a power of two scales the centre exactly (inside the
            // normal range).
            if (scale == 0) {
                const RoundedPoint big = work.rounded(std::ldexp(v[0], 900), std::ldexp(v[1], 900), std::ldexp(v[2], 900),
                                                      std::ldexp(v[3], 900), std::ldexp(v[4], 900), std::ldexp(v[5], 900));
                if (std::isfinite(big.x)) {
                    EXPECT_EQ(big.x, std::ldexp(got.x, 900));
                }
            }
        }
    }
    // Nearly collinear triangles (centres far out, long quotients) and small
    // integers (centres on or halfway between doubles, ties of the midpoint
    // comparisons) against the rationals.
    for (int i = 0; i < 3000; ++i) {
        double v[6];
        if (i % 2) {
            const double t = unit(random), s = unit(random);
            v[0] = 0.1, v[1] = 0.3, v[2] = 0.1 + t, v[3] = 0.3 + 2 * t, v[4] = 0.1 + s;
            v[5] = std::nextafter(0.3 + 2 * s, (i % 4 == 1) ? 1.0 : -1.0);
        } else {
            for (double& c : v) c = static_cast<double>(static_cast<int>(random() % 9)) - 4.0;
        }
        const RationalPoint exact = [&] {
            try {
                return exactCircumcentre(v[0], v[1], v[2], v[3], v[4], v[5]);
            } catch (const std::domain_error&) {
                return RationalPoint{};
            }
        }();
        const RoundedPoint got = work.rounded(v[0], v[1], v[2], v[3], v[4], v[5]);
        if (exact.x.get_den() == 1 && exact.x == 0 && exact.y == 0 && std::isnan(got.x)) continue;  // collinear
        EXPECT_EQ(got.x, mpfrQuotient(exact.x.get_num(), exact.x.get_den(), 0));
        EXPECT_EQ(got.y, mpfrQuotient(exact.y.get_num(), exact.y.get_den(), 0));
    }
    // Mixed magnitudes in one triangle.
    const RoundedPoint mixed = work.rounded(1e-300, 0.0, 1e300, 0.0, 0.0, 1e300);
    const RationalPoint exact = exactCircumcentre(1e-300, 0.0, 1e300, 0.0, 0.0, 1e300);
    EXPECT_EQ(mixed.x, roundRational(exact.x));
    EXPECT_EQ(mixed.y, roundRational(exact.y));
    // A centre beyond the largest double is infinite; collinear points NaN.
    const RoundedPoint far = work.rounded(-1e308, 0.0, 1e308, 0.0, 0.0, 1e-300);
    EXPECT_TRUE(std::isinf(far.y));
    EXPECT_TRUE(std::isnan(work.rounded(0, 0, 1, 1, 2, 2).x));
    EXPECT_THROW(exactCircumcentre(0, 0, 1, 1, 2, 2), std::domain_error);
}
