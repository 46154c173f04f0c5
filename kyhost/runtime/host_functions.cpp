#include "host_functions.hpp"

namespace ky {

HostFunction findHostFunction(std::string_view name) noexcept
{
    if (name == "sparse") return &sparseFunction;
    return nullptr;
}

}  // namespace ky
