#include "host_memory.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

#ifdef __linux__
#include <sys/mman.h>
#endif

// g++ defines __SANITIZE_ADDRESS__ under AddressSanitizer, clang answers
// __has_feature(address_sanitizer).
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KY_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KY_ADDRESS_SANITIZER 1
#endif

namespace ky {

namespace {

#if defined(KY_ADDRESS_SANITIZER) || !defined(__linux__)
constexpr bool reuseMemory = false;
#else
constexpr bool reuseMemory = true;
#endif

constexpr std::size_t hugePageSize = std::size_t(2) << 20;
// Blocks from this size on are mapped, aligned, advised and cached.
constexpr std::size_t largeBlock = 2 * hugePageSize;
// Released large blocks kept for reuse, at most this many bytes in all.
constexpr std::size_t cacheLimit = std::size_t(1) << 30;
// Size of the chunks small kyCalloc blocks are carved from, and the largest
// block carved.
constexpr std::size_t chunkSize = 4 * hugePageSize;
constexpr std::size_t largestCarved = hugePageSize;
constexpr std::size_t carveAlignment = 16;

struct LargeBlocks {
    std::mutex lock;
    std::unordered_map<void*, std::size_t> live;  // block -> capacity
    std::multimap<std::size_t, void*> cached;     // capacity -> block
    std::size_t liveBytes = 0;
    std::size_t cachedBytes = 0;
    std::size_t peakLiveBytes = 0;
};

LargeBlocks& largeBlocks()
{
    static LargeBlocks* blocks = new LargeBlocks;  // never destroyed: used until exit
    return *blocks;
}

std::size_t roundToHugePages(std::size_t bytes) { return (bytes + hugePageSize - 1) / hugePageSize * hugePageSize; }

#ifdef __linux__

// Large blocks ask for transparent huge pages unless KY_HUGE_PAGES=0. A
// huge page replaces 512 faults, and its TLB entry covers what 512 would:
// a triangulation whose records spread over tens of megabytes (all points
// on one circle) takes half the time with them. On virtual machines that
// report free memory back to the hypervisor, fresh huge pages have at
// times cost more system time than the faults they save; there
// KY_HUGE_PAGES=0 keeps ordinary pages.
bool hugePagesWanted() noexcept
{
    static const bool wanted = [] {
        const char* setting = std::getenv("KY_HUGE_PAGES");
        return setting == nullptr || std::strcmp(setting, "0") != 0;
    }();
    return wanted;
}

// capacity bytes (a multiple of the huge page size) of fresh zero pages at a
// huge-page boundary; null when the system refuses.
void* mapFresh(std::size_t capacity) noexcept
{
    if (capacity > SIZE_MAX - hugePageSize) return nullptr;
    const std::size_t span = capacity + hugePageSize;
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + hugePageSize - 1) / hugePageSize * hugePageSize;
    const std::size_t head = aligned - start;
    const std::size_t tail = span - head - capacity;
    if (head != 0) munmap(raw, head);
    if (tail != 0) munmap(reinterpret_cast<void*>(aligned + capacity), tail);
    void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    // Only a hint: without huge pages the block works the same.
    if (hugePagesWanted()) madvise(block, capacity, MADV_HUGEPAGE);
#endif
    return block;
}

void unmap(void* block, std::size_t capacity) noexcept { munmap(block, capacity); }

// Makes the first bytes of a fresh block resident in one system call
// instead of one fault per page, which costs the system much less when the
// caller goes on to write them all. Only a hint: where the system cannot,
// the pages come on first use as usual.
void makeResident(void* block, std::size_t bytes) noexcept
{
#ifdef MADV_POPULATE_WRITE
    madvise(block, bytes, MADV_POPULATE_WRITE);
#else
    (void)block;
    (void)bytes;
#endif
}

#else

void* mapFresh(std::size_t) noexcept { return nullptr; }
void unmap(void*, std::size_t) noexcept {}
void makeResident(void*, std::size_t) noexcept {}

#endif

// Gives cached blocks back to the system, smallest first, until at most
// keep bytes stay cached. The caller holds the lock.
void shrinkCache(LargeBlocks& blocks, std::size_t keep) noexcept
{
    while (blocks.cachedBytes > keep && !blocks.cached.empty()) {
        const auto smallest = blocks.cached.begin();
        unmap(smallest->second, smallest->first);
        blocks.cachedBytes -= smallest->first;
        blocks.cached.erase(smallest);
    }
}

// A cached block of at least capacity bytes, its unused end put back into
// the cache as a block of its own; null when no cached block is that large.
// The caller holds the lock.
void* takeCached(LargeBlocks& blocks, std::size_t capacity) noexcept
{
    const auto found = blocks.cached.lower_bound(capacity);
    if (found == blocks.cached.end()) return nullptr;
    void* block = found->second;
    const std::size_t have = found->first;
    blocks.cached.erase(found);
    blocks.cachedBytes -= have;
    if (have > capacity) {
        void* rest = static_cast<char*>(block) + capacity;
        try {
            blocks.cached.emplace(have - capacity, rest);
            blocks.cachedBytes += have - capacity;
        } catch (...) {
            unmap(rest, have - capacity);
        }
    }
    return block;
}

// A large block of at least bytes, rounded up to whole huge pages. fresh
// tells whether it was just mapped (and so reads as zeros) or reused. A
// fresh block's first bytes are made resident at once when asked.
void* allocateLarge(std::size_t bytes, bool& fresh, Residency residency = Residency::OnFirstUse) noexcept
{
    if (bytes > SIZE_MAX - hugePageSize) return nullptr;
    const std::size_t capacity = roundToHugePages(bytes);
    LargeBlocks& blocks = largeBlocks();
    std::lock_guard<std::mutex> guard(blocks.lock);
    void* block = takeCached(blocks, capacity);
    fresh = block == nullptr;
    if (block == nullptr) {
        // Fresh pages join those already held: keep the cache small enough
        // that live and cached blocks together stay within the most ever
        // live at once (or the new live total, when that is more).
        const std::size_t liveAfter = blocks.liveBytes + capacity;
        const std::size_t ceiling = std::max(blocks.peakLiveBytes, liveAfter);
        shrinkCache(blocks, ceiling - liveAfter);
        block = mapFresh(capacity);
        if (block == nullptr && blocks.cachedBytes != 0) {
            shrinkCache(blocks, 0);
            block = mapFresh(capacity);
        }
        if (block == nullptr) return nullptr;
        if (residency == Residency::AtOnce) makeResident(block, bytes);
    }
    try {
        blocks.live.emplace(block, capacity);
    } catch (...) {
        unmap(block, capacity);
        return nullptr;
    }
    blocks.liveBytes += capacity;
    blocks.peakLiveBytes = std::max(blocks.peakLiveBytes, blocks.liveBytes);
    return block;
}

}  // namespace

