// Writing a call's result: CSV on standard output, or a file (.npy or CSV).
#pragma once

#include <string>

#include "host_array.hpp"
#include "output_file.hpp"

namespace ky {

// One line per row, comma-separated; doubles as formatNumber writes them,
// uint8 as whole numbers, a character array as its text (one line per
// row), sparse as "M,N" then "i,j,v" lines in storage order. A result with
// no rows prints nothing. Throws UsageError when a write fails.
void writeCsv(OutputFile& out, const kyArray* array);

// .npy when the path ends in .npy, CSV otherwise. Throws UsageError when
// the file cannot be written in full; a partial regular file is removed.
void writeResultFile(const std::string& path, const kyArray* array);

// The result as CSV on standard output. Throws UsageError when it cannot
// be written.
void writeResultToStandardOutput(const kyArray* array);

}  // namespace ky
