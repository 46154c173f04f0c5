// Point sets that are hard for nearest-point walks because many distances
// from a query tie or nearly tie: tilted grids, points a rounding error off
// a line, twins one unit in the last place apart, jittered lattices, integer
// points on circles, large offsets and rounded longitudes and latitudes.
// Every set is free of repeated points.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nearwalk::testing {

struct PointSet {
    std::string name;
    std::vector<double> x, y;
};

// Each family at an ordinary magnitude, a few hundred points per set.
std::vector<PointSet> hardPointSets();

// The set with every coordinate multiplied by 2^exponent.
PointSet scaledSet(const PointSet& set, int exponent);

// The exponents that move a set's largest magnitude to about 2^1000 and its
// smallest non-zero magnitude to about 2^-1000, each while keeping every
// coordinate a normal number or zero, so the scaled set has the same
// structure.
std::vector<int> extremeExponents(const PointSet& set);

// Query points for a set and its triangle matrix (M-by-3, 1-based,
// column-major): midpoints of the triangles' sides, the triangles' centres
// of their circumcircles, the data points moved by one unit in the last
// place, and a grid over a box a little larger than the set's; at most
// `limit` of them, spread over those kinds.
PointSet hardQueries(const PointSet& set, const std::vector<double>& tri, std::size_t limit);

}  // namespace nearwalk::testing
