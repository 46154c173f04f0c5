// Exact orientation and in-circle signs on double coordinates, from CGAL's
// filtered predicates: a floating-point filter settles almost every case,
// exact arithmetic the rest, so the sign is the true sign for the doubles
// given. The interpolation's decisions (which row holds a query, which rows
// are its natural neighbours' rows) are made with these alone.
#pragma once

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

namespace trinterp {

using ExactKernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using ExactPoint = ExactKernel::Point_2;

// Positive when a, b, c run counter-clockwise, negative when clockwise,
// zero on one line.
inline int orientationSign(const double* a, const double* b, const double* c)
{
    return static_cast<int>(
        CGAL::orientation(ExactPoint(a[0], a[1]), ExactPoint(b[0], b[1]), ExactPoint(c[0], c[1])));
}

inline int orientationSign(const double* a, const double* b, double qx, double qy)
{
    return static_cast<int>(CGAL::orientation(ExactPoint(a[0], a[1]), ExactPoint(b[0], b[1]), ExactPoint(qx, qy)));
}

// True when d lies strictly inside the circle through a, b, c, which run
// counter-clockwise. A point on the circle is not inside.
inline bool strictlyInsideCircle(const double* a, const double* b, const double* c, double dx, double dy)
{
    return CGAL::side_of_oriented_circle(ExactPoint(a[0], a[1]), ExactPoint(b[0], b[1]), ExactPoint(c[0], c[1]),
                                         ExactPoint(dx, dy)) == CGAL::ON_POSITIVE_SIDE;
}

}  // namespace trinterp
