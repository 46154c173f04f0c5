// Nearest points and k nearest points of query points, by greedy walks over
// the neighbour graph of a Delaunay triangulation (or of points on one
// line), with the distance order of distance_order.hpp: exact wherever the
// double computation could not decide.
//
// A walk moves from point to point, each time to the neighbour closest to
// the query point, while that neighbour is strictly closer; on a Delaunay
// triangulation the point where it stops is nearest unless rounding hides a
// closer point, which the band search then finds (distance_order.hpp). No
// walk is cut short: each move strictly lowers the distance, so no point
// is visited twice as the current point, and the band search evaluates each
// point once.
//
// Answers do not depend on the order of the queries or on where a walk
// starts: the answer is the point of smallest computed distance (exact
// distance for queries answered exactly), the lowest-numbered one among
// ties, and `tied` reports the queries with more than one such point (the
// only ones whose answer by a walk depends on where it starts).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "exact_frame.hpp"
#include "hull_directions.hpp"
#include "mesh_adjacency.hpp"

namespace kyhost_spatial {

// The data points of a search (the points a triangulation uses) and how
// their numbers map to the points as given.
struct SearchPoints {
    const double* x = nullptr;  // n coordinates, finite; the caller keeps them alive
    const double* y = nullptr;
    std::int32_t n = 0;
    // Original number of each point (ascending), or null: the same numbers.
    const std::int64_t* original = nullptr;
    // The points as given that sit at each point's place (merged repeats),
    // ascending and starting with the point itself: members[groupStart[p]]
    // .. members[groupStart[p + 1] - 1]. Null when nothing was merged.
    const std::int64_t* groupStart = nullptr;
    const std::int64_t* members = nullptr;
    std::int64_t givenCount = 0;  // points as given: the index of "no point"
};

// How many queries one thread answers together, gathered in walk order:
// at most 2048, and no more than `queries` (those of its part) nor than
// keep the block's answers (16 bytes each, `width` per query) within about
// a megabyte, so that memory follows the queries in flight, not k times a
// fixed block.
std::int64_t queriesPerBlock(std::size_t width, std::int64_t queries);

class NearestSearch {
public:
    // graph: the Delaunay neighbour graph of the points, or their path along
    // one line (lineOrder then lists the points along it, for a start found
    // by bisection). The search keeps references to points and graph.
    NearestSearch(const SearchPoints& points, const NeighbourGraph& graph, std::vector<std::int32_t> lineOrder);

    // For each query i: index[i] the nearest point as given (-1 when a
    // coordinate is not finite or there are no points), distance[i] its
    // distance (inf for those), tied[i] (when not null) whether another
    // point is exactly as near by the same comparison.
    void nearest(const double* qx, const double* qy, std::int64_t count, int threads, std::int64_t* index,
                 double* distance, std::uint8_t* tied) const;

    // The k nearest points of each query closer than bound, as cKDTree's
    // query: row i of distance and index (k entries each) ascending by
    // distance (by number among equal ones), padded with inf and givenCount.
    void kNearest(const double* qx, const double* qy, std::int64_t count, int k, double bound, int threads,
                  double* distance, std::int64_t* index) const;

    // The same in the Minkowski norm p = 1 or inf (2 is kNearest): the norm
    // of the differences computed as cKDTree computes it, the points met in
    // exact order of Euclidean distance until none nearer can follow.
    void kNearestInNorm(const double* qx, const double* qy, std::int64_t count, int k, double p, double bound,
                        int threads, double* distance, std::int64_t* index) const;

    // The distance from a query to point p as the searches report it: as
    // cKDTree computes it, the square root of dx*dx + dy*dy on the
    // coordinates as given, and hypot where that overflows.
    double distanceTo(std::int32_t p, double qx, double qy) const;

    const ExactFrame& frame() const { return frame_; }
    // The points scaled into the frame, interleaved; null when the frame
    // holds no data (or there are no points).
    const double* frameXY() const { return frameXY_.empty() ? nullptr : frameXY_.data(); }

private:
    struct Scratch;
    std::int64_t givenNumber(std::int32_t p) const;
    // Calls answerOne for each finite query, in walk order, with its
    // coordinates and the places for its answers (width of each, preset to
    // missing and inf).
    template <class AnswerOne>
    void answerInWalkOrder(const double* qx, const double* qy, std::int64_t count, int threads, std::size_t width,
                           std::int64_t missing, std::int64_t* index, double* distance, std::uint8_t* tied,
                           const AnswerOne& answerOne) const;
    double squareInFrame(double bound) const;
    // How far the query lies outside the points' bounding box (0 inside).
    double gapOutside(double qx, double qy) const;
    // Where the walks of a query start: the hull vertex farthest out toward
    // it when it lies outside the bounding box by more than the box's size,
    // otherwise the hint (the answer before it).
    std::int32_t startFor(double qx, double qy, std::int32_t hint) const;
    // A query more than 2^30 box sizes outside: rounding of squared
    // distances there spans so many points that they are told apart by
    // exact distances (computed ones would need a search through them all).
    bool farOutside(double qx, double qy) const { return gapOutside(qx, qy) > farExtent_; }
    template <class Metric>
    struct Walker;

    SearchPoints points_;
    const NeighbourGraph& graph_;
    std::vector<std::int32_t> lineOrder_;
    ExactFrame frame_;
    std::vector<double> frameXY_;  // the points scaled into the frame, interleaved
    double minX_ = 0, maxX_ = 0, minY_ = 0, maxY_ = 0;
    double extent_ = 0, farExtent_ = 0;  // the bounding box's larger side, and 2^30 times it
    mutable std::once_flag hullMade_;  // the hull is made for the first query far outside
    mutable std::unique_ptr<HullDirections> hull_;
};

}  // namespace kyhost_spatial
