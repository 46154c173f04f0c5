// Nearest data point of each query point by a uniform grid of buckets over
// the points, without a triangulation: for griddata's "nearest" and
// NearestNDInterpolator, where building a Delaunay triangulation would
// cost more than all the queries.
//
// Answers are those of the triangulation's search (nearest_search.hpp) for
// every query in the data's exact frame (exact_frame.hpp): the point of
// smallest computed squared distance (ComputedDistance, in the frame), the
// lowest-numbered among equal ones. The grid is searched ring by ring
// around the query's cell until no unvisited cell can hold a point whose
// computed distance is at most the best one: a point whose computed
// distance is at most d has an exact squared distance of at most
// bandLimit(d) (distance_order.hpp), and each unvisited cell is at least a
// lower bound away (computed from cell coordinates, shrunk by a margin far
// above their rounding).
//
// Queries outside the frame (or all queries, when the data's magnitudes
// span more than the frame can hold) are not answered here: they get
// notInFrame, for an exact search to answer. So do queries where rounding
// leaves more than crowdedBand points within the band of the smallest
// computed distance (a query far outside the points): the triangulation's
// search compares their distances exactly.
#pragma once

#include <cstdint>
#include <vector>

#include "exact_frame.hpp"

namespace kyhost_spatial {

class GridNearest {
public:
    static constexpr std::int64_t notInFrame = -2;

    // n finite points; the grid keeps its own copy, in the frame.
    GridNearest(const double* x, const double* y, std::int32_t n);

    // For each query i: index[i] the nearest point (-1 when a coordinate is
    // not finite or there are no points, notInFrame, see above),
    // distance[i] its distance (inf when not answered).
    void nearest(const double* qx, const double* qy, std::int64_t count, int threads, std::int64_t* index,
                 double* distance) const;

    std::int64_t columns() const { return nx_; }
    std::int64_t rows() const { return ny_; }

private:
    // A query in the frame (sx, sy), in cell units (tx, ty), and the best
    // point so far.
    struct Query {
        double sx, sy, tx, ty;
        double key;
        std::int32_t point;
        // Computed distances seen within the band of the best (a superset:
        // pruned only when it grows past crowdedBand).
        std::vector<double>* band;
    };
    void search(Query& q) const;
    // Visits the points of cell (i, j) unless it is farther than the best.
    void visitCell(std::int64_t i, std::int64_t j, Query& q) const;
    // Drops the distances beyond the band of the best.
    void pruneBand(Query& q) const;
    // A lower bound of the squared distance from (tx, ty) (cell units) to
    // the cells i0..i1 x j0..j1, in the frame.
    double lowerBound(double tx, double ty, double i0, double i1, double j0, double j1) const;

    ExactFrame frame_;
    std::int32_t n_ = 0;
    std::int64_t nx_ = 1, ny_ = 1;
    double minX_ = 0, minY_ = 0, cellX_ = 1, cellY_ = 1, inverseX_ = 1, inverseY_ = 1;
    double margin_ = 0;  // cell units, covering the rounding of cell coordinates
    std::vector<std::int64_t> cellStart_;  // nx * ny + 1
    std::vector<double> xy_;               // the points in cell order, in the frame, interleaved
    std::vector<std::int32_t> number_;     // their numbers, ascending within each cell
};

}  // namespace kyhost_spatial
