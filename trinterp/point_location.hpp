// Finding the row that holds a query point, with exact orientation tests.
//
// Where several rows hold the point (it lies on a side or at a corner),
// the answer is the lowest-numbered of them, so it never depends on where a
// search started, in which order the queries came, or on which thread.
#pragma once

#include <cstdint>

#include "mesh.hpp"

namespace trinterp {

struct Location {
    enum Kind : std::uint8_t { outside, inside, onSide, atCorner, unresolved };
    Kind kind = outside;
    int index = 0;           // the side (onSide) or corner (atCorner) of row where the point lies
    std::int32_t row = -1;   // the lowest-numbered row that holds the point
    std::int32_t last = -1;  // the row a walk ended in: where the next walk starts
};

// Where the point lies in row r (which must hold it), from the signs of its
// three sides as seen from the point.
Location::Kind kindInRow(const int signs[3], int& index);

// For a mesh whose rows triangulate a convex region (mesh.convex): walks
// from row start towards the point, across the side that has the point on
// its far side, testing the sides after the one it came in by first. A walk
// that crosses an open side has left the region: the point is outside.
// After budget steps (a triangulation that is not Delaunay can make a walk
// circle) the result is unresolved and the caller searches otherwise.
Location walkTo(const Mesh& mesh, double qx, double qy, std::int32_t start, std::int64_t budget);

// The lowest-numbered row holding the point, for any rows, through the
// row buckets (mesh.buckets must be built).
Location searchBuckets(const Mesh& mesh, double qx, double qy);

}  // namespace trinterp
