// Storage for the host's arrays, kyCalloc blocks and working buffers.
//
// Fresh memory is expensive on first touch: every page the system hands out
// costs a fault and a zeroing, which on virtual machines dominates large
// calls (a million-point triangulation touches some 300 MB). So:
//  - large blocks are aligned to 2 MB and backed by transparent huge pages
//    where the system offers them (one fault per 2 MB instead of per 4 KB);
//  - released large blocks are kept in a bounded cache and handed out again,
//    so that repeated calls reuse memory that is already mapped;
//  - a call's small kyCalloc blocks are carved from large chunks (CallArena)
//    that go back to the cache when the call ends.
// Sanitizer builds bypass the cache and the arena, so that every block is
// a separate allocation that AddressSanitizer can check.
#pragma once

#include <cstddef>
#include <vector>

namespace ky {

// count*size bytes (at least one), zero-filled; null when out of memory or
// when the product overflows.
void* allocateZeroed(std::size_t count, std::size_t size) noexcept;

// bytes (at least one) of uninitialised storage; null when out of memory.
void* allocateUninitialised(std::size_t bytes) noexcept;

// Releases a block from either function above (null is ignored).
void releaseBlock(void* block) noexcept;

// Small zeroed blocks for one call, carved from large chunks; everything is
// released at once when the arena is destroyed.
class CallArena {
public:
    CallArena() = default;
    ~CallArena();
    CallArena(const CallArena&) = delete;
    CallArena& operator=(const CallArena&) = delete;

    // True when a block of this size is served from the arena.
    static bool serves(std::size_t bytes) noexcept;
    // bytes zeroed bytes (serves(bytes) must hold); null when out of memory.
    void* allocateZeroed(std::size_t bytes) noexcept;

private:
    std::vector<void*> chunks_;
    char* next_ = nullptr;
    std::size_t left_ = 0;
};

}  // namespace ky
