// trinterp: ZI = trinterp(X, Y, Z, TRI, XI, YI) or ZI = trinterp(X, Y, Z,
// TRI, XI, YI, METHOD) interpolates the values Z given at the data points
// (X, Y) onto the query points (XI, YI), over the triangulation TRI:
// "linear" (the default) on the plane over the row that holds each query,
// "natural" with Sibson's natural-neighbour coordinates.
#include "call_state.hpp"
#include "kyx.h"

extern "C" KYX_EXPORT void kyxFunction(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[])
{
    trinterp::interpolate(outputCount, outputs, inputCount, inputs);
}
