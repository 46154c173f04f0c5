#include "exact_nearest.hpp"

#include <gmpxx.h>

#include <cfloat>
#include <cmath>

namespace nearwalk::testing {

namespace {

mpq_class exactSquaredDistance(double px, double py, double qx, double qy)
{
    const mpq_class dx = mpq_class(px) - mpq_class(qx), dy = mpq_class(py) - mpq_class(qy);
    return dx * dx + dy * dy;
}

// The same in long double, where its exponent range holds the squares of
// all doubles (x86's 64-bit significands, or wider): within a relative
// 2^-60 of the exact value, enough to pass over the points that are
// plainly farther.
constexpr bool roughFilter = LDBL_MAX_EXP >= 16384 && LDBL_MANT_DIG >= 64;

long double roughSquaredDistance(double px, double py, double qx, double qy)
{
    const long double dx = static_cast<long double>(px) - qx, dy = static_cast<long double>(py) - qy;
    return dx * dx + dy * dy;
}

bool finitePoint(double x, double y) { return std::isfinite(x) && std::isfinite(y); }

bool isNearest(const std::vector<double>& x, const std::vector<double>& y, double qx, double qy, std::size_t answer)
{
    if (!finitePoint(x[answer], y[answer])) {
        for (std::size_t k = 0; k < x.size(); ++k)
            if (finitePoint(x[k], y[k])) return false;
        return true;
    }
    const mpq_class found = exactSquaredDistance(x[answer], y[answer], qx, qy);
    const long double rough = roughSquaredDistance(x[answer], y[answer], qx, qy);
    const mpq_class tolerance = 1 + mpq_class(1, mpz_class(1) << 49);
    for (std::size_t k = 0; k < x.size(); ++k) {
        if (!finitePoint(x[k], y[k])) continue;
        if (roughFilter && roughSquaredDistance(x[k], y[k], qx, qy) * (1 + 0x1p-52L) >= rough) continue;
        if (exactSquaredDistance(x[k], y[k], qx, qy) * tolerance < found) return false;
    }
    return true;
}

}  // namespace

std::vector<std::size_t> answersNotNearest(const std::vector<double>& x, const std::vector<double>& y,
                                           const std::vector<double>& qx, const std::vector<double>& qy,
                                           const std::vector<double>& answers)
{
    std::vector<std::size_t> wrong;
    for (std::size_t q = 0; q < answers.size(); ++q) {
        const double k = answers[q];
        if (!finitePoint(qx[q], qy[q])) {
            if (!std::isnan(k)) wrong.push_back(q);
        } else if (!(k >= 1 && k <= static_cast<double>(x.size()) && k == std::floor(k)) ||
                   !isNearest(x, y, qx[q], qy[q], static_cast<std::size_t>(k) - 1)) {
            wrong.push_back(q);
        }
    }
    return wrong;
}

}  // namespace nearwalk::testing
