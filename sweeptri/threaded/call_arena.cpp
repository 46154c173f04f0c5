// The host services of host_services.hpp for the threaded build: the
// arena's memory, arrays in it, and errors as exceptions.
#include "threaded/call_arena.hpp"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host_services.hpp"
#include "site_order.hpp"

namespace sweeptri {

namespace {

// Under AddressSanitizer every block is its own allocation, so that reads
// past one are caught, as the host does there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool plainMemory = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool plainMemory = true;
#else
constexpr bool plainMemory = false;
#endif
#else
constexpr bool plainMemory = false;
#endif

constexpr std::size_t hugePageSize = std::size_t(2) << 20;

bool hugePagesWanted()
{
    static const bool wanted = [] {
        const char* setting = std::getenv("KY_HUGE_PAGES");
        return setting == nullptr || std::strcmp(setting, "0") != 0;
    }();
    return wanted;
}

// Asks for transparent huge pages for [start, start + bytes), both on huge
// page boundaries, unless KY_HUGE_PAGES=0. Only a hint: without huge pages
// the memory works the same.
void adviseHugePages(void* start, std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    if (bytes != 0 && hugePagesWanted()) madvise(start, bytes, MADV_HUGEPAGE);
#else
    (void)start, (void)bytes;
#endif
}

// Fresh zero pages at a huge-page boundary, asking for transparent huge
// pages as the host's large blocks do (unless KY_HUGE_PAGES=0): the sweep's
// records spread over tens of megabytes, and ordinary pages would cost a
// TLB miss on most of its accesses. capacity is a multiple of the huge page
// size; null when the system refuses.
void* mapHuge(std::size_t capacity)
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
    adviseHugePages(reinterpret_cast<void*>(aligned), capacity);
    return reinterpret_cast<void*>(aligned);
}

}  // namespace

void preferHugePages(const void* data, std::size_t bytes)
{
    // The whole huge pages inside the range: its start rounded up, its end down.
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + hugePageSize - 1) / hugePageSize * hugePageSize;
    const std::uintptr_t end = (start + bytes) / hugePageSize * hugePageSize;
    if (data != nullptr && end > first) adviseHugePages(reinterpret_cast<void*>(first), end - first);
}

