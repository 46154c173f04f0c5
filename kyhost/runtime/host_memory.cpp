#include "host_memory.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace ky {

namespace {

// g++ defines __SANITIZE_ADDRESS__ under AddressSanitizer, clang answers
// __has_feature(address_sanitizer).
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KY_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(KY_ADDRESS_SANITIZER)
constexpr bool reuseMemory = false;
#else
constexpr bool reuseMemory = true;
#endif

constexpr std::size_t hugePageSize = std::size_t(2) << 20;
// Blocks from this size on are aligned, advised and cached.
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
    std::unordered_map<void*, std::size_t> live;     // block -> capacity
    std::unordered_multimap<std::size_t, void*> free;  // capacity -> block
    std::size_t freeBytes = 0;
};

LargeBlocks& largeBlocks()
{
    static LargeBlocks* blocks = new LargeBlocks;  // never destroyed: used until exit
    return *blocks;
}

std::size_t roundToHugePages(std::size_t bytes) { return (bytes + hugePageSize - 1) / hugePageSize * hugePageSize; }

void* mapLarge(std::size_t capacity) noexcept
{
    void* block = std::aligned_alloc(hugePageSize, capacity);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only a hint: without huge pages the block works the same.
    if (block != nullptr) madvise(block, capacity, MADV_HUGEPAGE);
#endif
    return block;
}

// A large block of at least bytes, reused from the cache when one of the
// same rounded capacity is there.
void* allocateLarge(std::size_t bytes) noexcept
{
    const std::size_t capacity = roundToHugePages(bytes);
    if (!reuseMemory) return mapLarge(capacity);
    LargeBlocks& blocks = largeBlocks();
    try {
        std::lock_guard<std::mutex> guard(blocks.lock);
        void* block = nullptr;
        if (auto cached = blocks.free.find(capacity); cached != blocks.free.end()) {
            block = cached->second;
            blocks.free.erase(cached);
            blocks.freeBytes -= capacity;
        } else {
            block = mapLarge(capacity);
            if (block == nullptr) return nullptr;
        }
        blocks.live.emplace(block, capacity);
        return block;
    } catch (...) {
        return nullptr;
    }
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

void releaseBlock(void* block) noexcept
{
    if (block == nullptr) return;
    if (reuseMemory) {
        LargeBlocks& blocks = largeBlocks();
        std::lock_guard<std::mutex> guard(blocks.lock);
        if (auto live = blocks.live.find(block); live != blocks.live.end()) {
            const std::size_t capacity = live->second;
            blocks.live.erase(live);
            if (blocks.freeBytes + capacity <= cacheLimit) {
                try {
                    blocks.free.emplace(capacity, block);
                    blocks.freeBytes += capacity;
                    return;
                } catch (...) {
                    // No room to remember it: give it back instead.
                }
            }
        }
    }
    std::free(block);
}

bool CallArena::serves(std::size_t bytes) noexcept { return reuseMemory && bytes <= largestCarved; }

void* CallArena::allocateZeroed(std::size_t bytes) noexcept
{
    if (bytes == 0) bytes = 1;
    bytes = (bytes + carveAlignment - 1) / carveAlignment * carveAlignment;
    if (bytes > left_) {
        void* chunk = allocateLarge(chunkSize);
        if (chunk == nullptr) return nullptr;
        try {
            chunks_.push_back(chunk);
        } catch (...) {
            releaseBlock(chunk);
            return nullptr;
        }
        next_ = static_cast<char*>(chunk);
        left_ = chunkSize;
    }
    void* block = next_;
    next_ += bytes;
    left_ -= bytes;
    std::memset(block, 0, bytes);
    return block;
}

CallArena::~CallArena()
{
    for (void* chunk : chunks_) releaseBlock(chunk);
}

}  // namespace ky
