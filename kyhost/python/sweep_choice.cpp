#include "sweep_choice.hpp"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace kyhost_python {

namespace {

using StaticTlsSweep = void (*)(const double*, const double*, std::int32_t, sweeptri::threaded::SweepRows*);
using KeepMemory = void (*)();

StaticTlsSweep staticTlsSweep = nullptr;
KeepMemory staticTlsKeepMemory = nullptr;

sweeptri::threaded::SweepRows viaStaticTls(const double* x, const double* y, std::int32_t n)
{
    sweeptri::threaded::SweepRows rows;
    staticTlsSweep(x, y, n, &rows);
    return rows;
}

void keepViaStaticTls() { staticTlsKeepMemory(); }

// The module lies beside the package's own: found from this function's
// address. It stays loaded for the life of the process.
bool loadStaticTlsSweep()
{
    const char* setting = std::getenv("KY_STATIC_TLS_SWEEP");
    if (setting != nullptr && std::strcmp(setting, "0") == 0) return false;
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&loadStaticTlsSweep), &self) == 0 || self.dli_fname == nullptr) return false;
    std::string path = self.dli_fname;
    const std::size_t slash = path.rfind('/');
    path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "_kyhost_sweep.so";
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return false;  // no room for its static TLS, or not built: the linked-in sweep
    staticTlsSweep = reinterpret_cast<StaticTlsSweep>(dlsym(module, "kyhost_static_tls_sweep"));
    staticTlsKeepMemory = reinterpret_cast<KeepMemory>(dlsym(module, "kyhost_static_tls_keep_memory"));
    if (staticTlsSweep != nullptr && staticTlsKeepMemory != nullptr) return true;
    dlclose(module);
    return false;
}

}  // namespace

const SweepChoice& sweepChoice()
{
    static const SweepChoice choice = loadStaticTlsSweep()
        ? SweepChoice{&viaStaticTls, &keepViaStaticTls, "static-tls"}
        : SweepChoice{&sweeptri::threaded::triangulate, &sweeptri::threaded::keepMemoryOnThisThread, "dynamic-tls"};
    return choice;
}

}  // namespace kyhost_python
