// Which of two points lies closer to a third, exactly, at any magnitude.
#pragma once

#include <cmath>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

namespace ky::geometry {

// The sign of |p - q|^2 - |r - q|^2 = (px - rx)(px + rx - 2qx) + (py - ry)(py + ry - 2qy)
// in double, or 0 when rounding could have decided it. This form keeps the
// cancellation in the small factors: it decides near-ties of far queries
// (x = 1e16 from points in the unit square) that the squared distances
// cannot. With u = 2^-53 and M = |px + rx| + 2|qx|, the computed (px - rx)
// is within u|px - rx|, the computed second factor within 2.0001u M of its
// value, so each product is within 4.001u |px - rx| M, and the sum within
// 5.01u T, T = |px - rx| Mx + |py - ry| My; T computed is at least
// T(1 - 6u). A sum beyond 2^-49 T decides. Under- and overflow: T at least
// 2^-960 leaves room for the absolute error of subnormal products (2^-1074
// each); an infinite or NaN T (coordinates near the largest doubles)
// decides nothing.
inline int distanceDifferenceSign(double px, double py, double rx, double ry, double qx, double qy)
{
    const double ax = px - rx, sx = px + rx, ay = py - ry, sy = py + ry;
    const double sum = ax * (sx - 2 * qx) + ay * (sy - 2 * qy);
    const double t = std::fabs(ax) * (std::fabs(sx) + std::fabs(2 * qx)) + std::fabs(ay) * (std::fabs(sy) + std::fabs(2 * qy));
    if (!(t <= 0x1.fffffffffffffp+1023 && t >= 0x1p-960) || !(std::fabs(sum) > t * 0x1p-49)) return 0;
    return sum < 0 ? -1 : 1;
}

// -1, 0 or 1 as p lies closer to q than r, as close, or farther: exact for
// any finite doubles (the filter above, then CGAL's exact predicate).
inline int compareDistances(double qx, double qy, double px, double py, double rx, double ry)
{
    if (const int sign = distanceDifferenceSign(px, py, rx, ry, qx, qy); sign != 0) return sign;
    using Point = CGAL::Exact_predicates_inexact_constructions_kernel::Point_2;
    return static_cast<int>(CGAL::compare_distance_to_point(Point(qx, qy), Point(px, py), Point(rx, ry)));
}

}  // namespace ky::geometry
