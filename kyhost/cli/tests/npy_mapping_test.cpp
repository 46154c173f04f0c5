// .npy inputs read in place: every file reads as the copying reader reads
// it, in place exactly when the layout allows, and the file never changes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "npy_format.hpp"
#include "npy_mapping.hpp"
#include "usage_error.hpp"

namespace {

namespace fs = std::filesystem;

// A .npy file of format version 1 or 2; padTo is the multiple the data
// offset is padded to (64 as NumPy writes, 1 for no padding at all).
std::string npy(const std::string& dict, const std::string& data, std::size_t padTo = 64, int version = 1)
{
    const std::size_t prefix = version == 1 ? 10 : 12;
    std::string header = dict;
    header.append((padTo - (prefix + header.size() + 1) % padTo) % padTo, ' ');
    header.push_back('\n');
    std::string out("\x93NUMPY", 6);
    out.push_back(static_cast<char>(version));
    out.push_back('\0');
    for (std::size_t k = 0; k < prefix - 8; ++k) out.push_back(static_cast<char>((header.size() >> (8 * k)) & 0xff));
    return out + header + data;
}

std::string doubles(std::initializer_list<double> values)
{
    std::string bytes;
    for (double v : values) bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
    return bytes;
}

std::string bigEndian(std::initializer_list<double> values)
{
    std::string bytes = doubles(values);
    for (std::size_t k = 0; k < bytes.size(); k += 8) std::reverse(bytes.begin() + k, bytes.begin() + k + 8);
    return bytes;
}

class NpyInPlace : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("kyhost-npy-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string file(const std::string& name, const std::string& content)
    {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    // Reads the file both ways; they must agree in class, shape and bytes,
    // or fail with the same message. Returns whether it was read in place.
    static std::optional<bool> readsAlike(const std::string& path)
    {
        std::string copiedError, mappedError;
        ky::ArrayHandle copied, mapped;
        try {
            copied = ky::readNpy(path);
        } catch (const ky::UsageError& error) {
            copiedError = error.what();
        }
        try {
            mapped = ky::readNpyInPlace(path);
        } catch (const ky::UsageError& error) {
            mappedError = error.what();
        }
        EXPECT_EQ(copiedError, mappedError) << path;
        if (!copied || !mapped) {
            EXPECT_EQ(copied == nullptr, mapped == nullptr) << path;
            return std::nullopt;
        }
        EXPECT_EQ(copied->arrayClass, mapped->arrayClass) << path;
        EXPECT_EQ(copied->m, mapped->m) << path;
        EXPECT_EQ(copied->n, mapped->n) << path;
        const std::size_t bytes = static_cast<std::size_t>(ky::elementCount(copied.get())) *
                                  ky::elementSize(copied->arrayClass);
        if (ky::elementCount(copied.get()) == ky::elementCount(mapped.get())) {
            EXPECT_EQ(std::memcmp(copied->data, mapped->data, bytes), 0) << path;
        }
        return mapped->borrowed;
    }

    fs::path dir;
};

TEST_F(NpyInPlace, ColumnMajorLayoutsAreReadInPlaceAndReadTheSame)
{
    EXPECT_EQ(readsAlike(file("f.npy", npy("{'descr': '<f8', 'fortran_order': True, 'shape': (2, 3), }",
                                           doubles({1, 4, 2, 5, 3, 6})))),
              true);
    EXPECT_EQ(readsAlike(file("v.npy", npy("{'descr': '<f8', 'fortran_order': False, 'shape': (4,), }",
                                           doubles({1, -0.0, 1e300, 2.5e-310})))),
              true);
    EXPECT_EQ(readsAlike(file("row.npy", npy("{'descr': '<f8', 'fortran_order': False, 'shape': (1, 3), }",
                                             doubles({7, 8, 9})))),
              true);
    EXPECT_EQ(readsAlike(file("col.npy", npy("{'descr': '<f8', 'fortran_order': False, 'shape': (3, 1), }",
                                             doubles({7, 8, 9})))),
              true);
    // A version 2 header, and uint8 data at any offset.
    const std::string v2 = npy("{'descr': '<f8', 'fortran_order': True, 'shape': (2, 1), }", doubles({3, 4}), 64, 2);
    EXPECT_EQ(readsAlike(file("v2.npy", v2)), true);
    EXPECT_EQ(readsAlike(file("u8.npy", npy("{'descr': '|u1', 'fortran_order': False, 'shape': (3,), }",
                                            "\x01\x02\x03", 1))),
              true);
}

TEST_F(NpyInPlace, OtherLayoutsAndBadFilesAreCopiedOrRefusedAsBefore)
{
    // Row-major matrix, big-endian, unaligned data, 0-D and empty arrays are
    // copied.
    EXPECT_EQ(readsAlike(file("c.npy", npy("{'descr': '<f8', 'fortran_order': False, 'shape': (2, 3), }",
                                           doubles({1, 2, 3, 4, 5, 6})))),
              false);
    EXPECT_EQ(readsAlike(file("be.npy", npy("{'descr': '>f8', 'fortran_order': True, 'shape': (2,), }",
                                            bigEndian({1.5, -2})))),
              false);
    const std::string unaligned = npy("{'descr': '<f8', 'fortran_order': True, 'shape': (2,), }", doubles({1, 2}), 1);
    ASSERT_NE((unaligned.size() - 16) % 8, 0u);
    EXPECT_EQ(readsAlike(file("odd.npy", unaligned)), false);
    EXPECT_EQ(readsAlike(file("0d.npy", npy("{'descr': '<f8', 'fortran_order': False, 'shape': (), }", doubles({5})))),
              false);
    EXPECT_EQ(readsAlike(file("empty.npy", npy("{'descr': '<f8', 'fortran_order': False, 'shape': (0,), }", ""))),
              false);
    // Other numeric types become float64 copies.
    EXPECT_EQ(readsAlike(file("i4.npy", npy("{'descr': '<i4', 'fortran_order': True, 'shape': (2,), }", "abcdefgh"))),
              false);
    // Files readNpy refuses are refused with its message.
    EXPECT_EQ(readsAlike(file("c8.npy", npy("{'descr': '<c8', 'fortran_order': True, 'shape': (1,), }", "abcdefgh"))),
              std::nullopt);
    EXPECT_EQ(readsAlike(file("nul.npy", npy(std::string("{'descr': '<f8', 'fortran_order': True, 'shape': (1,), }") + '\0',
                                             doubles({1})))),
              std::nullopt);
    EXPECT_EQ(readsAlike(file("short.npy", npy("{'descr': '<f8', 'fortran_order': True, 'shape': (2,), }",
                                               doubles({1})))),
              std::nullopt);
    EXPECT_EQ(readsAlike(file("long.npy", npy("{'descr': '<f8', 'fortran_order': True, 'shape': (1,), }",
                                              doubles({1, 2})))),
              std::nullopt);
    EXPECT_EQ(readsAlike(file("3d.npy", npy("{'descr': '<f8', 'fortran_order': True, 'shape': (1, 1, 1), }",
                                            doubles({1})))),
              std::nullopt);
    EXPECT_EQ(readsAlike(file("magic.npy", "not a numpy file at all")), std::nullopt);
    EXPECT_EQ(readsAlike(file("cut.npy", npy("{'descr': '<f8', 'fortran_order': True, 'shape': (1,), }", "").substr(0, 20))),
              std::nullopt);
    EXPECT_EQ(readsAlike((dir / "missing.npy").string()), std::nullopt);
    EXPECT_EQ(readsAlike(dir.string()), std::nullopt);  // a directory
}

TEST_F(NpyInPlace, WritingToAMappedArrayLeavesTheFileAlone)
{
    const std::string content =
        npy("{'descr': '<f8', 'fortran_order': True, 'shape': (3,), }", doubles({1, 2, 3}));
    const std::string path = file("w.npy", content);
    ky::ArrayHandle array = ky::readNpyInPlace(path);
    ASSERT_TRUE(array->borrowed);
    static_cast<double*>(array->data)[1] = 42;
    EXPECT_EQ(static_cast<double*>(array->data)[1], 42);
    std::ifstream in(path, std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(after, content);
    EXPECT_EQ(static_cast<double*>(ky::readNpyInPlace(path)->data)[1], 2);
}

TEST_F(NpyInPlace, RepeatedKeysAndLooseWordsAreRefused)
{
    const auto refusal = [&](const std::string& name, const std::string& content) {
        const std::string path = file(name, content);
        try {
            ky::readNpyInPlace(path);
        } catch (const ky::UsageError& error) {
            return std::string(error.what());
        }
        return std::string("(read)");
    };
    EXPECT_EQ(refusal("s.npy", npy("{'descr': '<f8', 'fortran_order': False, 'shape': (2,), 'shape': (1,), }",
                                   doubles({1, 2}))),
              "'" + (dir / "s.npy").string() + "' is not a valid .npy file: 'shape' appears 2 times in the header");
    EXPECT_NE(refusal("d.npy", npy("{'descr': '<f8', \"descr\": '|u1', 'fortran_order': False, 'shape': (2,), }",
                                   doubles({1, 2})))
                  .find("'descr' appears 2 times"),
              std::string::npos);
    EXPECT_NE(refusal("t.npy", npy("{'descr': '<f8', 'fortran_order': Truee, 'shape': (2,), }", doubles({1, 2})))
                  .find("'fortran_order' is neither True nor False"),
              std::string::npos);
    // Data past what the shape needs is reported with the file's real size.
    EXPECT_NE(refusal("long.npy", npy("{'descr': '<f8', 'fortran_order': False, 'shape': (1,), }", doubles({1, 2, 3})))
                  .find("the data holds 24 bytes, the shape needs 8"),
              std::string::npos);
}

}  // namespace
