// Reading the data files that kyhost arguments name.
#pragma once

#include <string>

#include "host_array.hpp"

namespace ky {

// Whole file, or standard input for "-". Throws UsageError when unreadable.
std::string readWholeFile(const std::string& path);

// Real matrix from CSV: one row per line, comma-separated numbers (inf,
// -inf and nan accepted), every line the same length. An empty file is
// 0-by-0. Throws UsageError naming file and line.
ArrayHandle readCsvMatrix(const std::string& path);

// uint8 matrix from a CSV of whole numbers 0 to 255.
ArrayHandle readUint8CsvMatrix(const std::string& path);

// Sparse matrix from a CSV whose first line is "M,N" and each further line
// "i,j" or "i,j,v" (1-based, v defaults to 1). Within each column entries
// keep the order of the file, repeats included.
ArrayHandle readSparseCsv(const std::string& path);

// 1-by-N uint8 array holding the bytes of a file.
ArrayHandle readBytes(const std::string& path);

}  // namespace ky
