// The neighbour matrix of a triangulation, built by the host function
// "sparse" from the triangle matrix of the search state.
#pragma once

#include <cstdint>

#include "ky.h"

namespace nearwalk {

// Most triangles whose index matrices for "sparse", six entries per
// triangle, keep a 32-bit element count: 357,913,941, the triangulation of
// up to 178,956,973 points.
inline constexpr std::int32_t maxTriangleCount = INT32_MAX / 6;

// A new n-by-n sparse matrix with a stored entry at (i, j) whenever i and j
// are two corners of one triangle, in either order (so a triangle naming a
// point twice puts that point on the diagonal). The caller destroys it.
// TRI's values go to "sparse" unchanged; it rejects values that are not
// whole numbers from 1 to n with its own error. More than maxTriangleCount
// triangles end the call before anything is read or made.
kyArray* buildNeighbourMatrix();

}  // namespace nearwalk
