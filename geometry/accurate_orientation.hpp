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

#include <algorithm>
#include <cmath>

namespace ky::geometry {

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

// accurateOrientation (the same value, bit for bit) with a bound on its
// error: the rounding of Kahan's product difference and of the correction,
// the neglected products of the differences' errors, and underflow.
struct BoundedOrientation {
    double value;
    double bound;
};

inline BoundedOrientation boundedOrientation(const double* a, const double* b, const double* c)
{
    const double dx1 = b[0] - a[0], dy1 = b[1] - a[1], dx2 = c[0] - a[0], dy2 = c[1] - a[1];
    const double ex1 = exactDifferenceError(b[0], a[0], dx1), ey1 = exactDifferenceError(b[1], a[1], dy1);
    const double ex2 = exactDifferenceError(c[0], a[0], dx2), ey2 = exactDifferenceError(c[1], a[1], dy2);
    const double main = crossDifference(dx1, dy2, dy1, dx2);
    const double correction = (dx1 * ey2 + ex1 * dy2) - (dy1 * ex2 + ey1 * dx2);
    const double value = main + correction;
    const double d = std::max({std::fabs(dx1), std::fabs(dy1), std::fabs(dx2), std::fabs(dy2)});
    const double e = std::max({std::fabs(ex1), std::fabs(ey1), std::fabs(ex2), std::fabs(ey2)});
    return {value, 0x1p-50 * (std::fabs(main) + std::fabs(value)) + 0x1p-48 * d * e + 4 * e * e + 0x1p-1069};
}

}  // namespace ky::geometry
