// Host memory: blocks reused whole or split come back zeroed where zeros are
// promised, cached blocks never raise the most held at once, and shrunk
// blocks keep their front.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "call_context.hpp"
#include "host_memory.hpp"
#include "ky.h"

namespace {

constexpr std::size_t MB = std::size_t(1) << 20;

bool allZero(const void* block, std::size_t bytes)
{
    const auto* p = static_cast<const unsigned char*>(block);
    for (std::size_t k = 0; k < bytes; ++k)
        if (p[k] != 0) return false;
    return true;
}

TEST(HostMemory, SplitAndReusedBlocksComeBackZeroed)
{
    // A dirty 24 MB block, released, then served in pieces: as kyCalloc
    // blocks, as arena chunks for small blocks, and as arrays.
    void* big = ky::allocateUninitialised(24 * MB);
    ASSERT_NE(big, nullptr);
    std::memset(big, 0xA5, 24 * MB);
    ky::releaseBlock(big);
    for (int round = 0; round < 2; ++round) {
        ky::CallScope scope({});
        void* large = kyCalloc(6 * MB + 3, 1);
        ASSERT_TRUE(allZero(large, 6 * MB + 3));
        std::vector<void*> small;
        for (int k = 0; k < 300; ++k) {
            small.push_back(kyCalloc(56000, 1));
            ASSERT_TRUE(allZero(small.back(), 56000)) << k;
            std::memset(small.back(), 0x5A, 56000);
        }
        kyArray* array = kyCreateDoubleMatrix(1000, 700, kyREAL);
        ASSERT_TRUE(allZero(kyGetPr(array), 700000 * sizeof(double)));
        std::memset(kyGetPr(array), 0x3C, 700000 * sizeof(double));
        std::memset(large, 0xC3, 6 * MB + 3);
        kyFree(large);
        void* again = ky::allocateZeroed(5 * MB, 1);
        ASSERT_TRUE(allZero(again, 5 * MB));
        ky::releaseBlock(again);
    }
}

TEST(HostMemory, BlocksToBeFilledAreResidentAndZeroedWhenHandedOut)
{
    // Whether the cache serves them or they are freshly mapped, a block
    // asked for at once has every page present before its first use, and
    // reads as zeros (zeroed) or holds what is written (uninitialised).
    const long page = sysconf(_SC_PAGESIZE);
    const auto resident = [&](void* block, std::size_t bytes) {
        std::vector<unsigned char> present((bytes + page - 1) / page);
        if (mincore(block, bytes, present.data()) != 0) return false;
        for (unsigned char p : present)
            if ((p & 1) == 0) return false;
        return true;
    };
    for (int round = 0; round < 2; ++round) {
        void* zeroed = ky::allocateZeroed(9 * MB + 5, 1, ky::Residency::AtOnce);
        ASSERT_NE(zeroed, nullptr);
        if (ky::largeBlockUsage().liveBytes == 0) {
            ky::releaseBlock(zeroed);
            GTEST_SKIP() << "blocks are separate allocations in this build";
        }
        EXPECT_TRUE(resident(zeroed, 9 * MB + 5));
        EXPECT_TRUE(allZero(zeroed, 9 * MB + 5));
        void* filled = ky::allocateUninitialised(11 * MB, ky::Residency::AtOnce);
        ASSERT_NE(filled, nullptr);
        EXPECT_TRUE(resident(filled, 11 * MB));
        std::memset(filled, 0x77, 11 * MB);
        std::memset(zeroed, 0x11, 9 * MB + 5);
        ky::releaseBlock(filled);
        ky::releaseBlock(zeroed);
    }
}

// The flags the system keeps for the mapping that holds address.
std::string mappingFlags(const void* address)
{
    std::ifstream maps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    while (std::getline(maps, line)) {
        unsigned long from = 0, to = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx ", &from, &to) == 2 && line.find('-') < line.find(' '))
            inside = from <= at && at < to;
        else if (inside && line.rfind("VmFlags:", 0) == 0)
            return line;
    }
    return {};
}

TEST(HostMemory, LargeBlocksAskForHugePagesUnlessTurnedOff)
{
    // Huge pages spare a large call most of its faults and TLB misses.
    if (const char* setting = std::getenv("KY_HUGE_PAGES"); setting != nullptr && std::string(setting) == "0")
        GTEST_SKIP() << "turned off by KY_HUGE_PAGES=0";
    void* block = ky::allocateUninitialised(12 * MB);
    ASSERT_NE(block, nullptr);
    if (ky::largeBlockUsage().liveBytes == 0) {
        ky::releaseBlock(block);
        GTEST_SKIP() << "blocks are separate allocations in this build";
    }
    const std::string flags = mappingFlags(block);
    ky::releaseBlock(block);
    if (flags.empty()) GTEST_SKIP() << "no /proc/self/smaps here";
    EXPECT_NE(flags.find(" hg"), std::string::npos) << flags;
}

TEST(HostMemory, CachedBlocksNeverRaiseTheMostHeldAtOnce)
{
    // Released blocks of sizes that do not fit what comes next: held and
    // cached together must stay within the most ever held in use.
    std::vector<void*> held;
    for (const std::size_t mb : {40, 8, 64, 12, 100, 6, 30}) {
        held.push_back(ky::allocateUninitialised(mb * MB));
        ASSERT_NE(held.back(), nullptr);
        std::memset(held.back(), 1, mb * MB);
        if (held.size() % 2 == 0) {
            ky::releaseBlock(held[held.size() - 2]);
            held[held.size() - 2] = nullptr;
        }
        const ky::LargeBlockUsage usage = ky::largeBlockUsage();
        EXPECT_LE(usage.liveBytes + usage.cachedBytes, usage.peakLiveBytes) << mb;
    }
    for (void* block : held) ky::releaseBlock(block);
}

TEST(HostMemory, SmallBlocksFreedInACallLeaveTheirPagesToLaterOnes)
{
    // A call that drops one structure of small blocks and then builds
    // another: the second reuses the first's pages, zeroed. Only the chunk
    // that a live block pins (one of 8 MB) is not reused; that block keeps
    // its contents.
    ky::CallScope scope({});
    auto* kept = static_cast<unsigned char*>(kyCalloc(1000, 1));
    std::memset(kept, 0x42, 1000);
    std::vector<void*> first;
    for (int k = 0; k < 400; ++k) {
        first.push_back(kyCalloc(60000, 1));
        std::memset(first.back(), 0x5A, 60000);
    }
    const std::size_t heldBefore = ky::largeBlockUsage().liveBytes;
    for (void* block : first) kyFree(block);
    for (int k = 0; k < 400; ++k) {
        void* block = kyCalloc(60000, 1);
        ASSERT_TRUE(allZero(block, 60000)) << k;
        std::memset(block, 0x6B, 60000);
    }
    EXPECT_LE(ky::largeBlockUsage().liveBytes, heldBefore + 8 * MB);
    for (int k = 0; k < 1000; ++k) ASSERT_EQ(kept[k], 0x42);
}

TEST(HostMemory, ShrunkBlocksKeepTheirFrontAndGiveBackTheRest)
{
    auto* block = static_cast<unsigned char*>(ky::allocateUninitialised(40 * MB));
    ASSERT_NE(block, nullptr);
    std::memset(block, 7, 40 * MB);
    const std::size_t before = ky::largeBlockUsage().liveBytes;
    ky::shrinkBlock(block, 5 * MB + 1);
    const std::size_t after = ky::largeBlockUsage().liveBytes;
    EXPECT_TRUE(before == 0 || before - after == 34 * MB) << before << " " << after;  // zero: sanitizer build
    for (std::size_t k = 0; k <= 5 * MB; k += 4096) ASSERT_EQ(block[k], 7);
    block[5 * MB] = 8;
    ky::releaseBlock(block);
}

}  // namespace
