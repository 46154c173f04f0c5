// Which triangle holds each query point, with exact orientation tests, in
// O(log n) expected steps whatever the points' shape.
//
// The triangulation is kept with coarser ones over random samples of its
// points (each level about 1/32 of the one below, as a Delaunay hierarchy).
// A query is located in the coarsest level by a walk, then level by level:
// from the corner nearest to it of the triangle found, the triangle of that
// corner's star whose wedge holds the query (a bisection over the star,
// O(log degree)) starts a visibility walk in the next level. Each walk
// crosses, in expectation, a constant number of triangles: the found
// triangle of a sample with 1/32 of the points meets few triangles of the
// finer level, also where the triangles are long and thin (points in convex
// position make fans of them around one point).
//
// A visibility walk moves from a triangle across an edge that has the query
// strictly on its far side until none has (the triangle holds it) or the
// edge is on the hull (the query is outside the hull). On a Delaunay
// triangulation it always ends (Edelsbrunner: the relation "in front of"
// seen from any point is acyclic), so no walk is cut short.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "exact_frame.hpp"
#include "vertex_stars.hpp"

namespace kyhost_spatial {

// One level: its points (numbers among the triangulation's points, none
// for the full level), their numbers in the next finer level, and its
// clockwise rows with their neighbours.
struct LocationLevel {
    std::vector<std::int32_t> points;  // empty for level 0
    std::vector<std::int32_t> finer;   // empty for level 0
    std::vector<std::int32_t> ownRows;
    const std::int32_t* rows = nullptr;
    std::int64_t m = 0;
    std::vector<std::int32_t> ownAcross;
    const std::int32_t* across = nullptr;
    VertexStars stars;
};

class PointLocation {
public:
    // x, y: the n points (finite, kept alive by the caller); frameXY: the
    // same scaled by frame (interleaved), or null when the frame holds no
    // data; rows, across: the clockwise triangulation and its neighbours
    // (kept alive by the caller).
    PointLocation(const double* x, const double* y, std::int32_t n, const ExactFrame& frame, const double* frameXY,
                  const std::int32_t* rows, const std::int32_t* across, std::int64_t m);

    // Adds a coarser level above the last: points (ascending numbers among
    // the triangulation's points, each a point of the last level) and their
    // clockwise triangulation (rows over 0 .. points.size()-1).
    void addLevel(std::vector<std::int32_t> points, std::vector<std::int32_t> rows);

    // For each query: the row holding it (-1 outside the hull or for a
    // coordinate that is not finite). The answer does not depend on the
    // queries' order; queries in order (a grid, a path) are located faster. A point outside the hull whose
    // barycentric weights with respect to the hull triangle it was left by
    // are all at least -tolerance counts as in that triangle.
    void locate(const double* qx, const double* qy, std::int64_t count, double tolerance,
                std::int64_t* simplex) const;

    // The same by testing every row, the first that holds the point: exactly
    // inside or on it, or (tolerance > 0) with weights at least -tolerance.
    void locateEverywhere(const double* qx, const double* qy, std::int64_t count, double tolerance,
                          std::int64_t* simplex) const;

    // The weights (3 per query, in the rows' corner order) of each query in
    // its row; NaN for rows below 0.
    void weights(const std::int64_t* simplex, const double* qx, const double* qy, std::int64_t count,
                 double* out) const;

    std::size_t levelCount() const { return levels_.size(); }

private:
    template <class Coordinates>
    std::int64_t locateOne(const Coordinates& at, double qx, double qy, double tolerance) const;
    bool heldWithin(std::int64_t t, double qx, double qy, double tolerance) const;
    // Calls answer with the query's coordinates in the frame, or as given outside it.
    template <class Answer>
    void inFrameOrGiven(double px, double py, const Answer& answer) const;

    const double* x_;
    const double* y_;
    std::int32_t n_;
    ExactFrame frame_;
    const double* frameXY_;
    std::vector<LocationLevel> levels_;
    // Bounding boxes of the rows, for the search of every row, made once.
    mutable std::once_flag boxesMade_;
    mutable std::vector<double> boxes_;
};

}  // namespace kyhost_spatial
