// .npy files of any size read in place for the check that streams: the
// coordinates as float64 vectors or columns of float64 matrices
// (npy:PATH#COLUMN; a column of a C-order matrix read with a stride, so
// nothing is copied in either order), and the rows as an M-by-3 matrix of
// float64, int32 or int64 entries, in C or Fortran order. Nothing is read
// in ahead: pages come in as the check touches them, and the mappings are
// guarded, so a file truncated during the check ends it with an error
// instead of SIGBUS.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "streamed_check.hpp"

namespace ky {

// X, Y and TRI from "npy:PATH[#COLUMN]" arguments (TRI whole) (base: what TRI's entries count
// from). Throws UsageError saying what is wrong with a file.
// A float64 vector of coordinates from "npy:PATH" (name: "X" or "Y" in
// messages), mapped in place and guarded; count is set to its length.
const double* openNpyCoordinates(const std::string& argument, const std::string& name, std::uint64_t& count);

inspect::StreamedInputs openStreamedNpyInputs(const std::string& x, const std::string& y, const std::string& tri, int base);

}  // namespace ky
