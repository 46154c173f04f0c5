// Storage for the host's arrays, kyCalloc blocks and working buffers.
//
// Large blocks are aligned to 2 MB and backed by transparent huge pages
// where the system offers them: filling a block of hundreds of megabytes
// then costs one page fault per 2 MB instead of one per 4 KB, and on virtual
// machines first-touch faults otherwise dominate the large calls. All blocks
// are released with std::free.
#pragma once

#include <cstddef>

namespace ky {

// count*size bytes (at least one), zero-filled; null when out of memory or
// when the product overflows.
void* allocateZeroed(std::size_t count, std::size_t size) noexcept;

// bytes (at least one) of uninitialised storage; null when out of memory.
void* allocateUninitialised(std::size_t bytes) noexcept;

}  // namespace ky
