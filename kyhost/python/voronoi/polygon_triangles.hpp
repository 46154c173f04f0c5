// A polygon with holes cut into triangles whose corners are its own corners
// (a constrained Delaunay triangulation of its rings, kept where it lies
// inside): convex pieces that the cells can be clipped to exactly.
#pragma once

#include <cstdint>
#include <vector>

namespace kyhost_voronoi {

// Rings: corners (x, y) of ring r at ringStart[r] .. ringStart[r + 1] - 1,
// not closed (the first corner is not repeated). The rings must not cross
// (callers check the polygon is valid first). Returns corner indices,
// three per triangle, counter-clockwise.
std::vector<std::int64_t> polygonTriangles(const double* x, const double* y, const std::int64_t* ringStart,
                                           std::int64_t rings);

}  // namespace kyhost_voronoi
