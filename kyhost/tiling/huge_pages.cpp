#include "huge_pages.hpp"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace tiling {

namespace {

constexpr std::uintptr_t hugePage = std::uintptr_t{2} << 20;

bool wanted()
{
    static const bool yes = [] {
        const char* setting = std::getenv("KY_HUGE_PAGES");
        return setting == nullptr || std::strcmp(setting, "0") != 0;
    }();
    return yes;
}

}  // namespace

void preferHugePages(const void* data, std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    if (data == nullptr || bytes < hugePage || !wanted()) return;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + hugePage - 1) / hugePage * hugePage;
    const std::uintptr_t end = (start + bytes) / hugePage * hugePage;
    // Only a hint: where the kernel refuses, the memory works the same.
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
    (void)data, (void)bytes;
#endif
}

}  // namespace tiling
