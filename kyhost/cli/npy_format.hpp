// NumPy .npy files: float64 arrays as real double matrices, uint8 arrays as
// unsigned 8-bit arrays.
#pragma once

#include <string>

#include "host_array.hpp"
#include "output_file.hpp"

namespace ky {

// A 2-D array keeps its shape (C or Fortran order), a 1-D array of n
// elements is 1-by-n, a 0-D array 1-by-1. Other dtypes and more dimensions
// are refused with a UsageError.
ArrayHandle readNpy(const std::string& path);

// Throws UsageError for arrays that .npy cannot hold (sparse matrices).
void checkNpyWritable(const kyArray* array);

// Writes a real double matrix ('<f8'), or a uint8 or character array
// ('|u1'), as a 2-D Fortran-order array straight from the host's
// column-major storage. Sparse matrices are refused.
void writeNpy(OutputFile& out, const kyArray* array);

}  // namespace ky
