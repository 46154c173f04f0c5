// The search beyond the point where a walk stops, through the points whose
// distance from the query point lies within the rounding band of the
// stopping point's.
//
// The walk compares squared distances as computed in double, and stops at a
// point c when no neighbour's is smaller. On a Delaunay triangulation c is
// then a nearest point, unless rounding hides a closer one: a neighbour
// that is as close or closer exactly may round to a distance no smaller
// than c's (two data points a rounding error apart are the plainest case:
// each is as far as the other from every query), and a point strictly
// closer by the computed distance may then lie beyond that neighbour only.
//
// Error bound. The walk compares wide squared distances (wide_distance.hpp):
// for a point k, d = dy*dy + dx*dx with dx = x[k] - qx and dy = y[k] - qy,
// each operation rounded to nearest (unit roundoff u = 2^-53) with no
// overflow and no underflow. With D the exact squared distance,
//     |d - D| <= alpha*D,  alpha = (1+u)^4 - 1 < 4.0001u,
// at any magnitude. (dx = (x[k]-qx)(1+e1), dx*dx rounds to dx^2(1+e2),
// likewise for dy, the sum adds a factor (1+e5).)
//
// The band. Let some point p be strictly closer than c by the computed
// distance: d_p < d_c. Then D_p and D_c are both at most
// R = d_c/(1 - alpha), so p and c lie in the closed disk of squared radius
// R about the query point. In a Delaunay triangulation the points inside
// any closed disk are connected by edges between points inside it: from a
// point that is not exactly nearest to the centre, an edge of its Voronoi
// cell separates it from the centre, and the point across that edge is a
// Delaunay neighbour strictly closer to the centre; the points exactly
// nearest lie on an empty circle and are joined by the sides of the
// Delaunay polygon they span. Every point of the disk has a computed
// distance of at most R(1 + alpha), which is at most
//     bandLimit(d_c) = d_c + d_c * 2^-49
// (rounded as the distances are: 2^-49 = 16u covers
// (1+alpha)/(1-alpha) < 1 + 8.001u with room for the two roundings of the
// sum). So a search that starts at c and goes on through every neighbour
// whose computed distance is at most bandLimit(d_c) reaches p, or another
// point strictly closer than c, and when it ends without one, no data
// point is strictly closer than c by the computed distance. A walk that
// stops without a neighbour in that band is already at a nearest point.
#pragma once

#include <cstdint>

namespace nearwalk {

template <class Metric>
struct BandExit {
    std::int32_t point;                 // 0-based, or -1 when no strictly closer point was found
    typename Metric::Distance distance; // its squared distance from the query point
    bool cut;                           // no point was found because the budget ran out
};

// Searches from `start`, where a walk stopped at squared distance
// `distance` from the metric's query point, through the points reached
// over neighbours at squared distances of at most
// Metric::bandLimit(distance), scanning each such point's neighbours in
// stored order, until a neighbour strictly closer than `distance` turns up.
// The scan in which it turns up is completed, and the closest neighbour of
// that scan is returned (the first stored among equal ones). Each point is
// evaluated at most once per search, and every evaluation beyond those of
// the start's column (which the walk has paid for already) is charged to
// `budget`: a search costs fewer than n evaluations. When the budget runs
// out first, the search ends with the closest point of the scan it cut, or
// with `cut` set if that scan found none. When the metric escapes, the
// search ends at once and its result means nothing. Working memory comes
// from the host once per call (see resetBandSearch).
template <class Metric>
BandExit<Metric> searchBand(Metric& metric, std::int32_t start, typename Metric::Distance distance,
                            std::int64_t& budget);

// Forgets the working memory of an earlier call; every call starts with it.
void resetBandSearch();

}  // namespace nearwalk
