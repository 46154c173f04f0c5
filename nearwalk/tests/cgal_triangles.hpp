// Delaunay triangulations by CGAL (exact predicates), as an independent
// source of TRI for point sets that are hard for a sweep, such as points a
// rounding error apart: M-by-3, 1-based, column-major.
#pragma once

#include <vector>

namespace nearwalk::testing {

std::vector<double> cgalTriangles(const std::vector<double>& x, const std::vector<double>& y);

}  // namespace nearwalk::testing
