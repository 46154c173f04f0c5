// byteappend through the real loader and host.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/mount.h>
#include <unistd.h>

#include "plugin_testing.hpp"

namespace {

using namespace ky::testing;
namespace fs = std::filesystem;

class ByteAppend : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("byteappend-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    static ky::CallOutcome append(const kyArray* name, const kyArray* data, int outputs = 1)
    {
        return call(builtPlugin("byteappend"), outputs, {name, data});
    }

    static std::string contents(const fs::path& path)
    {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    fs::path dir;
};

TEST_F(ByteAppend, AppendsInColumnMajorOrderAndCountsTheBytes)
{
    const fs::path target = dir / "out.bin";
    ky::ArrayHandle name = text(target.string());
    ky::ArrayHandle first = bytes(1, 3, {10, 20, 30});
    ky::ArrayHandle square = bytes(2, 2, {1, 3, 2, 4});  // rows [1 2] and [3 4]

    const ky::CallOutcome one = append(name.get(), first.get());
    ASSERT_FALSE(one.error) << *one.error;
    EXPECT_EQ(values(one.result.get()), std::vector<double>{3});
    const ky::CallOutcome two = append(name.get(), first.get(), 0);  // no output requested: still stored
    ASSERT_TRUE(two.result);
    const ky::CallOutcome three = append(name.get(), square.get());
    EXPECT_EQ(values(three.result.get()), std::vector<double>{4});
    EXPECT_TRUE(three.warnings.empty());
    EXPECT_EQ(contents(target), std::string("\x0a\x14\x1e\x0a\x14\x1e\x01\x03\x02\x04", 10));
}

TEST_F(ByteAppend, EmptyDataCreatesTheFileAndWritesNothing)
{
    const fs::path target = dir / "empty.bin";
    ky::ArrayHandle name = text(target.string());
    ky::ArrayHandle none = bytes(0, 5, {});
    const ky::CallOutcome outcome = append(name.get(), none.get());
    ASSERT_FALSE(outcome.error);
    EXPECT_EQ(values(outcome.result.get()), std::vector<double>{0});
    EXPECT_TRUE(outcome.warnings.empty());
    EXPECT_TRUE(fs::exists(target));
    EXPECT_EQ(fs::file_size(target), 0u);
}

TEST_F(ByteAppend, ChecksArgumentsInOrder)
{
    ky::ArrayHandle name = text((dir / "x").string());
    ky::ArrayHandle data = bytes(1, 1, {1});
    ky::ArrayHandle number = row({1, 2});
    const auto message = [](const ky::CallOutcome& outcome) { return outcome.error.value_or("(none)"); };
    const kyxFunctionType plugin = builtPlugin("byteappend");

    EXPECT_EQ(message(call(plugin, 1, {name.get()})), "Too few input arguments");
    EXPECT_EQ(message(call(plugin, 1, {name.get(), data.get(), data.get()})), "Too many input arguments");
    // Output count is checked before the classes are looked at.
    EXPECT_EQ(message(call(plugin, 2, {number.get(), number.get()})), "Too many output arguments");
    EXPECT_EQ(message(call(plugin, 1, {number.get(), data.get()})), "FILENAME must be a string");
    // Whole numbers from 0 to 255 in a double array are still not uint8.
    EXPECT_EQ(message(call(plugin, 1, {name.get(), number.get()})), "Class of data array must be uint8");
    EXPECT_FALSE(fs::exists(dir / "x"));
}

TEST_F(ByteAppend, NameWithAnEmbeddedNulIsRefusedBeforeOpening)
{
    ky::ArrayHandle name = text((dir / "real").string() + std::string("\0.txt", 5));
    ky::ArrayHandle data = bytes(1, 1, {1});
    const ky::CallOutcome outcome = append(name.get(), data.get());
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(*outcome.error, "FILENAME must not contain NUL characters");
    EXPECT_FALSE(fs::exists(dir / "real"));
}

TEST_F(ByteAppend, UnopenablePathIsAnErrorWithTheSystemText)
{
    ky::ArrayHandle name = text((dir / "missing" / "x.bin").string());
    ky::ArrayHandle data = bytes(1, 1, {1});
    const ky::CallOutcome outcome = append(name.get(), data.get());
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(*outcome.error, std::strerror(ENOENT));
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST_F(ByteAppend, ShortWritesCountOnlyTheBytesThatReachedTheFile)
{
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this machine";
    ky::ArrayHandle name = text("/dev/full");

    // Large or small, nothing reaches /dev/full: the count says so, with the
    // system's text as a warning (the bytes never sit in a buffer that is
    // lost at close).
    std::vector<unsigned char> many(1 << 20, 7);
    ky::ArrayHandle large = bytes(1, static_cast<int32_t>(many.size()), many);
    ky::ArrayHandle small = bytes(1, 3, {1, 2, 3});
    for (const kyArray* data : {large.get(), small.get()}) {
        const ky::CallOutcome outcome = append(name.get(), data);
        ASSERT_FALSE(outcome.error) << *outcome.error;
        EXPECT_EQ(values(outcome.result.get()), std::vector<double>{0});
        EXPECT_EQ(outcome.warnings, std::vector<std::string>{std::strerror(ENOSPC)});
    }
}

// A size-limited tmpfs filled to the last few kilobytes: the count is the
// bytes the file actually holds.
TEST_F(ByteAppend, FullFileSystemCountsWhatTheFileHolds)
{
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
    const fs::path mountPoint = dir / "small";
    fs::create_directories(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    struct Unmount {
        fs::path at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{mountPoint};

    const fs::path target = mountPoint / "out.bin";
    ky::ArrayHandle name = text(target.string());
    std::vector<unsigned char> many(256 * 1024, 9);
    ky::ArrayHandle large = bytes(1, static_cast<int32_t>(many.size()), many);
    const ky::CallOutcome first = append(name.get(), large.get());
    ASSERT_FALSE(first.error) << *first.error;
    const double counted = values(first.result.get())[0];
    EXPECT_LT(counted, static_cast<double>(many.size()));
    EXPECT_EQ(first.warnings, std::vector<std::string>{std::strerror(ENOSPC)});
    EXPECT_EQ(static_cast<double>(fs::file_size(target)), counted);

    // Now full: a few more bytes are counted as none, not as three.
    ky::ArrayHandle small = bytes(1, 3, {1, 2, 3});
    const ky::CallOutcome second = append(name.get(), small.get());
    ASSERT_FALSE(second.error);
    EXPECT_EQ(values(second.result.get()), std::vector<double>{0});
    EXPECT_EQ(static_cast<double>(fs::file_size(target)), counted);
}

}  // namespace
