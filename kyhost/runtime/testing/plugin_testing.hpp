// Helpers for tests that call plug-ins through the real loader and host.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "call_runner.hpp"
#include "host_array.hpp"

namespace ky::testing {

// The built plug-in of that name (from the build's plug-in directory).
kyxFunctionType builtPlugin(const std::string& name);

// Host-owned input arrays.
ArrayHandle matrix(std::int32_t m, std::int32_t n, const std::vector<double>& columnMajor);
ArrayHandle row(const std::vector<double>& values);
ArrayHandle text(const std::string& value);
ArrayHandle bytes(std::int32_t m, std::int32_t n, const std::vector<unsigned char>& columnMajor);

// Runs a call with the given inputs (handles stay the caller's).
CallOutcome call(kyxFunctionType entry, int outputCount, std::initializer_list<const kyArray*> inputs);
CallOutcome call(kyxFunctionType entry, int outputCount, const std::vector<const kyArray*>& inputs);

// The doubles of a real matrix result, column-major.
std::vector<double> values(const kyArray* array);

}  // namespace ky::testing
