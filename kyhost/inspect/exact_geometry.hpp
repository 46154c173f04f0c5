// Exact geometric predicates and exact areas on double coordinates.
// CGAL's filtered predicates answer orientation and in-circle questions
// exactly for any finite doubles (they fall back to exact arithmetic when
// the floating-point filter cannot decide, also on over- and underflow);
// areas are summed as GMP rationals, in which every double and every
// product of two doubles is exact.
#pragma once

#include <gmpxx.h>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <cstddef>

#include "point_set.hpp"

namespace ky::inspect {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Point = Kernel::Point_2;

// Point i of a point set whose coordinates are finite.
inline Point pointAt(const PointSet& p, std::size_t i) { return Point(p.x[i], p.y[i]); }

// Negative when a, b, c run clockwise, positive when counter-clockwise, zero
// when they lie on one line. Exact.
inline int orientation(const PointSet& p, std::size_t a, std::size_t b, std::size_t c)
{
    return static_cast<int>(CGAL::orientation(pointAt(p, a), pointAt(p, b), pointAt(p, c)));
}

// True when d lies strictly inside the circle through a, b, c (any
// orientation of a, b, c that is not collinear). Exact.
inline bool strictlyInsideCircle(const PointSet& p, std::size_t a, std::size_t b, std::size_t c, std::size_t d)
{
    const int turn = orientation(p, a, b, c);
    const auto side = CGAL::side_of_oriented_circle(pointAt(p, a), pointAt(p, b), pointAt(p, c), pointAt(p, d));
    return turn > 0 ? side == CGAL::ON_POSITIVE_SIDE : side == CGAL::ON_NEGATIVE_SIDE;
}

// x(a) y(b) - y(a) x(b), exactly: twice the signed area that the edge a -> b
// adds to a polygon's shoelace sum.
inline mpq_class crossProduct(const PointSet& p, std::size_t a, std::size_t b)
{
    return mpq_class(p.x[a]) * mpq_class(p.y[b]) - mpq_class(p.y[a]) * mpq_class(p.x[b]);
}

}  // namespace ky::inspect
