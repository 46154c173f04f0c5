// Twice the signed area of a triangle, to a few units in the last place
// also for triangles so thin that the plain formula loses every digit.
//
// The plain value (b - a) x (c - a) suffers twice: each difference is
// rounded, and the two products cancel. Here each difference carries its
// rounding error (Knuth's two-sum), the main cross product is evaluated
// with Kahan's fused-multiply-add method (error below 1.5 units in the
// last place), and the first-order terms of the differences' errors are
// added. What remains is a relative error of a few units in the last place
// plus an absolute one of about 2^-104 times the squared side lengths. The
// result is the same on every machine: fma is correctly rounded by
// definition, and nothing here is left to contraction.
#pragma once

#include <cmath>

namespace trinterp {

// a - b rounded, and its rounding error: a - b == difference + error exactly.
inline double exactDifferenceError(double a, double b, double difference)
{
    const double bVirtual = a - difference;
    const double aVirtual = difference + bVirtual;
    return (a - aVirtual) + (bVirtual - b);
}

// Kahan's a*d - b*c.
inline double crossDifference(double a, double d, double b, double c)
{
    const double w = b * c;
    const double e = std::fma(-b, c, w);
    const double f = std::fma(a, d, -w);
    return f + e;
}

// (b - a) x (c - a) for points given as x, y pairs.
inline double accurateOrientation(double ax, double ay, double bx, double by, double cx, double cy)
{
    const double dx1 = bx - ax, dy1 = by - ay, dx2 = cx - ax, dy2 = cy - ay;
    const double ex1 = exactDifferenceError(bx, ax, dx1), ey1 = exactDifferenceError(by, ay, dy1);
    const double ex2 = exactDifferenceError(cx, ax, dx2), ey2 = exactDifferenceError(cy, ay, dy2);
    const double main = crossDifference(dx1, dy2, dy1, dx2);
    const double correction = (dx1 * ey2 + ex1 * dy2) - (dy1 * ex2 + ey1 * dx2);
    return main + correction;
}

inline double accurateOrientation(const double* a, const double* b, const double* c)
{
    return accurateOrientation(a[0], a[1], b[0], b[1], c[0], c[1]);
}

}  // namespace trinterp
