// Exact orientation and in-circle tests on double coordinates, from CGAL's
// filtered exact predicates: a floating-point filter answers almost every
// question, and exact arithmetic the ones it cannot decide, so the sign is
// always the true sign for the given doubles.
#pragma once

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

namespace sweeptri {

using ExactKernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using ExactPoint = ExactKernel::Point_2;

// Negative when a, b, c run clockwise, positive when counter-clockwise, zero
// on one line.
inline int orientationSign(double ax, double ay, double bx, double by, double cx, double cy)
{
    return static_cast<int>(CGAL::orientation(ExactPoint(ax, ay), ExactPoint(bx, by), ExactPoint(cx, cy)));
}

// True when d lies strictly inside the circle through a, b, c, where
// a, b, c run clockwise when `clockwise` holds and counter-clockwise
// otherwise. A point on the circle is not inside.
inline bool strictlyInCircle(double ax, double ay, double bx, double by, double cx, double cy, double dx, double dy,
                             bool clockwise)
{
    const auto side = CGAL::side_of_oriented_circle(ExactPoint(ax, ay), ExactPoint(bx, by), ExactPoint(cx, cy),
                                                    ExactPoint(dx, dy));
    return clockwise ? side == CGAL::ON_NEGATIVE_SIDE : side == CGAL::ON_POSITIVE_SIDE;
}

}  // namespace sweeptri
