// Building the call's mesh from X, Y and TRI on the calling thread.
#pragma once

#include <cstdint>

#include "call_state.hpp"

namespace trinterp {

// Fills interpolationCall.mesh (and anyFlatRow) from checked arguments.
// The coordinates are kept as given: the predicates are exact on any
// doubles, and the weights work in frames of their own (see
// interpolation_weights.hpp), so no scale for the whole call is needed.
void buildMesh(const double* x, const double* y, std::int32_t n, const double* tri, std::int32_t rowCount);

// True when every inner side of the rows is locally Delaunay (the row
// across has its far corner not strictly inside the circle), the rows
// triangulate a convex region, and none is flat: O(M) exact tests.
bool rowsAreDelaunay();

}  // namespace trinterp
