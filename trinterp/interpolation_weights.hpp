// The weights that make a query's value: which data points take part and
// how much each counts, for the two methods.
#pragma once

#include <cstdint>

#include "mesh.hpp"
#include "point_location.hpp"

namespace trinterp {

struct Neighbour {
    std::int32_t point;
    double weight;
};

// The barycentric weights of the query in row r, in ascending order of the
// points' positions in X and Y (as all weights). Each is the ratio of two
// accurate orientations computed in the row's own frame (geometry/scale_exponent.hpp),
// so at a corner they are exactly 1, 0, 0, and a linear function is
// reproduced to a few units in the last place; where an orientation's error
// bound is not small beside the row's, the weights are the exact ratios,
// rounded.
void linearWeights(const Mesh& mesh, std::int32_t r, double qx, double qy, Neighbour weights[3]);

// Working memory of one thread for natural-neighbour weights, taken on the
// calling thread before any worker starts (see takeNaturalScratch).
struct NaturalScratch {
    std::uint32_t* rowMark;     // per row: the stamp of the query whose region holds it
    std::int32_t* region;       // rows of the current query's region
    std::uint32_t* pointMark;   // per point: the stamp of the query that has it as a neighbour
    std::int32_t* pointSlot;    // per point: its place in neighbours
    Neighbour* neighbours;      // the current query's neighbours
    std::uint32_t stamp;
};

NaturalScratch takeNaturalScratch(const Mesh& mesh);

// Sibson's natural-neighbour coordinates of a query at a location inside
// the rows, written to scratch.neighbours in ascending point order; returns
// how many. The natural neighbours are the corners of the rows whose
// circumcircle holds the query strictly inside (exact in-circle tests),
// found from the row that holds it. Each neighbour's coordinate is the area
// the query would take from its Voronoi cell, over the sum of those areas.
// At a data point the coordinates are that point's alone; on a side without
// a row across, the two ends' linear weights along the side, computed as
// CGAL's natural_neighbor_coordinates_2 does. Returns 0 when the areas do not
// add up to a positive finite sum, which rows that are not Delaunay can
// cause.
std::int32_t naturalWeights(const Mesh& mesh, const Location& at, double qx, double qy, NaturalScratch& scratch);

// The side terms of rows begin to end (three per row, in terms[3r] on),
// which natural weights otherwise work out for each query anew.
void computeSideTerms(const Mesh& mesh, double* terms, std::int32_t begin, std::int32_t end);

// out[j] = sum of weight * z[point * valueCount + j] over the neighbours, in
// their order; NaN when there are none.
void weightedValues(const Neighbour* neighbours, std::int32_t count, const double* z, std::int32_t valueCount,
                    double* out);

}  // namespace trinterp
