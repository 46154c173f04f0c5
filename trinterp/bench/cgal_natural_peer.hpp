// The peer of natural-neighbour interpolation: CGAL's Delaunay triangulation
// (Epick kernel, values kept on the vertices) and, for each query in turn,
// natural_neighbor_coordinates_2 with linear_interpolation, the search
// starting from the face the previous query was found in. One thread.
#pragma once

#include <vector>

namespace trinterp::bench {

// The interpolated value at each query (NaN outside the hull).
std::vector<double> cgalNaturalNeighbour(const std::vector<double>& x, const std::vector<double>& y,
                                         const std::vector<double>& z, const std::vector<double>& qx,
                                         const std::vector<double>& qy);

}  // namespace trinterp::bench
