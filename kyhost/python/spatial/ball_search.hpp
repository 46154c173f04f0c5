// The points within a distance of query points, as cKDTree's
// query_ball_point, query_pairs and count_neighbors give them, found over
// the neighbour graph of a Delaunay triangulation (or of points on one line).
//
// Membership is decided as cKDTree decides it: the norm of the differences
// computed on the coordinates as given (dx*dx + dy*dy for p = 2, |dx| + |dy|
// for p = 1, max(|dx|, |dy|) for p = inf) against r*r (p = 2) or r, with
// `<=`. So a point exactly at distance r is in, and where rounding puts a
// point a hair inside or outside, it is where cKDTree puts it.
//
// Why the graph reaches every member. Let D be a closed disk about the
// query point q and S the data points in D. The points of S are joined by
// Delaunay edges between points of S: take p in S that is not a nearest
// point of q, and follow the segment from p to q. Let z be the last point of
// the segment in p's Voronoi cell; just beyond z the segment runs in the
// cell of another point p', and |q - p'| <= |q - z| + |z - p'| = |q - z| +
// |z - p| = |q - p|, with equality only for p' = p: p' is strictly closer,
// so it lies in D too. If z is inside a Voronoi edge, p and p' are Delaunay
// neighbours. If z is a Voronoi vertex, every point whose cell meets there
// lies on the circle about z through p, at most |q - z| + |z - p| = |q - p|
// from q, so in D; the sides of the polygon they span are edges of every
// Delaunay triangulation, and they join p to p' along points of D. Repeating
// from p' (distances strictly fall, and there are finitely many points)
// ends at a nearest point. The nearest points lie on one circle about q
// with no point inside it, and are joined by the sides of the polygon they
// span, all in D. So S is connected through edges inside D; a search from a
// nearest point that goes on through every point of D meets all of S. (On
// one line the points of D are consecutive along the line, and the path
// through the line's points joins them.)
//
// Rounding. The search goes through every point whose exact distance is at
// most a reach radius slightly above r, which holds every point cKDTree's
// computed norm can admit; it tests the reach in the data's exact frame
// (exact_frame.hpp), with the band of distance_order.hpp covering the
// rounding of the squared distances there, or with hypot outside it. The
// start is the point a greedy walk from the answer before ends at; where
// rounding may hide a closer point (its neighbours in the band of its
// distance) and the start is out of reach, the band is searched for the
// nearest point first. (p = 1: the ball lies in the disk of radius r; p =
// inf: in the disk of radius sqrt(2) r.)
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "triangulation_index.hpp"

namespace kyhost_spatial {

// Answers as compressed rows: the answers of query i are
// items[start[i]] .. items[start[i + 1] - 1].
struct BallLists {
    std::vector<std::int64_t> start;
    std::vector<std::int64_t> items;
};

class BallSearch {
public:
    // The search keeps a reference to index, and its own copy of the points
    // and graph in a spatial order.
    explicit BallSearch(const TriangulationIndex& index);

    // For each query i, the points as given within radius[i] in the norm p
    // (1, 2 or inf), ascending when `sorted`, otherwise in the search's order.
    // Queries with a coordinate that is not finite get none.
    BallLists within(const double* qx, const double* qy, const double* radius, std::int64_t count, double p,
                     int threads, bool sorted) const;

    // The number of points as given within radius[i] of each query.
    void countWithin(const double* qx, const double* qy, const double* radius, std::int64_t count, double p,
                     int threads, std::int64_t* counts) const;

    // The pairs (i, j), i < j, of points as given within r of each other,
    // ascending: allocate(m) is called once with their number m and gives
    // room for 2 m entries, filled with i, j of each pair in turn. Returns m.
    std::int64_t pairs(double r, double p, int threads,
                       const std::function<std::int64_t*(std::int64_t)>& allocate) const;

    // For each of the radii: the number of pairs (query, point as given) at
    // most that far apart, over all queries.
    std::vector<std::int64_t> countPairs(const double* qx, const double* qy, std::int64_t count,
                                         const std::vector<double>& radii, double p, int threads) const;

private:
    struct Scratch;
    template <class Visit>
    void visitBall(double qx, double qy, double threshold, double p, std::int32_t& hint, Scratch& scratch,
                   const Visit& visit, bool hintIsQuery = false) const;
    std::int64_t mergedPairs(double threshold, double p, int threads,
                             const std::function<std::int64_t*(std::int64_t)>& allocate) const;
    std::int64_t groupSize(std::int32_t point) const;
    template <class Emit>
    void forEachGiven(std::int32_t point, const Emit& emit) const;

    const TriangulationIndex& index_;
    // The points in the order of a Hilbert curve through them (the search's
    // own numbering): pointAt_[k] is the index's point at place k, placeOf_
    // the inverse; their coordinates as given and in the frame
    // (interleaved; none when the frame holds no data) and their graph.
    std::int32_t n_ = 0;
    std::vector<std::int32_t> pointAt_, placeOf_;
    std::vector<double> xy_, frameXY_;
    std::vector<std::int64_t> start_;
    std::vector<std::int32_t> neighbours_;
    std::vector<std::int32_t> lineOrder_;  // places along their line, when there are no rows
    double minX_ = 0, maxX_ = 0, minY_ = 0, maxY_ = 0;
};

// The threshold cKDTree compares a norm with: r*r for p = 2, r otherwise.
inline double ballThreshold(double r, double p) { return p == 2 ? r * r : r; }

// The norm of the differences as cKDTree computes it, compared there with
// ballThreshold.
inline double ballNorm(double dx, double dy, double p)
{
    if (p == 2) return dx * dx + dy * dy;
    if (p == 1) return std::fabs(dx) + std::fabs(dy);
    return std::fmax(std::fabs(dx), std::fabs(dy));
}

}  // namespace kyhost_spatial
