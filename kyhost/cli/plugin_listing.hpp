// The plug-ins kyhost can call, for --help: every library in the plug-in
// directories, with its call form where kyhost knows it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ky {

struct ListedPlugin {
    std::string name;               // what to type as FUNCTION
    std::filesystem::path library;  // the library that name loads
};

// The plug-ins found in the directories, by name; where two directories
// hold the same name, the first one's library is listed, as it is the one
// that loads.
std::vector<ListedPlugin> listPlugins(const std::vector<std::filesystem::path>& directories);

// The call form of a plug-in or host function of this project, such as
// TRI = sweeptri(X, Y[, "sorted"]), or nothing for a name kyhost does not
// know. Plug-ins carry no description of their arguments, so the forms of
// the known ones are kept here.
std::optional<std::string_view> knownCallForm(std::string_view name);

// The --help section: the plug-ins found with their call forms (just the
// name for others), the host function, and the directories searched.
std::string pluginListingHelp(const std::vector<std::filesystem::path>& directories);

}  // namespace ky
