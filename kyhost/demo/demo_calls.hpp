// The demo's calls into the plug-ins, through the embedding interface.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "kyhost_embed.hpp"

namespace ky {

// An m-by-n real input, column-major, read in place: values must outlive
// the call.
struct DemoMatrix {
    std::int32_t m, n;
    const std::vector<double>* values;
};

// Calls the plug-in NAME in pluginDir on the inputs. Empty, with the reason
// in error, when the call could not be made at all.
kyhost::CallRecord callDemoPlugin(const std::filesystem::path& pluginDir, const char* name,
                                  std::initializer_list<DemoMatrix> inputs, std::optional<std::string>& error);

// The warnings, error and wall time of a finished call.
void readCallRecord(const kyhostCall* call, std::vector<std::string>& warnings, std::optional<std::string>& error,
                    double& seconds);

}  // namespace ky
