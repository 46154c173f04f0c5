// The array library's C interface as plug-ins see it.
#include <gtest/gtest.h>

#include <cstring>

#include "call_context.hpp"
#include "kyx.h"
#include "plugin_testing.hpp"

namespace {

using namespace ky::testing;

TEST(GetString, CopiesAtMostSizeMinusOneCharactersAndTerminates)
{
    ky::ArrayHandle word = text("sorted");
    char buffer[8];

    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(kyGetString(word.get(), buffer, 7), 0);  // exactly fits
    EXPECT_STREQ(buffer, "sorted");

    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_NE(kyGetString(word.get(), buffer, 6), 0);  // one too short
    EXPECT_STREQ(buffer, "sorte");
    EXPECT_EQ(buffer[6], 'x');  // nothing written past size

    EXPECT_NE(kyGetString(word.get(), buffer, 0), 0);
    ky::ArrayHandle empty = text("");
    EXPECT_EQ(kyGetString(empty.get(), buffer, 1), 0);
    EXPECT_STREQ(buffer, "");
}

TEST(GetString, RefusesNonTextAndReadsMatricesInStorageOrder)
{
    ky::ArrayHandle number = row({115});
    char buffer[8] = "zzz";
    EXPECT_NE(kyGetString(number.get(), buffer, 8), 0);
    EXPECT_STREQ(buffer, "");

    ky::ArrayHandle grid(ky::createCharMatrix(2, 2));
    std::memcpy(grid->data, "acbd", 4);  // rows "ab" and "cd", column-major
    EXPECT_EQ(kyGetString(grid.get(), buffer, 8), 0);
    EXPECT_STREQ(buffer, "acbd");
}

TEST(GetString, ATextWithANulByteInsideIsNotAString)
{
    // As a C string it would read as "pic", another name than the one given.
    ky::ArrayHandle name = text(std::string("pic\0.svg", 8));
    char buffer[16];
    EXPECT_NE(kyGetString(name.get(), buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "pic");
}

TEST(ArrayLimits, SizesThatDoNotFitAreRefusedNotWrapped)
{
    EXPECT_THROW(ky::createDouble(-1, 3), ky::CallError);
    EXPECT_THROW(ky::createDouble(65536, 65536), ky::CallError);
    ky::ArrayHandle empty(ky::createDouble(0, 3));
    EXPECT_EQ(kyGetNumberOfElements(empty.get()), 0);
    EXPECT_EQ(kyGetN(empty.get()), 3);
    ky::ArrayHandle huge(ky::createSparse(1000000, 1000000, 0));
    EXPECT_EQ(kyGetNumberOfElements(huge.get()), INT32_MAX);  // clamped, not wrapped
}

TEST(ArrayLimits, ServicesNeedARunningCall)
{
    EXPECT_THROW(kyCalloc(4, 1), ky::CallError);
    EXPECT_THROW(kyFree(reinterpret_cast<void*>(16)), ky::CallError);
    EXPECT_THROW(kyGetM(nullptr), ky::CallError);
}

TEST(ArrayLimits, CallocAccountsBytesAndRefusesOverflow)
{
    ky::CallScope scope({});
    EXPECT_THROW(kyCalloc(SIZE_MAX / 2, 4), ky::CallError);
    auto* block = static_cast<unsigned char*>(kyCalloc(100, 1));
    EXPECT_EQ(block[99], 0);
    EXPECT_EQ(scope.context().bytesHeld, 100u);
    kyFree(block);
    EXPECT_EQ(scope.context().bytesHeld, 0u);
    EXPECT_EQ(scope.context().peakBytes, 100u);
}

}  // namespace

namespace {

bool allZero(const unsigned char* bytes, std::size_t count)
{
    for (std::size_t k = 0; k < count; ++k)
        if (bytes[k] != 0) return false;
    return true;
}

// Blocks and arrays are reused across calls (outside sanitizer builds):
// whatever a call leaves in them must not show through in the next.
TEST(HostMemory, ReusedBlocksAndArraysComeBackZeroed)
{
    for (int round = 0; round < 3; ++round) {
        ky::CallScope scope({});
        for (const std::size_t bytes : {std::size_t(48000), std::size_t(3) << 20, std::size_t(9) << 20}) {
            auto* block = static_cast<unsigned char*>(kyCalloc(bytes, 1));
            ASSERT_TRUE(allZero(block, bytes)) << bytes << " bytes, round " << round;
            std::memset(block, 0xA5, bytes);
        }
        kyArray* array = kyCreateDoubleMatrix(1000, 1100, kyREAL);
        ASSERT_TRUE(allZero(reinterpret_cast<unsigned char*>(kyGetPr(array)), 1100000 * sizeof(double)));
        std::memset(kyGetPr(array), 0x5A, 1100000 * sizeof(double));
        if (round == 1) kyDestroyArray(array);  // freed early or at the end of the call: both reused
    }
}

}  // namespace
