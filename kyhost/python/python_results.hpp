// Host result arrays as Python values: real and uint8 arrays as 2-D numpy
// arrays over the host's column-major storage (no copy; the numpy array
// keeps the host array alive), text as str, sparse matrices as
// scipy.sparse.csc_matrix over the host's storage.
#pragma once

#include <pybind11/pybind11.h>

#include "kyhost_embed.h"

namespace kyhost_python {

// Takes the array over (it is freed when Python lets go of the value).
pybind11::object resultValue(kyArray* array);

// Text decoded as file names are (UTF-8, undecodable bytes kept).
pybind11::str decodeText(const char* bytes, std::size_t length);

}  // namespace kyhost_python
