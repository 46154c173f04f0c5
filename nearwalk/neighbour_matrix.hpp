// The neighbour matrix of a triangulation, built by the host function
// "sparse" from the triangle matrix of the search state.
#pragma once

#include "ky.h"

namespace nearwalk {

// A new n-by-n sparse matrix with a stored entry at (i, j) whenever i and j
// are two corners of one triangle, in either order (so a triangle naming a
// point twice puts that point on the diagonal). The caller destroys it.
// TRI's values go to "sparse" unchanged; it rejects values that are not
// whole numbers from 1 to n with its own error.
kyArray* buildNeighbourMatrix();

}  // namespace nearwalk
