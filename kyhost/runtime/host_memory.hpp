// Storage for the host's arrays, kyCalloc blocks and working buffers.
//
// Fresh memory is expensive on first touch: every page the system hands out
// costs a fault and a zeroing by the kernel, which on virtual machines
// dominates large calls (a million-point triangulation touches some 300 MB).
// So:
//  - large blocks are mapped straight from the system, aligned to 2 MB so
//    that transparent huge pages can back them where the system uses them
//    for every mapping, and asked for huge pages unless KY_HUGE_PAGES=0.
//    Fresh mappings read as zeros, so a zeroed block that is fresh is not
//    cleared again: its pages are only touched when the caller first uses
//    them, and pages it never uses are never made resident;
//  - a block that the caller will write in full can be made resident at
//    once (Residency::AtOnce): one system call instead of a fault per page;
//  - released large blocks are kept in a cache and handed out again (split
//    when larger than asked for), so that repeated calls and the blocks of
//    one call reuse memory that is already mapped. The cache never lets the
//    large blocks held, in use and cached together, grow past the most
//    that was ever in use at once: before fresh memory is mapped, cached
//    blocks are given back to the system as far as needed. Keeping freed
//    memory thus never raises a process's peak;
//  - a call's small kyCalloc blocks are carved from large chunks (CallArena)
//    that go back to the cache when their blocks are all freed, or when
//    the call ends.
// Sanitizer builds bypass the cache and the arena, so that every block is
// a separate allocation that AddressSanitizer can check.
#pragma once

#include <cstddef>
#include <vector>

namespace ky {

// When the pages of a large fresh block are made resident: on first use,
// one fault each (for blocks whose end may stay unused), or at once, in
// one system call, for blocks that the caller writes in full: that costs
// the system a fraction of the faults.
enum class Residency { OnFirstUse, AtOnce };

// count*size bytes (at least one), zero-filled; null when out of memory or
// when the product overflows.
void* allocateZeroed(std::size_t count, std::size_t size, Residency residency = Residency::OnFirstUse) noexcept;

// bytes (at least one) of uninitialised storage; null when out of memory.
void* allocateUninitialised(std::size_t bytes, Residency residency = Residency::OnFirstUse) noexcept;

// Releases a block from either function above (null is ignored).
void releaseBlock(void* block) noexcept;

// Gives back to the system what a large block holds beyond its first bytes,
// in whole huge pages; the block stays valid for those bytes. Other blocks
// are left as they are.
void shrinkBlock(void* block, std::size_t bytes) noexcept;

// Bytes of large blocks in use and cached now, and the most ever in use at
// once (zero in sanitizer builds, which do not track blocks).
struct LargeBlockUsage {
    std::size_t liveBytes = 0;
    std::size_t cachedBytes = 0;
    std::size_t peakLiveBytes = 0;
};
LargeBlockUsage largeBlockUsage() noexcept;

// Small zeroed blocks for one call, carved from large chunks. A chunk whose
// blocks have all been released goes back to the cache at once, so that
// later blocks of the same call reuse its pages (a call that drops one
// structure and builds another then touches no fresh memory for the
// second); everything else goes back when the arena is destroyed.
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
    // A block from allocateZeroed is no longer used.
    void release(void* block) noexcept;

private:
    struct Chunk {
        char* start;
        std::size_t liveBlocks;  // carved from it and not released
    };
    std::vector<Chunk> chunks_;  // the last one is being carved
    char* next_ = nullptr;
    std::size_t left_ = 0;
    // The current chunk was freshly mapped: what is left of it reads as
    // zeros without being cleared.
    bool freshChunk_ = false;
};

}  // namespace ky
