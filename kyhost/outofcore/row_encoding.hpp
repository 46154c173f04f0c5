// Rows as the output file holds them: 0-based clockwise int64 corners
// turned into float64, int64 or int32 entries counting from the base, in
// either orientation; and the fixed-size .npy header of an M-by-3 C-order
// matrix, written last so that the row count is known.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "out_of_core_options.hpp"

namespace outofcore {

// Bytes of one entry of the output.
std::size_t entryBytes(IndexType index);

// The rows' bytes: corners 1 and 2 swapped for counter-clockwise.
std::vector<char> encodeRows(const std::vector<std::int64_t>& rows, IndexType index, int base, bool clockwise);

// The header is always this long, so the rows start at the same offset
// whatever their count.
constexpr std::size_t npyHeaderBytes = 128;
std::string npyRowsHeader(IndexType index, std::uint64_t rows);

}  // namespace outofcore
