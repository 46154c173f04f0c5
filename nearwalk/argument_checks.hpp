// The checks of a search call's arguments, each ending the call with its
// message on the first failure.
#pragma once

#include <cstdint>

#include "ky.h"

namespace nearwalk {

// Argument counts, then the sizes of X and Y, XI and YI, and TRI, then the
// class of X, Y, TRI, XI and YI, which must be real full double matrices
// (their elements are read as doubles).
void checkArguments(int outputCount, int inputCount, const kyArray* inputs[]);

// The neighbour matrix must be sparse and have a column for every data
// point, since a walk looks up the column of every point it reaches.
void checkNeighbourMatrix(const kyArray* neighbours, std::int32_t pointCount);

}  // namespace nearwalk
