// kyhost never reports a failed read or write as success: unreadable data
// files, results that cannot be written, and sparse files whose declared
// size is out of proportion to their entries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "kyhost_fixture.hpp"

namespace {

using ky::testing::ProcessResult;
namespace fs = std::filesystem;

class StreamFaults : public ky::testing::KyhostTest {
protected:
    static bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
};

// A .npy file of two float64 zeros.
// A 2-by-2 matrix in C order: a layout that is copied, not mapped, so that
// it is read through read() and its faults reach the reader.
std::string npyOfTwoZeros()
{
    std::string header = "{'descr': '<f8', 'fortran_order': False, 'shape': (2, 2), }";
    header.append((64 - (10 + header.size() + 1) % 64) % 64, ' ');
    header.push_back('\n');
    return std::string("\x93NUMPY\x01\x00", 8) + static_cast<char>(header.size()) + '\0' + header +
           std::string(32, '\0');
}

const char* const fileKinds[] = {"csv:", "npy:", "u8:", "u8csv:", "sparse:"};

TEST_F(StreamFaults, ADirectoryIsNoDataFile)
{
    for (const char* kind : fileKinds) {
        const ProcessResult r = echo(kind + dir.string());
        EXPECT_EQ(r.status, 2) << kind;
        EXPECT_TRUE(contains(r.err, "cannot read '" + dir.string() + "': it is a directory")) << kind << r.err;
        EXPECT_EQ(r.out, "");
    }
    const ProcessResult piped = kyhostInShell("", {KY_PROBE_PLUGIN, "text:echo", "csv:-"}, "<" + dir.string());
    EXPECT_EQ(piped.status, 2);
    EXPECT_TRUE(contains(piped.err, "cannot read standard input: it is a directory")) << piped.err;
}

TEST_F(StreamFaults, AReadErrorPartWayThroughEndsTheRun)
{
    const std::string rows = "1,2,3,4,5,6,7,8\n9,10,11,12,13,14,15,16\n";
    const struct {
        const char* kind;
        std::string content;
    } cases[] = {
        {"csv:", rows},
        {"u8csv:", rows},
        {"u8:", rows},
        {"sparse:", "20,20\n1,1\n2,2\n3,3\n4,4\n5,5\n"},
        {"npy:", npyOfTwoZeros()},
    };
    std::string asanOptions = "verify_asan_link_order=0";
    if (const char* given = std::getenv("ASAN_OPTIONS")) asanOptions = std::string(given) + ":" + asanOptions;
    for (const auto& c : cases) {
        const std::string path = file("data", c.content);
        ASSERT_EQ(echo(c.kind + path).status, 0) << c.kind << " reads without the fault";
        const ProcessResult r =
            kyhost({KY_PROBE_PLUGIN, "text:echo", c.kind + path}, "",
                   {{"LD_PRELOAD", KY_FAIL_READ}, {"KY_FAIL_READ_PATH", path}, {"ASAN_OPTIONS", asanOptions}});
        EXPECT_EQ(r.status, 2) << c.kind;
        EXPECT_TRUE(contains(r.err, "cannot read '" + path + "': Input/output error")) << c.kind << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(StreamFaults, U8RefusesAFileTooLargeForAnArrayBeforeReadingIt)
{
    // 2^31 bytes, one more than a uint8 array holds, as a sparse file that
    // takes no disk space. Reads of it fail after the first: a refusal that
    // read first would report the read error instead.
    const std::string path = (dir / "big.bin").string();
    fs::resize_file(file("big.bin", ""), std::uintmax_t{1} << 31);
    std::string asanOptions = "verify_asan_link_order=0";
    if (const char* given = std::getenv("ASAN_OPTIONS")) asanOptions = std::string(given) + ":" + asanOptions;
    const ProcessResult r = kyhost({KY_PROBE_PLUGIN, "text:echo", "u8:" + path}, "",
                                   {{"LD_PRELOAD", KY_FAIL_READ}, {"KY_FAIL_READ_PATH", path}, {"ASAN_OPTIONS", asanOptions}});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, "'" + path + "' is too large: 2147483648 bytes, and a uint8 array holds at most 2147483647"))
        << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(StreamFaults, AResultThatCannotBeWrittenIsAnError)
{
    // Small results fail at the final flush, large ones on the way.
    for (const char* result : {"num:0,1,0,1", "zeros:1000x300"}) {
        const ProcessResult full = kyhostInShell("", {KY_PROBE_PLUGIN, "text:echo", result}, ">/dev/full");
        EXPECT_EQ(full.status, 2) << result;
        EXPECT_TRUE(contains(full.err, "cannot write standard output: No space left on device")) << full.err;
    }
    const ProcessResult strings = kyhostInShell("", {"--strings", "byteappend"}, ">/dev/full");
    EXPECT_EQ(strings.status, 2);
    EXPECT_TRUE(contains(strings.err, "cannot write standard output")) << strings.err;

    fs::create_symlink("/dev/full", dir / "full.npy");
    for (const std::string& out : {std::string("/dev/full"), (dir / "full.npy").string()}) {
        const ProcessResult r = kyhost({KY_PROBE_PLUGIN, "--out", out, "text:echo", "num:1,2"});
        EXPECT_EQ(r.status, 2) << out;
        EXPECT_TRUE(contains(r.err, "cannot write '" + out + "': No space left on device")) << r.err;
    }
    for (const std::string& out : {(dir / "no" / "such.csv").string(), dir.string()}) {
        const ProcessResult r = kyhost({KY_PROBE_PLUGIN, "--out", out, "text:echo", "num:1,2"});
        EXPECT_EQ(r.status, 2) << out;
        EXPECT_TRUE(contains(r.err, "cannot write '" + out + "'")) << r.err;
    }
}

TEST_F(StreamFaults, AFileCutShortByAFullPlaceIsRemoved)
{
    // A file size limit (with its signal ignored) makes writes fail the way
    // a full disk does, part-way through the file.
    for (const char* name : {"cut.csv", "cut.npy"}) {
        const std::string out = (dir / name).string();
        const ProcessResult r =
            kyhostInShell("trap '' XFSZ; ulimit -f 100;", {KY_PROBE_PLUGIN, "--out", out, "text:echo", "zeros:1000x300"}, "");
        EXPECT_EQ(r.status, 2) << name;
        EXPECT_TRUE(contains(r.err, "cannot write '" + out + "': File too large")) << r.err;
        EXPECT_FALSE(fs::exists(out)) << name;
    }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool addressSpaceCanBeLimited = false;  // the sanitizer reserves terabytes up front
#else
constexpr bool addressSpaceCanBeLimited = true;
#endif

TEST_F(StreamFaults, SparseFileMemoryFollowsItsEntries)
{
    if (!addressSpaceCanBeLimited) GTEST_SKIP() << "address space limits do not work under AddressSanitizer";
    // 100 million column starts take 400 MB; per-column scratch as large
    // again would not fit in 1 GB.
    const std::string wide = file("wide.csv", "3,100000000\n1,1\n2,99999999,5\n");
    const ProcessResult fits = kyhostInShell("ulimit -v 1000000;", {KY_PROBE_PLUGIN, "text:warn-twice", "sparse:" + wide}, "");
    EXPECT_EQ(fits.status, 0) << fits.err;
    EXPECT_EQ(fits.out, "42\n");

    // 13 bytes that declare 2^31 - 1 columns: 8 GB of column starts.
    const std::string huge = file("huge.csv", "1,2147483647");
    const ProcessResult refused = kyhostInShell("ulimit -v 2000000;", {KY_PROBE_PLUGIN, "text:warn-twice", "sparse:" + huge}, "");
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(contains(refused.err, huge + ": out of memory for the 1-by-2147483647 sparse matrix with 0 entries"))
        << refused.err;
}

}  // namespace
