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
#include <vector>

#include "exact_frame.hpp"
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

    // The distance from a query to point p as the searches report it.
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
    template <class Metric>
    struct Walker;

    SearchPoints points_;
    const NeighbourGraph& graph_;
    std::vector<std::int32_t> lineOrder_;
    ExactFrame frame_;
    std::vector<double> frameXY_;  // the points scaled into the frame, interleaved
};

}  // namespace kyhost_spatial