namespace {

std::size_t roundToHugePages(std::size_t bytes) { return (bytes + hugePageSize - 1) / hugePageSize * hugePageSize; }

// Blocks up to largestCarved bytes are carved from chunks, the rest stand
// alone: a standalone block starts with its links in the thread's list of
// them, and the caller's bytes follow at headerBytes (a cache line).
constexpr std::size_t chunkSize = 4 * hugePageSize;
constexpr std::size_t largestCarved = hugePageSize;
constexpr std::size_t carveAlignment = 16;
constexpr std::size_t headerBytes = 64;

struct BlockHeader {
    BlockHeader* previous;
    BlockHeader* next;
    std::size_t mappedBytes;  // 0: from calloc
};
static_assert(sizeof(BlockHeader) <= headerBytes);

// A chunk starts with its link and the count of its blocks still live.
struct Chunk {
    Chunk* next;
    std::size_t liveBlocks;
};
static_assert(sizeof(Chunk) <= headerBytes);

thread_local BlockHeader* standalone = nullptr;  // most recent first
thread_local std::size_t standaloneCount = 0;
thread_local Chunk* chunks = nullptr;            // the one being carved first
thread_local unsigned char* carveNext = nullptr;
thread_local std::size_t carveLeft = 0;
thread_local bool carveFresh = false;  // the rest of the chunk was never handed out

// Mappings of standalone blocks given back, kept for the thread's next
// blocks on threads that asked for it (keepMappingsOnThisThread): a thread
// that runs sweep after sweep would otherwise have the kernel clear fresh
// pages for every call, which costs several times the memset that reuse
// takes. They go back when the thread ends.
struct KeptMappings {
    struct Mapping {
        void* start;
        std::size_t bytes;
    };
    std::vector<Mapping> list;
    bool wanted = false;
    ~KeptMappings()
    {
        for (const Mapping& m : list) munmap(m.start, m.bytes);
    }
};
constexpr std::size_t mostKeptMappings = 16;
thread_local KeptMappings kept;

// The smallest kept mapping that holds capacity bytes without being more
// than twice as large; null when there is none.
void* reuseMapping(std::size_t capacity, std::size_t& mappedBytes)
{
    std::size_t best = kept.list.size();
    for (std::size_t k = 0; k < kept.list.size(); ++k) {
        const std::size_t bytes = kept.list[k].bytes;
        if (bytes >= capacity && bytes / 2 <= capacity && (best == kept.list.size() || bytes < kept.list[best].bytes))
            best = k;
    }
    if (best == kept.list.size()) return nullptr;
    void* start = kept.list[best].start;
    mappedBytes = kept.list[best].bytes;
    kept.list[best] = kept.list.back();
    kept.list.pop_back();
    return start;
}

void* takeStandalone(std::size_t bytes)
{
    if (bytes > SIZE_MAX - headerBytes - hugePageSize) throw std::bad_alloc();
    const std::size_t capacity = roundToHugePages(headerBytes + bytes);
    std::size_t reusedBytes = 0;
    if (!plainMemory && kept.wanted) {
        if (auto* header = static_cast<BlockHeader*>(reuseMapping(capacity, reusedBytes))) {
            std::memset(header, 0, headerBytes + bytes);
            header->mappedBytes = reusedBytes;
            header->previous = nullptr;
            header->next = standalone;
            if (standalone != nullptr) standalone->previous = header;
            standalone = header;
            ++standaloneCount;
            return reinterpret_cast<unsigned char*>(header) + headerBytes;
        }
    }
    auto* header = plainMemory ? nullptr : static_cast<BlockHeader*>(mapHuge(capacity));
    if (header != nullptr) {
        header->mappedBytes = capacity;
    } else {
        header = static_cast<BlockHeader*>(std::calloc(1, headerBytes + bytes));
        if (header == nullptr) throw std::bad_alloc();
        header->mappedBytes = 0;
    }
    header->previous = nullptr;
    header->next = standalone;
    if (standalone != nullptr) standalone->previous = header;
    standalone = header;
    ++standaloneCount;
    return reinterpret_cast<unsigned char*>(header) + headerBytes;
}

void giveBackStandalone(BlockHeader* header)
{
    if (header->previous != nullptr)
        header->previous->next = header->next;
    else
        standalone = header->next;
    if (header->next != nullptr) header->next->previous = header->previous;
    --standaloneCount;
    if (header->mappedBytes != 0 && kept.wanted && kept.list.size() < mostKeptMappings)
        kept.list.push_back({header, header->mappedBytes});
    else if (header->mappedBytes != 0)
        munmap(header, header->mappedBytes);
    else
        std::free(header);
}

void unlinkChunk(Chunk* chunk)
{
    Chunk** link = &chunks;
    while (*link != chunk) link = &(*link)->next;
    *link = chunk->next;
    munmap(chunk, chunkSize);
}

// Zeroed bytes carved from the chunk being carved; a new chunk when they do
// not fit. Carving never returns to a part handed out before unless the
// whole chunk fell free, so a fresh chunk's rest is untouched zero pages.
void* carve(std::size_t bytes)
{
    bytes = (bytes + carveAlignment - 1) / carveAlignment * carveAlignment;
    if (chunks == nullptr || bytes > carveLeft) {
        auto* chunk = static_cast<Chunk*>(mapHuge(chunkSize));
        if (chunk == nullptr) return takeStandalone(bytes);
        chunk->next = chunks;
        chunk->liveBlocks = 0;
        chunks = chunk;
        // The chunk carved before keeps its blocks; once none is live it
        // goes back.
        if (chunk->next != nullptr && chunk->next->liveBlocks == 0) unlinkChunk(chunk->next);
        carveNext = reinterpret_cast<unsigned char*>(chunk) + headerBytes;
        carveLeft = chunkSize - headerBytes;
        carveFresh = true;
    }
    void* block = carveNext;
    carveNext += bytes;
    carveLeft -= bytes;
    ++chunks->liveBlocks;
    if (!carveFresh) std::memset(block, 0, bytes);
    return block;
}

// Gives a carved block back; false when the block is not carved.
bool uncarve(void* block)
{
    const auto* address = static_cast<const unsigned char*>(block);
    for (Chunk* chunk = chunks; chunk != nullptr; chunk = chunk->next) {
        const auto* start = reinterpret_cast<const unsigned char*>(chunk);
        if (address < start || address >= start + chunkSize) continue;
        if (--chunk->liveBlocks != 0) return true;
        if (chunk == chunks) {
            // The chunk being carved: carving starts again at its front.
            carveNext = reinterpret_cast<unsigned char*>(chunk) + headerBytes;
            carveLeft = chunkSize - headerBytes;
            carveFresh = false;
        } else {
            unlinkChunk(chunk);
        }
        return true;
    }
    return false;
}

void giveBackAll()
{
    while (standalone != nullptr) giveBackStandalone(standalone);
    while (chunks != nullptr) unlinkChunk(chunks);
    carveNext = nullptr;
    carveLeft = 0;
}

}  // namespace

