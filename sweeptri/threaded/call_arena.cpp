// The host services of host_services.hpp for the threaded build: the
// arena's memory, arrays in it, and errors as exceptions.
#include "threaded/call_arena.hpp"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "host_services.hpp"
#include "site_order.hpp"

namespace sweeptri {

namespace {

// Each block starts with its links in the thread's list of live blocks;
// the caller's bytes follow, aligned as malloc aligns.
struct alignas(alignof(std::max_align_t)) BlockHeader {
    BlockHeader* previous;
    BlockHeader* next;
};

thread_local BlockHeader* liveBlocks = nullptr;  // most recent first
thread_local std::size_t liveCount = 0;

void* takeBlock(std::size_t bytes)
{
    if (bytes > SIZE_MAX - sizeof(BlockHeader)) throw std::bad_alloc();
    auto* header = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + bytes));
    if (header == nullptr) throw std::bad_alloc();
    header->previous = nullptr;
    header->next = liveBlocks;
    if (liveBlocks != nullptr) liveBlocks->previous = header;
    liveBlocks = header;
    ++liveCount;
    return header + 1;
}

void giveBack(BlockHeader* header)
{
    if (header->previous != nullptr)
        header->previous->next = header->next;
    else
        liveBlocks = header->next;
    if (header->next != nullptr) header->next->previous = header->previous;
    --liveCount;
    std::free(header);
}

void giveBackAll()
{
    while (liveBlocks != nullptr) giveBack(liveBlocks);
}

}  // namespace

CallArena::CallArena() { giveBackAll(); }
CallArena::~CallArena() { giveBackAll(); }

std::size_t liveArenaBlocks() { return liveCount; }

void* kyCalloc(std::size_t count, std::size_t size)
{
    if (count == 0) count = 1;
    if (size == 0) size = 1;
    if (count > SIZE_MAX / size) throw std::bad_alloc();
    return takeBlock(count * size);
}

void kyFree(void* pointer)
{
    if (pointer != nullptr) giveBack(static_cast<BlockHeader*>(pointer) - 1);
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
    // The matrix and its values in one block; the values start aligned.
    constexpr std::size_t headerBytes =
        (sizeof(kyArray) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) * alignof(std::max_align_t);
    auto* block = static_cast<unsigned char*>(
        kyCalloc(headerBytes + static_cast<std::size_t>(count == 0 ? 1 : count) * sizeof(double), 1));
    auto* array = reinterpret_cast<kyArray*>(block);
    array->m = m;
    array->n = n;
    array->data = reinterpret_cast<double*>(block + headerBytes);
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
