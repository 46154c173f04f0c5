// Host functions that plug-ins call by name through kyxCallKarvel (and
// kyhost calls directly).
#pragma once

#include <string_view>

#include "kyx.h"

namespace ky {

// Same calling convention as a plug-in's kyxFunction.
using HostFunction = kyxFunctionType;

// The function of that name, or null.
HostFunction findHostFunction(std::string_view name) noexcept;

// "sparse": builds a sparse matrix from row indices, column indices, a
// value and the two dimensions.
void sparseFunction(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[]);

}  // namespace ky