void keepMappingsOnThisThread() { kept.wanted = true; }

CallArena::CallArena() { giveBackAll(); }
CallArena::~CallArena() { giveBackAll(); }

std::size_t liveArenaBlocks()
{
    std::size_t live = standaloneCount;
    for (const Chunk* chunk = chunks; chunk != nullptr; chunk = chunk->next) live += chunk->liveBlocks;
    return live;
}

void* kyCalloc(std::size_t count, std::size_t size)
{
    if (count == 0) count = 1;
    if (size == 0) size = 1;
    if (count > SIZE_MAX / size) throw std::bad_alloc();
    const std::size_t bytes = count * size;
    return !plainMemory && bytes <= largestCarved ? carve(bytes) : takeStandalone(bytes);
}

void kyFree(void* pointer)
{
    if (pointer == nullptr || uncarve(pointer)) return;
    giveBackStandalone(reinterpret_cast<BlockHeader*>(static_cast<unsigned char*>(pointer) - headerBytes));
}

kyArray* kyCreateDoubleMatrix(std::int32_t m, std::int32_t n, int)
{
    if (m < 0 || n < 0)
        kyxErrMsgTxt(("Array dimensions must be non-negative (got " + std::to_string(m) + "-by-" +
                      std::to_string(n) + ").")
                         .c_str());
    const std::int64_t count = static_cast<std::int64_t>(m) * n;
    if (count > INT32_MAX)
        kyxErrMsgTxt(("Requested " + std::to_string(m) + "-by-" + std::to_string(n) +
                      " array exceeds the maximum array size.")
                         .c_str());
    // The matrix and its values in one block; the values start on a cache
    // line.
    constexpr std::size_t matrixBytes = 64;
    static_assert(sizeof(kyArray) <= matrixBytes);
    auto* block = static_cast<unsigned char*>(
        kyCalloc(matrixBytes + static_cast<std::size_t>(count == 0 ? 1 : count) * sizeof(double), 1));
    auto* array = reinterpret_cast<kyArray*>(block);
    array->m = m;
    array->n = n;
    array->data = reinterpret_cast<double*>(block + matrixBytes);
    return array;
}

std::int32_t kyGetM(const kyArray* array) { return array->m; }
std::int32_t kyGetN(const kyArray* array) { return array->n; }
double* kyGetPr(const kyArray* array) { return array->data; }
bool kyIsChar(const kyArray*) { return false; }
bool kyIsUint8(const kyArray*) { return false; }
bool kyIsSparse(const kyArray*) { return false; }

int kyGetString(const kyArray*, char* buffer, std::int32_t size)
{
    if (size > 0) buffer[0] = '\0';
    return 1;
}

void kySetM(kyArray* array, std::int32_t m) { array->m = m; }

void kyxErrMsgTxt(const char* text)
{
    if (std::string_view(text) == repeatedPointsMessage) throw std::invalid_argument(text);
    throw std::runtime_error(text);
}

void kyxWarnMsgTxt(const char*) {}

}  // namespace sweeptri
