// Checks of triangulations for the tiler's tests.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tiling::testing {

// Empty when rows (3 per triangle, clockwise, global ids) are a Delaunay
// triangulation of the n distinct points, decided with exact predicates:
// every triangle clockwise, every directed edge once, every inner edge
// locally Delaunay, the outer edges on the convex hull, and as many
// triangles as a triangulation of these points has. Otherwise what failed.
std::string delaunayFault(const std::vector<double>& x, const std::vector<double>& y,
                          const std::vector<std::int64_t>& rows);

// The rows as a sorted set of triangles (each rotated to start at its least
// corner, orientation kept), for comparing triangulations.
std::vector<std::array<std::int64_t, 3>> canonical(const std::vector<std::int64_t>& rows);

}  // namespace tiling::testing
