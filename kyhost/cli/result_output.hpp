// Writing a call's result: CSV on a stream, or a file (.npy or CSV).
#pragma once

#include <ostream>
#include <string>

#include "host_array.hpp"

namespace ky {

// One line per row, comma-separated; doubles in their shortest exact form,
// uint8 as whole numbers, a character array as its text (one line per
// row), sparse as "M,N" then "i,j,v" lines in storage order. A result with
// no rows prints nothing.
void writeCsv(std::ostream& out, const kyArray* array);

// .npy when the path ends in .npy, CSV otherwise. Throws UsageError when
// the file cannot be written.
void writeResultFile(const std::string& path, const kyArray* array);

}  // namespace ky
