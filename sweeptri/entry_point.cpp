// sweeptri: TRI = sweeptri(X, Y) or sweeptri(X, Y, 'sorted') returns the
// Delaunay triangles of the points (X, Y), one row of three 1-based point
// positions per triangle, computed with a sweep-line construction of the
// points' Voronoi diagram.
#include "kyx.h"
#include "triangulate_call.hpp"

extern "C" KYX_EXPORT void kyxFunction(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[])
{
    sweeptri::triangulateCall(outputCount, outputs, inputCount, inputs);
}
