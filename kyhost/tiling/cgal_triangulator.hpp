// A TileTriangulator over CGAL's Delaunay_triangulation_2 (exact predicates):
// an independent triangulator for tests, and the stand-in wherever the
// thread-safe sweep is not built. Rows clockwise, 0-based; repeated points
// give std::invalid_argument("x-y data must be unique"), as the sweep does.
#pragma once

#include "tiled_delaunay.hpp"

namespace tiling {

sweeptri::threaded::SweepRows cgalTriangulate(const double* x, const double* y, std::int32_t n);

}  // namespace tiling
