// NumPy .npy files: float64 arrays as real double matrices, uint8 arrays as
// unsigned 8-bit arrays.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host_array.hpp"
#include "output_file.hpp"

namespace ky {

// The array of "PATH[#COLUMN]" (npy_source.hpp). A 2-D array keeps its
// shape (C or Fortran order), a 1-D array of n elements is 1-by-n, a 0-D
// array 1-by-1; with a column chosen, that column of a 2-D array as an
// M-by-1 array. Other dtypes and more dimensions are refused with a
// UsageError.
ArrayHandle readNpy(const std::string& value);

// Throws UsageError for arrays that .npy cannot hold (sparse matrices).
void checkNpyWritable(const kyArray* array);

// Writes a real double matrix ('<f8'), or a uint8 or character array
// ('|u1'), as a 2-D Fortran-order array straight from the host's
// column-major storage. Sparse matrices are refused.
void writeNpy(OutputFile& out, const kyArray* array);

// What the header at the start of a .npy file says.
struct NpyHeader {
    std::string descr;
    bool fortranOrder = false;
    std::vector<long long> shape;
    std::size_t dataOffset = 0;  // where the data starts, in bytes from the file's start
};

// The header at the start of bytes, or nothing when bytes do not start with
// a complete header that reads as one (readNpy then says what is wrong).
// The dtype, the shape and the data are not checked.
std::optional<NpyHeader> peekNpyHeader(std::string_view bytes);

}  // namespace ky
