// The circumcentre of three points given as doubles, exactly: as rationals,
// and rounded once to the nearest doubles. Differences, squares and the
// quotient are computed in integers scaled by the lowest bit of the six
// coordinates, so every coordinate from 1e-300 to 1e300 (and any mix of them)
// gives the correctly rounded centre; only centres beyond the largest double
// become infinite.
#pragma once

#include <gmpxx.h>

namespace ky::geometry {

struct RoundedPoint {
    double x, y;
};

struct RationalPoint {
    mpq_class x, y;
};

// Reusable integers for many centres in one thread (no allocation per call
// once they have grown).
class CircumcentreWork {
public:
    // The centre of the circle through a, b, c, rounded to nearest; the
    // points must not lie on one line (the result is then NaN).
    RoundedPoint rounded(double ax, double ay, double bx, double by, double cx, double cy);

private:
    // Fills num_x, num_y, den and the scale exponent; false when collinear.
    bool compute(const double* v);
    mpz_class c_[6], bx_, by_, cx_, cy_, b2_, c2_, t_, numX_, numY_, den_;
    long exponent_ = 0;
};

// The exact centre (collinear points: throws std::domain_error).
RationalPoint exactCircumcentre(double ax, double ay, double bx, double by, double cx, double cy);

}  // namespace ky::geometry
