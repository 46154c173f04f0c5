// kyhost demo: triangulates random points through the real plug-ins, checks
// the result and draws it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace ky {

struct DemoOptions {
    long long points = 2000;
    std::uint64_t seed = 20261207;
    std::string svgPath = "demo.svg";
    std::filesystem::path pluginDir;  // where sweeptri and nearwalk are found
};

// Returns the process exit status.
int runDemo(const DemoOptions& options);

}  // namespace ky
