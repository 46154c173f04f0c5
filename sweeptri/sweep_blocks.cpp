#include "sweep_blocks.hpp"

#include <algorithm>
#include <vector>

#include "call_state.hpp"
#include "host_services.hpp"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SWEEPTRI_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(SWEEPTRI_ASAN)
#define SWEEPTRI_ASAN 1
#endif
#ifdef SWEEPTRI_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace sweeptri {

namespace {

struct Block {
    void* start;
    std::size_t bytes;
};

// A few per pool and table: the pools take one block per sizeUnit records.
SWEEPTRI_CALL_STATE std::vector<Block> blocks;

void release(const Block& block)
{
    // The pools mark free records unaddressable; the host may hand the
    // memory out again.
#ifdef SWEEPTRI_ASAN
    __asan_unpoison_memory_region(block.start, block.bytes);
#endif
    kyFree(block.start);
}

}  // namespace

void forgetSweepBlocks() { blocks.clear(); }

void* takeSweepBlock(std::size_t bytes)
{
    blocks.reserve(blocks.size() + 1);  // may throw before the host block is taken
    void* start = kyCalloc(bytes, 1);
    blocks.push_back(Block{start, bytes});
    return start;
}

void giveBackSweepBlock(void* start)
{
    const auto found =
        std::find_if(blocks.rbegin(), blocks.rend(), [start](const Block& block) { return block.start == start; });
    if (found == blocks.rend()) {
        kyFree(start);
        return;
    }
    release(*found);
    *found = blocks.back();
    blocks.pop_back();
}

void giveBackAllSweepBlocks()
{
    for (const Block& block : blocks) release(block);
    blocks.clear();
}

}  // namespace sweeptri
