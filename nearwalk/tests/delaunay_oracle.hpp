// Delaunay triangulations for the tests, from CGAL, in the triangle-matrix
// layout the plug-in takes: M-by-3, 1-based point positions, column-major.
#pragma once

#include <vector>

namespace nearwalk::testing {

std::vector<double> delaunayTriangles(const std::vector<double>& x, const std::vector<double>& y);

}  // namespace nearwalk::testing
