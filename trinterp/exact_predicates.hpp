// Exact orientation and in-circle signs on double coordinates. A
// floating-point filter with Shewchuk's error bounds settles almost every
// case in a few operations; where it cannot (the value is within its error
// bound, or the terms are so small that they may have underflowed, or so
// large that they overflowed), CGAL's filtered exact predicates decide. So
// the sign is always the true sign for the doubles given. The
// interpolation's decisions (which row holds a query, which rows are in its
// natural neighbours' region) are made with these alone.
#pragma once

#include <cmath>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

namespace trinterp {

using ExactKernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using ExactPoint = ExactKernel::Point_2;

namespace detail {

// Below this the products may have lost bits to underflow: no shortcut.
constexpr double smallestTrusted = 0x1p-800;

inline int exactOrientation(double ax, double ay, double bx, double by, double cx, double cy)
{
    return static_cast<int>(CGAL::orientation(ExactPoint(ax, ay), ExactPoint(bx, by), ExactPoint(cx, cy)));
}

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
    return detail::exactOrientation(ax, ay, bx, by, cx, cy);
}

inline int orientationSign(const double* a, const double* b, const double* c)
{
    return orientationSign(a[0], a[1], b[0], b[1], c[0], c[1]);
}

inline int orientationSign(const double* a, const double* b, double qx, double qy)
{
    return orientationSign(a[0], a[1], b[0], b[1], qx, qy);
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
    return CGAL::side_of_oriented_circle(ExactPoint(a[0], a[1]), ExactPoint(b[0], b[1]), ExactPoint(c[0], c[1]),
                                         ExactPoint(dx, dy)) == CGAL::ON_POSITIVE_SIDE;
}

}  // namespace trinterp
