#include "huge_pages.hpp"

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace nearwalk {

void adviseHugePages([[maybe_unused]] void* start, [[maybe_unused]] std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t pageSize = 4096;
    constexpr std::size_t hugePageSize = std::size_t(2) << 20;
    if (bytes < hugePageSize) return;
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(start) + pageSize - 1) & ~(pageSize - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(pageSize - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

}  // namespace nearwalk
