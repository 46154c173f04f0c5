#include "host_memory.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace ky {

namespace {

constexpr std::size_t hugePageSize = std::size_t(2) << 20;

// Blocks from this size on are worth aligning and advising.
constexpr std::size_t largeBlock = 2 * hugePageSize;

void* allocateLarge(std::size_t bytes) noexcept
{
    const std::size_t rounded = (bytes + hugePageSize - 1) / hugePageSize * hugePageSize;
    void* block = std::aligned_alloc(hugePageSize, rounded);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only a hint: without huge pages the block works the same.
    if (block != nullptr) madvise(block, rounded, MADV_HUGEPAGE);
#endif
    return block;
}

}  // namespace

void* allocateUninitialised(std::size_t bytes) noexcept
{
    if (bytes == 0) bytes = 1;
    return bytes >= largeBlock ? allocateLarge(bytes) : std::malloc(bytes);
}

void* allocateZeroed(std::size_t count, std::size_t size) noexcept
{
    if (count == 0) count = 1;
    if (size == 0) size = 1;
    if (count > SIZE_MAX / size) return nullptr;
    const std::size_t bytes = count * size;
    if (bytes < largeBlock) return std::calloc(count, size);
    void* block = allocateLarge(bytes);
    if (block != nullptr) std::memset(block, 0, bytes);
    return block;
}

}  // namespace ky
