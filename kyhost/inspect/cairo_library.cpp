#include "cairo_library.hpp"

#include <dlfcn.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>

namespace ky::inspect {

namespace {

// The soname of cairo's stable ABI, which the headers compiled against
// describe.
constexpr const char* libraryName = "libcairo.so.2";

CairoLibrary load()
{
    void* handle = dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        throw std::runtime_error(std::string("cannot draw: ") + (why != nullptr ? why : libraryName));
    }
    CairoLibrary library;
#define KY_CAIRO_LOOKUP(name)                                                                                     \
    library.name = reinterpret_cast<decltype(library.name)>(dlsym(handle, "cairo_" #name));                     \
    if (library.name == nullptr) {                                                                               \
        dlclose(handle);                                                                                         \
        throw std::runtime_error(std::string("cannot draw: ") + libraryName + " has no cairo_" #name);          \
    }
    KY_CAIRO_FUNCTIONS(KY_CAIRO_LOOKUP)
#undef KY_CAIRO_LOOKUP
    return library;  // the handle stays open until the process ends
}

}  // namespace

const CairoLibrary& cairo()
{
    static std::mutex lock;
    static CairoLibrary library;
    static std::atomic<bool> loaded{false};
    if (loaded.load(std::memory_order_acquire)) return library;
    const std::lock_guard<std::mutex> guard(lock);
    if (!loaded.load(std::memory_order_relaxed)) {
        library = load();
        loaded.store(true, std::memory_order_release);
    }
    return library;
}

}  // namespace ky::inspect
