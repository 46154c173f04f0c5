// Exact orientation and in-circle signs on double coordinates. A
// floating-point filter with Shewchuk's error bounds settles almost every
// case in a few operations; where it cannot (the value is within its error
// bound, or the terms are so small that they may have underflowed, or so
// large that they overflowed), CGAL's filtered exact predicates decide. So
// the sign is always the true sign for the doubles given, at any
// magnitude.
#pragma once

#include <cmath>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

namespace ky::geometry {

using ExactKernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using ExactPoint = ExactKernel::Point_2;

namespace detail {

// Below this the products may have lost bits to underflow: no shortcut.
constexpr double smallestTrusted = 0x1p-800;

}  // namespace detail

// Positive when a, b, c run counter-clockwise, negative when clockwise,
// zero on one line.
inline int orientationSign(double ax, double ay, double bx, double by, double cx, double cy)
{
    const double left = (ax - cx) * (by - cy);
    const double right = (ay - cy) * (bx - cx);
    const double value = left - right;
    const double sum = std::fabs(left) + std::fabs(right);
    const double bound = 3.3306690738754716e-16 * sum;  // (3 + 16 eps) eps
    if ((value > bound || -value > bound) && sum > detail::smallestTrusted) return value > 0 ? 1 : -1;
    return static_cast<int>(CGAL::orientation(ExactPoint(ax, ay), ExactPoint(bx, by), ExactPoint(cx, cy)));
}

inline int orientationSign(const double* a, const double* b, const double* c)
{
    return orientationSign(a[0], a[1], b[0], b[1], c[0], c[1]);
}

inline int orientationSign(const double* a, const double* b, double qx, double qy)
{
    return orientationSign(a[0], a[1], b[0], b[1], qx, qy);
}

// The side of d with respect to the oriented circle through a, b, c:
// positive inside when a, b, c run counter-clockwise (outside when they run
// clockwise), zero on the circle or when a, b, c lie on one line.
inline int inCircleSign(double ax, double ay, double bx, double by, double cx, double cy, double dx, double dy)
{
    return static_cast<int>(CGAL::side_of_oriented_circle(ExactPoint(ax, ay), ExactPoint(bx, by), ExactPoint(cx, cy),
                                                          ExactPoint(dx, dy)));
}

// True when d lies strictly inside the circle through a, b, c, which run
// counter-clockwise. A point on the circle is not inside.
inline bool strictlyInsideCircle(const double* a, const double* b, const double* c, double dx, double dy)
{
    const double adx = a[0] - dx, ady = a[1] - dy;
    const double bdx = b[0] - dx, bdy = b[1] - dy;
    const double cdx = c[0] - dx, cdy = c[1] - dy;
    const double bc = bdx * cdy, cb = cdx * bdy, ca = cdx * ady, ac = adx * cdy, ab = adx * bdy, ba = bdx * ady;
    const double aLift = adx * adx + ady * ady, bLift = bdx * bdx + bdy * bdy, cLift = cdx * cdx + cdy * cdy;
    const double value = aLift * (bc - cb) + bLift * (ca - ac) + cLift * (ab - ba);
    const double permanent = (std::fabs(bc) + std::fabs(cb)) * aLift + (std::fabs(ca) + std::fabs(ac)) * bLift +
                             (std::fabs(ab) + std::fabs(ba)) * cLift;
    const double bound = 1.1102230246251577e-15 * permanent;  // (10 + 96 eps) eps
    if ((value > bound || -value > bound) && permanent > detail::smallestTrusted) return value > 0;
    return inCircleSign(a[0], a[1], b[0], b[1], c[0], c[1], dx, dy) > 0;
}

// True when d lies strictly inside the circle through a, b, c, which run
// clockwise when `clockwise` holds and counter-clockwise otherwise.
inline bool strictlyInCircle(double ax, double ay, double bx, double by, double cx, double cy, double dx, double dy,
                             bool clockwise)
{
    const int side = inCircleSign(ax, ay, bx, by, cx, cy, dx, dy);
    return clockwise ? side < 0 : side > 0;
}

// The area of the triangle a, b, c computed in double, lowered and raised
// by a bound of its rounding error: the exact area lies between the two.
// With a difference or a product that is not finite, or so small that it
// may have lost bits to underflow, the bounds are 0 and infinity.
struct AreaBounds {
    double lower;
    double upper;
};

inline AreaBounds triangleAreaBounds(double ax, double ay, double bx, double by, double cx, double cy)
{
    const double p = (bx - ax) * (cy - ay), q = (cx - ax) * (by - ay);
    const double size = std::fabs(p) + std::fabs(q);
    // Each difference, product and the final difference round once: the
    // error is below (u + 3u / (1 - 4u)) (|p| + |q|), u = 2^-53; 8u is a
    // safe margin.
    const double error = 0x1p-50 * size;
    const double twice = std::fabs(p - q);
    if (!std::isfinite(size) || (size != 0 && size < 0x1p-900)) return AreaBounds{0, INFINITY};
    return AreaBounds{twice > error ? 0.5 * (twice - error) : 0.0, 0.5 * (twice + error)};
}

}  // namespace ky::geometry
