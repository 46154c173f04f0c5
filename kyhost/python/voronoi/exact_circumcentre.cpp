#include "exact_circumcentre.hpp"

#include <climits>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "exact_rounding.hpp"

namespace kyhost_voronoi {

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
    if (!compute(v)) return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
    return {roundQuotient(numX_, den_, exponent_), roundQuotient(numY_, den_, exponent_)};
}

ExactPoint exactCircumcentre(double ax, double ay, double bx, double by, double cx, double cy)
{
    const mpq_class a[2] = {ax, ay}, b[2] = {bx, by}, c[2] = {cx, cy};
    const mpq_class ux = b[0] - a[0], uy = b[1] - a[1], vx = c[0] - a[0], vy = c[1] - a[1];
    const mpq_class den = 2 * (ux * vy - uy * vx);
    if (sgn(den) == 0) throw std::domain_error("the circumcentre of three points on one line");
    const mpq_class u2 = ux * ux + uy * uy, v2 = vx * vx + vy * vy;
    return {a[0] + (vy * u2 - uy * v2) / den, a[1] + (ux * v2 - vx * u2) / den};
}

}  // namespace kyhost_voronoi
