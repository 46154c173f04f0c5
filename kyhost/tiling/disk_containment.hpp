// Whether a triangle's closed circumdisk lies inside an open axis-aligned
// region, decided exactly for any finite coordinates.
#pragma once

#include "tiled_delaunay.hpp"

namespace tiling {

// a, b, c: the triangle's corners, all in the closed cell (xmin <= x < xmax,
// ymin <= y < ymax). False for a degenerate (zero-area) triangle. Must be
// called with the FPU rounding upwards (inside a
// CGAL::Protect_FPU_rounding<true> block): its fast path is interval
// arithmetic, which relies on that mode.
bool diskInsideOpenCell(const Cell& cell, double ax, double ay, double bx, double by, double cx, double cy);

}  // namespace tiling
