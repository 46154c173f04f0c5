#include "demo_command.hpp"

#include <cstdio>

namespace ky {

int runDemo(const DemoOptions&)
{
    std::fprintf(stderr, "kyhost: the demo is not available in this build\n");
    return 2;
}

}  // namespace ky
