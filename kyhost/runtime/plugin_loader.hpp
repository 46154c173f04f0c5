// Finding and loading plug-in libraries.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "kyx.h"

namespace ky {

class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// File name suffix of plug-in libraries on this platform (".so").
extern const char* const pluginSuffix;

// The host's own plug-in directory: kyhost/plugins inside the directory
// that holds the runtime library (lib/kyhost/plugins in the build tree and
// under the install prefix).
std::filesystem::path hostPluginDir();

// Directories searched for a plug-in name: kyhost's own plug-in directory,
// then each directory of the KYHOST_PATH environment variable.
std::vector<std::filesystem::path> pluginSearchPath(const std::filesystem::path& ownPluginDir);

// The library for a plug-in name (NAME + suffix in the first directory that
// has it), or nothing.
std::optional<std::filesystem::path> findPlugin(const std::string& name,
                                                const std::vector<std::filesystem::path>& directories);

// True when the text names a file rather than a plug-in (it holds a path
// separator or ends in the plug-in suffix).
bool looksLikePath(const std::string& text);

// Loads the library and resolves kyxFunction; throws LoadError with the
// reason when the file is missing, is not a loadable library, or does not
// export kyxFunction. Libraries stay loaded for the life of the process.
kyxFunctionType loadPlugin(const std::filesystem::path& library);

struct FoundFunction {
    kyxFunctionType entry = nullptr;
    std::filesystem::path library;  // empty for a host function
};

// A function by name as every front end looks it up: a path is loaded as
// it is; otherwise NAME + suffix in the host's plug-in directory, then in
// each directory of KYHOST_PATH, then the host function of that name.
// Throws LoadError naming the directories searched when nothing matches.
FoundFunction findFunction(const std::string& name);

}  // namespace ky
