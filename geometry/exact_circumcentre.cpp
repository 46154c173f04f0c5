#include "geometry/exact_circumcentre.hpp"

#include <climits>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "geometry/exact_rounding.hpp"
#include "geometry/expansion_arithmetic.hpp"

namespace ky::geometry {

namespace {

// v = mantissa * 2^exponent with an odd integer mantissa (v non-zero).
void splitDouble(double v, double& mantissa, long& exponent)
{
    int e = 0;
    double f = std::frexp(v, &e);  // |f| in [0.5, 1)
    f = std::ldexp(f, 53);         // an integer of at most 53 bits
    e -= 53;
    while (std::fmod(f, 2.0) == 0.0) {
        f /= 2.0;
        ++e;
    }
    mantissa = f;
    exponent = e;
}

// Coordinates zero or of magnitude 2^-100 .. 2^100: no product of four of
// their differences' components over- or underflows.
bool safeForExpansions(double v)
{
    const double a = std::fabs(v);
    return a == 0.0 || (a >= 0x1p-100 && a <= 0x1p100);
}

// The correctly rounded value of num / den (den non-zero), found among the
// doubles next to an estimate by exact comparisons with the midpoints
// between them; false when it is not decided (a tie, or a centre too large
// or too small for the comparisons to stay exact).
template <std::size_t A, std::size_t B>
bool roundedByExpansions(const expansion::Expansion<A>& numerator, const expansion::Expansion<B>& denominator,
                         double& out)
{
    using namespace expansion;
    // Make the denominator positive; compare 2 num with (r + neighbour) den.
    const bool flip = denominator.sign() < 0;
    const Expansion<B> den = compress(flip ? negate(denominator) : denominator);
    Expansion<A> twice = compress(flip ? negate(numerator) : numerator);
    for (std::size_t i = 0; i < twice.size; ++i) twice.c[i] *= 2.0;
    double r = numerator.estimate() / denominator.estimate();
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (!std::isfinite(r) || r == 0.0 || std::fabs(r) > 0x1p200 || std::fabs(r) < 0x1p-300) return false;
        const double down = std::nextafter(r, -INFINITY), up = std::nextafter(r, INFINITY);
        Expansion<2> low, high;
        double s, e;
        twoSum(r, down, s, e);
        low = add(single(e), single(s));
        twoSum(r, up, s, e);
        high = add(single(e), single(s));
        const int above = add(twice, negate(multiply(low, den))).sign();   // num/den vs lower midpoint
        const int below = add(twice, negate(multiply(high, den))).sign();  // num/den vs upper midpoint
        if (above > 0 && below < 0) {
            out = r;
            return true;
        }
        if (above == 0 || below == 0) return false;  // a tie: left to the integers
        r = above < 0 ? down : up;
    }
    return false;
}

bool centreByExpansions(const double* v, RoundedPoint& out)
{
    using namespace expansion;
    for (int i = 0; i < 6; ++i)
        if (!safeForExpansions(v[i])) return false;
    const Expansion<2> bx = difference(v[2], v[0]), by = difference(v[3], v[1]);
    const Expansion<2> cx = difference(v[4], v[0]), cy = difference(v[5], v[1]);
    // Compressed as they are made, so that the products after them stay short.
    Expansion<16> den = compress(add(multiply(bx, cy), negate(multiply(by, cx))));
    if (den.sign() == 0) return false;
    for (std::size_t i = 0; i < den.size; ++i) den.c[i] *= 2.0;
    const Expansion<16> b2 = compress(add(multiply(bx, bx), multiply(by, by)));
    const Expansion<16> c2 = compress(add(multiply(cx, cx), multiply(cy, cy)));
    const auto numX = add(scale(den, v[0]), add(multiply(cy, b2), negate(multiply(by, c2))));
    const auto numY = add(scale(den, v[1]), add(multiply(bx, c2), negate(multiply(cx, b2))));
    return roundedByExpansions(numX, den, out.x) && roundedByExpansions(numY, den, out.y);
}

}  // namespace

bool CircumcentreWork::compute(const double* v)
{
    // Each coordinate as an integer times 2^exponent_, exponent_ the lowest
    // bit of any of them.
    double mantissa[6];
    long exponent[6];
    long lowest = LONG_MAX;
    for (int i = 0; i < 6; ++i) {
        if (v[i] == 0.0) {
            mantissa[i] = 0.0;
            exponent[i] = 0;
            continue;
        }
        splitDouble(v[i], mantissa[i], exponent[i]);
        lowest = std::min(lowest, exponent[i]);
    }
    if (lowest == LONG_MAX) return false;
    exponent_ = lowest;
    for (int i = 0; i < 6; ++i) {
        c_[i] = mantissa[i];
        if (mantissa[i] != 0.0)
            mpz_mul_2exp(c_[i].get_mpz_t(), c_[i].get_mpz_t(), static_cast<mp_bitcnt_t>(exponent[i] - lowest));
    }
    bx_ = c_[2] - c_[0];
    by_ = c_[3] - c_[1];
    cx_ = c_[4] - c_[0];
    cy_ = c_[5] - c_[1];
    // den = 2 (bx cy - by cx); centre = a + (cy |b|^2 - by |c|^2, bx |c|^2 - cx |b|^2) / den.
    den_ = bx_ * cy_;
    t_ = by_ * cx_;
    den_ -= t_;
    if (sgn(den_) == 0) return false;
    den_ *= 2;
    b2_ = bx_ * bx_;
    t_ = by_ * by_;
    b2_ += t_;
    c2_ = cx_ * cx_;
    t_ = cy_ * cy_;
    c2_ += t_;
    numX_ = cy_ * b2_;
    t_ = by_ * c2_;
    numX_ -= t_;
    t_ = c_[0] * den_;
    numX_ += t_;
    numY_ = bx_ * c2_;
    t_ = cx_ * b2_;
    numY_ -= t_;
    t_ = c_[1] * den_;
    numY_ += t_;
    return true;
}

RoundedPoint CircumcentreWork::rounded(double ax, double ay, double bx, double by, double cx, double cy)
{
    const double v[6] = {ax, ay, bx, by, cx, cy};
    RoundedPoint fast;
    if (centreByExpansions(v, fast)) return fast;
    if (!compute(v)) return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
    return {roundQuotient(numX_, den_, exponent_), roundQuotient(numY_, den_, exponent_)};
}

RationalPoint exactCircumcentre(double ax, double ay, double bx, double by, double cx, double cy)
{
    const mpq_class a[2] = {ax, ay}, b[2] = {bx, by}, c[2] = {cx, cy};
    const mpq_class ux = b[0] - a[0], uy = b[1] - a[1], vx = c[0] - a[0], vy = c[1] - a[1];
    const mpq_class den = 2 * (ux * vy - uy * vx);
    if (sgn(den) == 0) throw std::domain_error("the circumcentre of three points on one line");
    const mpq_class u2 = ux * ux + uy * uy, v2 = vx * vx + vy * vy;
    return {a[0] + (vy * u2 - uy * v2) / den, a[1] + (ux * v2 - vx * u2) / den};
}

}  // namespace ky::geometry
