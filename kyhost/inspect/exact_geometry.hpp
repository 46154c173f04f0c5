// The exact predicates (geometry/exact_predicates.hpp) on the points of a
// point set, and exact areas: orientation and in-circle questions are
// answered exactly for any finite doubles; areas are summed as GMP
// rationals, in which every double and every product of two doubles is
// exact.
#pragma once

#include <gmpxx.h>

#include <cstddef>

#include "geometry/exact_predicates.hpp"
#include "point_set.hpp"

namespace ky::inspect {

// Negative when a, b, c run clockwise, positive when counter-clockwise, zero
// when they lie on one line. Exact.
inline int orientation(const PointSet& p, std::size_t a, std::size_t b, std::size_t c)
{
    return ky::geometry::orientationSign(p.x[a], p.y[a], p.x[b], p.y[b], p.x[c], p.y[c]);
}

// True when d lies strictly inside the circle through a, b, c (any
// orientation of a, b, c that is not collinear). Exact.
inline bool strictlyInsideCircle(const PointSet& p, std::size_t a, std::size_t b, std::size_t c, std::size_t d)
{
    const int turn = orientation(p, a, b, c);
    const int side = ky::geometry::inCircleSign(p.x[a], p.y[a], p.x[b], p.y[b], p.x[c], p.y[c], p.x[d], p.y[d]);
    return turn > 0 ? side > 0 : side < 0;
}

// x(a) y(b) - y(a) x(b), exactly: twice the signed area that the edge a -> b
// adds to a polygon's shoelace sum.
inline mpq_class crossProduct(const PointSet& p, std::size_t a, std::size_t b)
{
    return mpq_class(p.x[a]) * mpq_class(p.y[b]) - mpq_class(p.y[a]) * mpq_class(p.x[b]);
}

}  // namespace ky::inspect
