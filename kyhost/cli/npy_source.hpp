// The value of an npy: argument, PATH[#COLUMN]: as for the CSV kinds, the
// text after the last '#' selects, here one column of a 2-D array by its
// 1-based number (a .npy file names no columns). A path that holds '#' is
// written with a '#' at its end. PATH "-" is standard input.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace ky {

struct NpySource {
    std::string path;
    std::optional<std::size_t> column;  // 0-based; nothing: the whole array
    std::string value;                  // the argument's value as written
};

// Throws UsageError for a selector that is not one column number.
NpySource parseNpySource(const std::string& value);

// The 0-based column after checking that the array of this shape has it:
// a 2-D array with more than column columns. Throws UsageError naming the
// file and saying what the array is.
std::size_t checkNpyColumn(const NpySource& source, const std::vector<long long>& shape);

// " ('VALUE' exists: ...)" when PATH#SELECTOR was split but the whole
// value names a file, which the user most likely meant; "" otherwise.
std::string npyHashHint(const NpySource& source);

}  // namespace ky
