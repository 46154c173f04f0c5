// .npy inputs read in place: a file whose data already lies the way a host
// array stores it is mapped into memory instead of being copied, which
// saves reading it through a buffer, a second copy and the zeroing of the
// fresh memory both copies need.
#pragma once

#include <string>

#include "host_array.hpp"

namespace ky {

// The array of "PATH[#COLUMN]", as readNpy gives it. When the file is a regular
// file holding float64 (little-endian) or uint8 data in column-major order
// (Fortran order, or C order with one dimension, one row or one column;
// any column of these),
// with its data at an offset aligned to the element size, the array
// borrows a private mapping of the file: the file is never written, even
// if the array is. The whole file is read in when it is mapped, so that a
// read error is found then, not on first use; a file truncated later,
// during a call, ends that call with "input file 'PATH' changed while it
// was read" (mapped_input_guard.hpp) instead of a bus error. Mappings stay until the
// process ends. Everything else (and any file that cannot be mapped or read
// in) is read by readNpy, with its errors.
ArrayHandle readNpyInPlace(const std::string& value);

}  // namespace ky
