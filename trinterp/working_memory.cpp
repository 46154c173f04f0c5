#include "working_memory.hpp"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace trinterp {

void makeResident(void* block, std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    // Only worth a system call for blocks of many pages; the whole pages
    // inside the block only.
    constexpr std::size_t worthIt = std::size_t{1} << 20;
    if (bytes < worthIt) return;
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + page - 1) / page * page, end = (start + bytes) / page * page;
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)block;
    (void)bytes;
#endif
}

}  // namespace trinterp
