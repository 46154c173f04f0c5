// kyhost end to end: argument kinds, output forms, messages and exit
// statuses, through the real executable.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kyhost_fixture.hpp"

namespace {

using ky::testing::ProcessResult;
using ky::testing::runProcess;

namespace fs = std::filesystem;

using KyhostCommand = ky::testing::KyhostTest;

TEST_F(KyhostCommand, CsvKeepsShapeAndPrintsShortestExactDoubles)
{
    const std::string csv = file("m.csv", "1, 0.1 ,-0\r\n1e300,inf,-inf\nnan,2.5e-310,+7\n");
    const ProcessResult r = echo("csv:" + csv);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1,0.1,-0\n1e+300,inf,-inf\nnan,2.5e-310,7\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(KyhostCommand, InlineKindsAndStandardInput)
{
    EXPECT_EQ(echo("num:5").out, "5\n");
    EXPECT_EQ(echo("num:1,-2.5,3").out, "1,-2.5,3\n");
    EXPECT_EQ(echo("zeros:2x2").out, "0,0\n0,0\n");
    const ProcessResult empty = echo("zeros:0x3");
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(echo("text:hello, world").out, "hello, world\n");
    EXPECT_EQ(echo("u8csv:" + file("b.csv", "0,255\n7,8\n")).out, "0,255\n7,8\n");
    EXPECT_EQ(echo("u8:" + file("raw", std::string("A\0\xff", 3))).out, "65,0,255\n");
    EXPECT_EQ(echo("csv:" + file("empty.csv", "")).out, "");
    const ProcessResult piped = kyhost({KY_PROBE_PLUGIN, "text:echo", "csv:-"}, "1,2\n3,4\n");
    EXPECT_EQ(piped.out, "1,2\n3,4\n");
}

TEST_F(KyhostCommand, SparseFilesKeepTheirStorageOrderAndRepeats)
{
    const std::string s = file("s.csv", "3,2\n3,1\n1,1,2.5\n2,2\n3,1\n");
    const ProcessResult r = echo("sparse:" + s);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "3,2\n3,1,1\n1,1,2.5\n3,1,1\n2,2,1\n");
    const ProcessResult outside = echo("sparse:" + file("bad.csv", "2,2\n3,1\n"));
    EXPECT_EQ(outside.status, 2);
    EXPECT_NE(outside.err.find("bad.csv:2"), std::string::npos) << outside.err;
}

TEST_F(KyhostCommand, NpyInBothOrdersAndOutRoundTrip)
{
    // 2-by-3 float64 in C order: rows [1 2 3] and [4 5 6].
    const auto npy = [](const std::string& dict, const std::string& data) {
        std::string header = dict;
        const std::size_t total = 10 + header.size() + 1;
        header.append((64 - total % 64) % 64, ' ');
        header.push_back('\n');
        std::string out("\x93NUMPY\x01\x00", 8);
        out.push_back(static_cast<char>(header.size() & 0xff));
        out.push_back(static_cast<char>(header.size() >> 8));
        return out + header + data;
    };
    const auto doubles = [](std::initializer_list<double> values) {
        std::string bytes;
        for (double v : values) bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
        return bytes;
    };
    const std::string c = file("c.npy", npy("{'descr': '<f8', 'fortran_order': False, 'shape': (2, 3), }",
                                            doubles({1, 2, 3, 4, 5, 6})));
    const std::string f = file("f.npy", npy("{'descr': '<f8', 'fortran_order': True, 'shape': (2, 3), }",
                                            doubles({1, 4, 2, 5, 3, 6})));
    EXPECT_EQ(echo("npy:" + c).out, "1,2,3\n4,5,6\n");
    EXPECT_EQ(echo("npy:" + f).out, "1,2,3\n4,5,6\n");
    const std::string vector = file("v.npy", npy("{'descr': '|u1', 'fortran_order': False, 'shape': (3,), }", "\x01\x02\x03"));
    EXPECT_EQ(echo("npy:" + vector).out, "1,2,3\n");

    const ProcessResult wrongType =
        echo("npy:" + file("complex.npy", npy("{'descr': '<c16', 'fortran_order': False, 'shape': (1,), }", std::string(16, '\0'))));
    EXPECT_EQ(wrongType.status, 2);
    EXPECT_NE(wrongType.err.find("dtype '<c16'; npy: takes float64, float32"), std::string::npos) << wrongType.err;
    const ProcessResult truncated =
        echo("npy:" + file("t.npy", npy("{'descr': '<f8', 'fortran_order': False, 'shape': (2,), }", "12345678")));
    EXPECT_EQ(truncated.status, 2);

    const std::string saved = (dir / "out.npy").string();
    const ProcessResult written = kyhost({KY_PROBE_PLUGIN, "--out", saved, "text:echo", "npy:" + c});
    EXPECT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(written.out, "");
    EXPECT_EQ(echo("npy:" + saved).out, "1,2,3\n4,5,6\n");
}

// A .npy file of format version 1 with the data as given.
std::string npyFile(const std::string& dict, const std::string& data)
{
    std::string header = dict;
    header.append((64 - (10 + header.size() + 1) % 64) % 64, ' ');
    header.push_back('\n');
    return std::string("\x93NUMPY\x01\x00", 8) + static_cast<char>(header.size() & 0xff) +
           static_cast<char>(header.size() >> 8) + header + data;
}

template <typename T>
std::string bytesOf(std::initializer_list<T> values, bool bigEndian = false)
{
    std::string bytes;
    for (T v : values) {
        std::string one(reinterpret_cast<const char*>(&v), sizeof v);
        if (bigEndian) std::reverse(one.begin(), one.end());
        bytes += one;
    }
    return bytes;
}

TEST_F(KyhostCommand, NpyOfOtherNumericTypesReadsAsFloat64)
{
    const struct {
        const char* descr;
        std::string data;
        const char* printed;
    } cases[] = {
        {"<f4", bytesOf<float>({0.5f, -3.0f, 0.1f, 1e30f}), "0.5,-3\n0.10000000149011612,1.0000000150474662e+30\n"},
        {">f4", bytesOf<float>({0.5f, -3.0f, 0.25f, 7.0f}, true), "0.5,-3\n0.25,7\n"},
        {"<f2", bytesOf<std::uint16_t>({0x3c00, 0xc000, 0x0001, 0x7c00}), "1,-2\n5.960464477539063e-08,inf\n"},
        {"<i8", bytesOf<std::int64_t>({-1, 9007199254740992LL, 0, 42}), "-1,9007199254740992\n0,42\n"},
        {">i4", bytesOf<std::int32_t>({-7, 2, 3, 2147483647}, true), "-7,2\n3,2147483647\n"},
        {"|i1", bytesOf<std::int8_t>({-128, 127, 0, 1}), "-128,127\n0,1\n"},
        {"<u2", bytesOf<std::uint16_t>({65535, 1, 2, 3}), "65535,1\n2,3\n"},
        {"<u8", bytesOf<std::uint64_t>({1, 2, 3, 9007199254740992ULL}), "1,2\n3,9007199254740992\n"},
    };
    for (const auto& c : cases) {
        const std::string path = file("t.npy", npyFile(std::string("{'descr': '") + c.descr +
                                                           "', 'fortran_order': False, 'shape': (2, 2), }",
                                                       c.data));
        const ProcessResult r = echo("npy:" + path);
        EXPECT_EQ(r.status, 0) << c.descr << r.err;
        EXPECT_EQ(r.out, c.printed) << c.descr;
    }
    // Fortran order and a 1-D vector place the converted values as float64 ones.
    EXPECT_EQ(echo("npy:" + file("f.npy", npyFile("{'descr': '<i2', 'fortran_order': True, 'shape': (2, 2), }",
                                                  bytesOf<std::int16_t>({1, 2, 3, 4}))))
                  .out,
              "1,3\n2,4\n");
    EXPECT_EQ(echo("npy:" + file("v.npy", npyFile("{'descr': '<i4', 'fortran_order': False, 'shape': (3,), }",
                                                  bytesOf<std::int32_t>({5, 6, 7}))))
                  .out,
              "5,6,7\n");

    // Integers that no float64 holds exactly are refused, as the Python API
    // refuses them; so are types without a real value.
    const ProcessResult huge = echo("npy:" + file("h.npy", npyFile("{'descr': '<i8', 'fortran_order': False, 'shape': (1, 2), }",
                                                                    bytesOf<std::int64_t>({0, -9007199254740993LL}))));
    EXPECT_EQ(huge.status, 2);
    EXPECT_NE(huge.err.find("an integer beyond 2^53 in magnitude (row 1, column 2)"), std::string::npos) << huge.err;
    for (const char* descr : {"|b1", "<c8", "|S3", "<U1", "|O", "<M8[s]", "<f16", "<i3"}) {
        const ProcessResult r = echo("npy:" + file("x.npy", npyFile(std::string("{'descr': '") + descr +
                                                                        "', 'fortran_order': False, 'shape': (0,), }",
                                                                    "")));
        EXPECT_EQ(r.status, 2) << descr;
        EXPECT_NE(r.err.find(std::string("holds dtype '") + descr + "'; npy: takes"), std::string::npos) << r.err;
    }
}

TEST_F(KyhostCommand, NpyHeaderWithANulByteIsRefused)
{
    // A NUL after the dictionary, inside it, or in a key: NumPy itself
    // refuses each. Fortran order would be mapped in place, C order copied.
    using namespace std::string_literals;
    const std::string dicts[] = {
        "{'descr': '<f8', 'fortran_order': True, 'shape': (2,), }\0"s,
        "{'descr': '<f8', 'fortran_order': True, 'shape': (2,), \0}"s,
        "{'descr': '<f8', 'fortran_order': False, 'shape\0': (2,), 'shape': (2,), }"s,
    };
    for (const std::string& dict : dicts) {
        ASSERT_NE(dict.find('\0'), std::string::npos);
        const ProcessResult r = echo("npy:" + file("nul.npy", npyFile(dict, bytesOf<double>({1, 2}))));
        EXPECT_EQ(r.status, 2) << r.out;
        EXPECT_NE(r.err.find("is not a valid .npy file: the header holds a NUL byte"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(KyhostCommand, CommandLineMistakesExitWithStatusTwoAndSayWhy)
{
    const std::string ragged = file("ragged.csv", "1,2\n3\n");
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"sparse", "foo:1"}, "unknown argument kind 'foo'"},
        {{"sparse", "plain"}, "KIND:VALUE"},
        {{"sparse", "csv:/nonexistent.csv"}, "cannot open '/nonexistent.csv'"},
        {{"sparse", "csv:" + ragged}, "ragged.csv:2: expected 2 values, found 1"},
        {{"sparse", "num:1,x"}, "'x' is not a number"},
        {{"sparse", "zeros:2by2"}, "zeros:MxN"},
        {{"sparse", "u8csv:" + file("big.csv", "256\n")}, "whole number from 0 to 255"},
        {{"nosuchplugin"}, "unknown function 'nosuchplugin'"},
        {{"/nonexistent/p.so"}, "no such file"},
        {{"--nargout", "x", "sparse"}, "nargout"},
        {{}, "no FUNCTION"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = kyhost(c.args);
        EXPECT_EQ(r.status, 2) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(KyhostCommand, CallErrorsAndWarningsGoToStandardError)
{
    const ProcessResult failed = kyhost({KY_PROBE_PLUGIN, "text:fail-after-allocating"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err, "error: probe: failed on purpose\n");
    EXPECT_EQ(failed.out, "");

    const ProcessResult warned = kyhost({KY_PROBE_PLUGIN, "--time", "text:warn-twice"});
    EXPECT_EQ(warned.status, 0);
    EXPECT_EQ(warned.out, "42\n");
    EXPECT_EQ(warned.err.rfind("warning: first\nwarning: second\ntime: ", 0), 0u) << warned.err;

    const ProcessResult noOutputs = kyhost({"--nargout", "0", KY_PROBE_PLUGIN, "text:warn-twice"});
    EXPECT_EQ(noOutputs.status, 0);
    EXPECT_EQ(noOutputs.out, "42\n");

    const ProcessResult sparse = kyhost({"sparse", "num:2,1", "num:1,1", "num:1", "num:2", "num:1"});
    EXPECT_EQ(sparse.out, "2,1\n1,1,1\n2,1,1\n");
    const ProcessResult badSparse = kyhost({"sparse", "num:3", "num:1", "num:1", "num:2", "num:1"});
    EXPECT_EQ(badSparse.status, 1);
    EXPECT_NE(badSparse.err.find("error: sparse: row index 3"), std::string::npos);
}

TEST_F(KyhostCommand, FindsPluginsAlongTheSearchPathAndPrintsStringTables)
{
    fs::copy_file(KY_PROBE_PLUGIN, dir / "probe.so");
    const ProcessResult found = kyhost({"probe", "text:echo", "num:3"}, "", {{"KYHOST_PATH", "/nonexistent:" + dir.string()}});
    EXPECT_EQ(found.status, 0) << found.err;
    EXPECT_EQ(found.out, "3\n");
    EXPECT_EQ(kyhost({"probe", "text:echo", "num:3"}).status, 2);  // not found without the path

    const ProcessResult strings = kyhost({"--strings", "byteappend"});
    EXPECT_EQ(strings.status, 0) << strings.err;
    EXPECT_EQ(strings.out, "100 Karvel R11 native\n101 not inlined\n");
    EXPECT_EQ(kyhost({"--strings", "sparse"}).status, 2);
    EXPECT_EQ(kyhost({"--strings", KY_NOT_A_PLUGIN}).status, 2);
}

}  // namespace
