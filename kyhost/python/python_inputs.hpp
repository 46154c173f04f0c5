// Python values as host input arrays: float64 and uint8 numpy arrays (read
// in place when they are column-major, aligned and in native byte order,
// copied otherwise), str (text), scipy.sparse matrices, and plain numbers
// or lists of them (as float64).
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <string_view>
#include <vector>

#include "kyhost_embed.hpp"

namespace kyhost_python {

// The inputs of one call, and the Python objects whose memory they read.
struct CallInputs {
    std::vector<kyhost::OwnedArray> arrays;
    std::vector<pybind11::object> keptAlive;

    std::vector<const kyArray*> handles() const;
};

// Appends the host array for value. A 1-D array of n elements is 1-by-n, a
// 0-D one 1-by-1, and one of more dimensions m-by-(the product of the
// rest), in column-major order. Throws TypeError or ValueError for values
// the host cannot take. Must be called with the call lock held.
void addInput(CallInputs& inputs, pybind11::handle value);

// Throws ValueError "kyhost: WHAT contains a NUL byte" when text holds one:
// names and paths go to C functions that would end them there, and use
// another name or file than the one given.
void refuseNulByte(std::string_view text, const std::string& what);

}  // namespace kyhost_python
