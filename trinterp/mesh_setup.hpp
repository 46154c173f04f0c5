// Building the call's mesh from X, Y and TRI on the calling thread.
#pragma once

#include <cstdint>

#include "call_state.hpp"

namespace trinterp {

// The power of two that brings the points' largest magnitude near 1 when it
// lies outside [2^-200, 2^200] (0 inside it): there neither the weights'
// arithmetic nor the predicates' shortcuts overflow or underflow, and a
// power of two changes no sign and no ratio.
int scaleExponentFor(const double* x, const double* y, std::int32_t n);

// Fills interpolationCall.mesh (and anyFlatRow) from checked arguments.
void buildMesh(const double* x, const double* y, std::int32_t n, const double* tri, std::int32_t rowCount,
               int scaleExponent);

// True when every inner side of the rows is locally Delaunay (the row
// across has its far corner not strictly inside the circle), the rows
// triangulate a convex region, and none is flat: O(M) exact tests.
bool rowsAreDelaunay();

}  // namespace trinterp
