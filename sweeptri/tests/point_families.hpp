// Point sets for the sweeptri tests. The families are sets on which a plain
// sweep goes wrong (tilted grids, near-collinear sets, twins an ulp apart,
// jittered lattices, anisotropic and offset data) and ones where it is
// right (cocircular integer sets, lon/lat data). The hard shapes are the
// ones on which a search of the beach line from its slots alone walks far:
// points crowded at one x, far outliers, heavy tails, circles, tilted grids.
#pragma once

#include <string>
#include <vector>

namespace sweeptri::testing {

struct PointSet {
    std::string name;
    std::vector<double> x, y;
};

// The set with every coordinate multiplied by 2^exponent.
PointSet scaled(PointSet set, int exponent);

PointSet tiltedGrid(int side, double radians, const std::string& name);

// The families; gridSide is the side of the grid tilted by 1e-9 radians.
std::vector<PointSet> families(int gridSide);

// Each hard shape with about n points, free of repeats.
std::vector<PointSet> hardShapes(int n, unsigned seed);

// The size the search tests give the hard shapes (smaller where the exact
// oracle is slow, as under the sanitizers).
#ifdef SWEEPTRI_SMALL_ORACLE
inline constexpr int hardShapeSize = 2000;
#else
inline constexpr int hardShapeSize = 10000;
#endif

}  // namespace sweeptri::testing
