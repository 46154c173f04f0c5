// Reading the string table that a plug-in library carries, without loading
// the library.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace ky {

// The entries (ID, TEXT) of the library's ".kystrings" section, in order.
// Throws UsageError when the file is not a readable ELF library or has no
// table.
std::vector<std::pair<int, std::string>> readPluginStrings(const std::filesystem::path& library);

}  // namespace ky
