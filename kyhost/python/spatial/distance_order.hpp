// How a search compares the distances of two data points from one query
// point: the order of their computed squared distances where that is safe,
// the exact order where range would spoil the computation.
//
// ComputedDistance, for a query point that lies in the data's exact frame
// (exact_frame.hpp): d = dy*dy + dx*dx in double on the scaled coordinates,
// the same number the nearwalk plug-in computes on coordinates in that
// range (scaled alike), so that answers agree with its walk. Ties are equal
// computed distances.
//
// Error bound. With dx = x[k] - qx and dy = y[k] - qy rounded to nearest
// (unit roundoff u = 2^-53), and nothing over- or underflowing in the safe
// range, d = D(1 + t) with |t| <= (1+u)^4 - 1 < 4.0001u, D the exact squared
// distance. (The nearwalk plug-in's band search states the same bound with
// an underflow term that the safe range makes 0.)
//
// The band. If a point p is strictly closer than c by the computed distance
// (d_p < d_c), both lie in the closed disk of squared radius
// R = d_c / (1 - 4.0001u) about the query point, and every point of that
// disk has a computed distance of at most R(1 + 4.0001u) <= bandLimit(d_c)
// = d_c + d_c * 2^-49 (16u covers (1+a)/(1-a) < 1 + 8.001u with room for
// the two roundings of the sum). In a Delaunay triangulation the points
// inside any closed disk are connected by edges between points inside it
// (from a point that is not nearest to the centre, an edge of its Voronoi
// cell separates it from the centre and the point across it is a strictly
// closer Delaunay neighbour; the points exactly nearest lie on an empty
// circle and are joined by the sides of the Delaunay polygon they span).
// So a search from c through every point within bandLimit(d_c) meets every
// point whose computed distance is at most d_c, and the smallest of them.
//
// ExactDistance, for the other query points (data whose magnitudes span
// more than the safe range, or a query point far outside it): the exact
// order of squared distances. A double estimate on coordinates scaled for
// this query decides where it is clearly apart from the other; otherwise
// the exact comparison of geometry/distance_comparison.hpp decides, at any
// magnitude. Ties are
// exactly equal distances; the band is that of ties.
#pragma once

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include "geometry/distance_comparison.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kyhost_spatial {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Point2 = Kernel::Point_2;

inline double bandLimit(double distance) { return distance + distance * 0x1p-49; }

class ComputedDistance {
public:
    using Key = double;

    // xy: the data's scaled coordinates, interleaved; (qx, qy) the scaled query.
    ComputedDistance(const double* xy, double qx, double qy) : xy_(xy), qx_(qx), qy_(qy) {}

    Key key(std::int32_t k) const
    {
        const double dx = xy_[2 * static_cast<std::size_t>(k)] - qx_;
        const double dy = xy_[2 * static_cast<std::size_t>(k) + 1] - qy_;
        return dy * dy + dx * dx;
    }
    static bool less(Key a, Key b) { return a < b; }
    static bool equal(Key a, Key b) { return a == b; }
    // A point at key k may hide a point at least as close as one at ref.
    static bool inBand(Key k, Key ref) { return k <= bandLimit(ref); }
    // Squared distance in the data's scaled frame, for distance bounds.
    static double estimate(Key k) { return k; }

private:
    const double* xy_;
    double qx_, qy_;
};

class ExactDistance {
public:
    struct Key {
        double estimate;  // squared distance times scale^2, rounded (inf when it overflows)
        std::int32_t point;
    };

    // x, y: the data's own coordinates; (qx, qy) the query as given; start: a
    // data point whose distance sets the scale of the estimates.
    ExactDistance(const double* x, const double* y, double qx, double qy, std::int32_t start)
        : x_(x), y_(y), qx_(qx), qy_(qy)
    {
        const double m = std::fmax(std::fabs(x[start] - qx), std::fabs(y[start] - qy));
        const int e = (m > 0 && std::isfinite(m)) ? std::ilogb(m) : 0;
        scale_ = std::ldexp(1.0, std::clamp(-e, -1000, 1000));
    }

    Key key(std::int32_t k) const
    {
        const double dx = (x_[k] - qx_) * scale_;
        const double dy = (y_[k] - qy_) * scale_;
        return {dy * dy + dx * dx, k};
    }
    int compare(const Key& a, const Key& b) const
    {
        if (a.point == b.point) return 0;
        // Each estimate is within 2^-50 of its value, relatively, unless it
        // is tiny (underflow) or infinite (overflow): a gap of 2^-48 decides.
        const double big = std::fmax(a.estimate, b.estimate);
        if (big <= 0x1.fffffffffffffp+1023 && big >= 0x1p-900 && std::fabs(a.estimate - b.estimate) > big * 0x1p-48)
            return a.estimate < b.estimate ? -1 : 1;
        return ky::geometry::compareDistances(qx_, qy_, x_[a.point], y_[a.point], x_[b.point], y_[b.point]);
    }
    bool less(const Key& a, const Key& b) const { return compare(a, b) < 0; }
    bool equal(const Key& a, const Key& b) const { return compare(a, b) == 0; }
    bool inBand(const Key& k, const Key& ref) const { return compare(k, ref) <= 0; }
    // The distance itself, within an ulp at any magnitude: hypot on the
    // coordinates as given.
    double distance(std::int32_t k) const { return std::hypot(x_[k] - qx_, y_[k] - qy_); }
    double queryX() const { return qx_; }
    double queryY() const { return qy_; }

private:
    const double* x_;
    const double* y_;
    double qx_, qy_;
    double scale_ = 1.0;
};

}  // namespace kyhost_spatial
