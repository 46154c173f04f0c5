// Names the first point behind sweeptri's errors about its points, which do
// not say which point is at fault: the first point (1-based) with a
// coordinate that is not finite, or the first point equal to an earlier
// one. The front ends print this next to the plug-in's own text.
#pragma once

#include <cstddef>
#include <string>

#include "host_array.hpp"

namespace ky::inspect {

// The plug-in's texts that this explains.
inline constexpr const char* repeatedPointsError = "x-y data must be unique";
inline constexpr const char* notFiniteError = "X and Y must contain only finite values.";

// "point 7 (1.5, 2) is at the place of point 3" or "point 4 has a
// coordinate that is not finite: (nan, 1)", for the error text given; empty
// when the text is neither of the above or the points show no such fault.
std::string describePointFault(const std::string& error, const double* x, const double* y, std::size_t n);

// The same for the call's first two inputs, when both are real arrays of
// one element count (as sweeptri's X and Y); empty otherwise.
std::string describePointFault(const std::string& error, const kyArray* x, const kyArray* y);

}  // namespace ky::inspect
