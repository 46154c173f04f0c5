// The checks of an interpolation call's arguments, in a fixed order, each
// ending the call with its message on the first failure: the argument
// counts; the sizes of X and Y, Z, TRI, XI and YI; the class of every
// argument; the method; then the values: X and Y finite, TRI's corners
// whole point numbers; and the size of the result.
#pragma once

#include <cstdint>

#include "ky.h"

namespace trinterp {

enum class Method { linear, natural };

struct CheckedArguments {
    Method method;
    std::int32_t pointCount;   // n
    std::int32_t valueCount;   // k: Z is n-by-k, or 1-by-n for k = 1
    bool valuesByRow;          // Z is n-by-k (else 1-by-n)
};

CheckedArguments checkArguments(int outputCount, int inputCount, const kyArray* inputs[]);

// The checks of the queries alone, for a later call over a kept mesh, in
// the same order and with the same messages: XI and YI of one size, both
// real full double matrices, and ZI within the largest array size for
// valueCount values per point.
void checkQueries(const kyArray* xi, const kyArray* yi, std::int32_t valueCount);

}  // namespace trinterp
