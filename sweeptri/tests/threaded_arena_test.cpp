// The threaded build's call memory: zeroed blocks however they are carved
// or reused, and nothing left once the call ends.
#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "call_arena.hpp"
#include "host_services.hpp"

namespace {

bool allZero(const void* block, std::size_t bytes)
{
    const auto* byte = static_cast<const unsigned char*>(block);
    return std::all_of(byte, byte + bytes, [](unsigned char b) { return b == 0; });
}

TEST(ThreadedCallArena, BlocksAreZeroedWhenCarvedFreshOrReused)
{
    sweeptri::CallArena arena;
    // About 24 MiB of small blocks: several chunks.
    std::vector<std::pair<void*, std::size_t>> blocks;
    for (std::size_t i = 0; i < 2000; ++i) {
        const std::size_t bytes = 8 * (1000 + i);
        void* block = sweeptri::kyCalloc(bytes, 1);
        ASSERT_TRUE(allZero(block, bytes)) << i;
        std::memset(block, 0xff, bytes);
        blocks.emplace_back(block, bytes);
    }
    void* large = sweeptri::kyCalloc(3 << 20, 2);  // beyond carving
    ASSERT_TRUE(allZero(large, 6 << 20));
    std::memset(large, 0xff, 6 << 20);
    sweeptri::kyFree(large);
    EXPECT_EQ(sweeptri::liveArenaBlocks(), blocks.size());

    // All freed: the chunk being carved starts again at its front, over
    // bytes written before.
    for (const auto& [block, bytes] : blocks) sweeptri::kyFree(block);
    EXPECT_EQ(sweeptri::liveArenaBlocks(), 0u);
    for (int i = 0; i < 100; ++i) {
        void* block = sweeptri::kyCalloc(4096, 1);
        ASSERT_TRUE(allZero(block, 4096)) << i;
        std::memset(block, 0xff, 4096);
    }
    EXPECT_EQ(sweeptri::liveArenaBlocks(), 100u);
    sweeptri::kyFree(nullptr);
}

TEST(ThreadedCallArena, TheCallsEndGivesBackWhatIsStillLive)
{
    {
        sweeptri::CallArena arena;
        for (int i = 0; i < 50; ++i) sweeptri::kyCalloc(100000, 1);
        sweeptri::kyCreateDoubleMatrix(1000, 3, sweeptri::kyREAL);
        sweeptri::kyCalloc(5 << 20, 1);
        EXPECT_EQ(sweeptri::liveArenaBlocks(), 52u);
    }
    EXPECT_EQ(sweeptri::liveArenaBlocks(), 0u);
}

// A thread that keeps its memory between calls gets the same mapping back
// for a block of about the same size, zeroed again; a much smaller block
// does not hold on to a large mapping.
TEST(ThreadedCallArena, MemoryKeptBetweenCallsComesBackZeroed)
{
    std::thread([] {
        sweeptri::keepMappingsOnThisThread();
        void* first = nullptr;
        {
            sweeptri::CallArena arena;
            first = sweeptri::kyCalloc(20 << 20, 1);
            std::memset(first, 0xff, 20 << 20);
        }
        {
            sweeptri::CallArena arena;
            void* again = sweeptri::kyCalloc((20 << 20) - 4096, 1);
#ifndef __SANITIZE_ADDRESS__
            EXPECT_EQ(again, first);  // under AddressSanitizer every block is its own allocation
#endif
            EXPECT_TRUE(allZero(again, (20 << 20) - 4096));
            std::memset(again, 0xff, (20 << 20) - 4096);
            void* small = sweeptri::kyCalloc(3 << 20, 1);
            EXPECT_NE(small, first);
            EXPECT_TRUE(allZero(small, 3 << 20));
        }
        EXPECT_EQ(sweeptri::liveArenaBlocks(), 0u);
    }).join();
}

TEST(ThreadedCallArena, HostErrorsBecomeExceptions)
{
    sweeptri::CallArena arena;
    EXPECT_THROW(sweeptri::kyxErrMsgTxt("x-y data must be unique"), std::invalid_argument);
    try {
        sweeptri::kyCreateDoubleMatrix(-1, 3, sweeptri::kyREAL);
        ADD_FAILURE() << "no exception";
    } catch (const std::invalid_argument&) {
        ADD_FAILURE() << "wrong kind";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Array dimensions must be non-negative (got -1-by-3).");
    }
    const sweeptri::kyArray* matrix = sweeptri::kyCreateDoubleMatrix(4, 3, sweeptri::kyREAL);
    EXPECT_EQ(sweeptri::kyGetM(matrix), 4);
    EXPECT_TRUE(allZero(sweeptri::kyGetPr(matrix), 12 * sizeof(double)));
}

}  // namespace