void* allocateUninitialised(std::size_t bytes, Residency residency) noexcept
{
    if (bytes == 0) bytes = 1;
    if (!reuseMemory || bytes < largeBlock) return std::malloc(bytes);
    bool fresh = false;
    return allocateLarge(bytes, fresh, residency);
}

void* allocateZeroed(std::size_t count, std::size_t size, Residency residency) noexcept
{
    if (count == 0) count = 1;
    if (size == 0) size = 1;
    if (count > SIZE_MAX / size) return nullptr;
    const std::size_t bytes = count * size;
    if (!reuseMemory || bytes < largeBlock) return std::calloc(count, size);
    bool fresh = false;
    void* block = allocateLarge(bytes, fresh, residency);
    if (block != nullptr && !fresh) std::memset(block, 0, bytes);
    return block;
}

void releaseBlock(void* block) noexcept
{
    if (block == nullptr) return;
    if (reuseMemory) {
        LargeBlocks& blocks = largeBlocks();
        std::lock_guard<std::mutex> guard(blocks.lock);
        if (auto live = blocks.live.find(block); live != blocks.live.end()) {
            const std::size_t capacity = live->second;
            blocks.live.erase(live);
            blocks.liveBytes -= capacity;
            if (blocks.cachedBytes + capacity <= cacheLimit) {
                try {
                    blocks.cached.emplace(capacity, block);
                    blocks.cachedBytes += capacity;
                    return;
                } catch (...) {
                    // No room to remember it: give it back instead.
                }
            }
            unmap(block, capacity);
            return;
        }
    }
    std::free(block);
}

void shrinkBlock(void* block, std::size_t bytes) noexcept
{
    if (!reuseMemory || block == nullptr) return;
    const std::size_t capacity = roundToHugePages(bytes == 0 ? 1 : bytes);
    LargeBlocks& blocks = largeBlocks();
    std::lock_guard<std::mutex> guard(blocks.lock);
    const auto live = blocks.live.find(block);
    if (live == blocks.live.end() || live->second <= capacity) return;
    unmap(static_cast<char*>(block) + capacity, live->second - capacity);
    blocks.liveBytes -= live->second - capacity;
    live->second = capacity;
}

LargeBlockUsage largeBlockUsage() noexcept
{
    LargeBlocks& blocks = largeBlocks();
    std::lock_guard<std::mutex> guard(blocks.lock);
    return {blocks.liveBytes, blocks.cachedBytes, blocks.peakLiveBytes};
}

bool CallArena::serves(std::size_t bytes) noexcept { return reuseMemory && bytes <= largestCarved; }

void* CallArena::allocateZeroed(std::size_t bytes) noexcept
{
    if (bytes == 0) bytes = 1;
    bytes = (bytes + carveAlignment - 1) / carveAlignment * carveAlignment;
    if (bytes > left_ || chunks_.empty()) {
        bool fresh = false;
        void* chunk = allocateLarge(chunkSize, fresh);
        if (chunk == nullptr) return nullptr;
        try {
            chunks_.push_back(Chunk{static_cast<char*>(chunk), 0});
        } catch (...) {
            releaseBlock(chunk);
            return nullptr;
        }
        // The chunk carved before keeps its blocks; once none is live it
        // goes back.
        if (chunks_.size() > 1 && chunks_[chunks_.size() - 2].liveBlocks == 0) {
            releaseBlock(chunks_[chunks_.size() - 2].start);
            chunks_.erase(chunks_.end() - 2);
        }
        next_ = static_cast<char*>(chunk);
        left_ = chunkSize;
        freshChunk_ = fresh;
    }
    void* block = next_;
    next_ += bytes;
    left_ -= bytes;
    ++chunks_.back().liveBlocks;
    // Carving never returns to a part of a chunk handed out before, so a
    // fresh chunk's remainder is still untouched zero pages.
    if (!freshChunk_) std::memset(block, 0, bytes);
    return block;
}

void CallArena::release(void* block) noexcept
{
    const auto* address = static_cast<const char*>(block);
    for (std::size_t i = chunks_.size(); i-- > 0;) {
        Chunk& chunk = chunks_[i];
        if (address < chunk.start || address >= chunk.start + chunkSize) continue;
        if (--chunk.liveBlocks != 0) return;
        if (i + 1 == chunks_.size()) {
            // The chunk being carved: carving starts again at its front.
            next_ = chunk.start;
            left_ = chunkSize;
            freshChunk_ = false;
        } else {
            releaseBlock(chunk.start);
            chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(i));
        }
        return;
    }
}

CallArena::~CallArena()
{
    for (const Chunk& chunk : chunks_) releaseBlock(chunk.start);
}

}  // namespace ky
