// Exact orientation and in-circle tests on double coordinates, from CGAL's
// filtered exact predicates: a floating-point filter answers almost every
// question, and exact arithmetic the ones it cannot decide, so the sign is
// always the true sign for the given doubles.
#pragma once

#include <cmath>

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

}  // namespace sweeptri
