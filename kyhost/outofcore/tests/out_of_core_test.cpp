#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "cgal_triangulator.hpp"
#include "out_of_core_run.hpp"
#include "row_encoding.hpp"
#include "tiled_delaunay.hpp"

namespace {

namespace fs = std::filesystem;
using outofcore::IndexType;

struct Points {
    std::vector<double> x, y;
    std::int64_t n() const { return static_cast<std::int64_t>(x.size()); }
};

Points uniformPoints(std::size_t n, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    Points p;
    for (std::size_t i = 0; i < n; ++i) {
        p.x.push_back(unit(random));
        p.y.push_back(unit(random));
    }
    return p;
}

std::vector<char> fileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The rows of an int64 file written by the run, and its header's text.
std::vector<std::int64_t> int64Rows(const fs::path& path, std::string* header = nullptr)
{
    const std::vector<char> bytes = fileBytes(path);
    EXPECT_GE(bytes.size(), outofcore::npyHeaderBytes);
    if (header) *header = std::string(bytes.begin() + 10, bytes.begin() + outofcore::npyHeaderBytes);
    std::vector<std::int64_t> rows((bytes.size() - outofcore::npyHeaderBytes) / 8);
    std::memcpy(rows.data(), bytes.data() + outofcore::npyHeaderBytes, rows.size() * 8);
    return rows;
}

std::set<std::array<std::int64_t, 3>> rowSet(const std::vector<std::int64_t>& rows)
{
    std::set<std::array<std::int64_t, 3>> set;
    for (std::size_t r = 0; r + 2 < rows.size(); r += 3) {
        std::array<std::int64_t, 3> row{rows[r], rows[r + 1], rows[r + 2]};
        std::rotate(row.begin(), std::min_element(row.begin(), row.end()), row.end());  // keeps the orientation
        set.insert(row);
    }
    return set;
}

class OutOfCore : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("kyhost-ooc-" + std::to_string(::getpid()) + "-" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    outofcore::Options options(const std::string& name, std::int64_t tilePoints = 8192) const
    {
        outofcore::Options o;
        o.outPath = (folder_ / name).string();
        o.memoryLimit = 256ull << 20;
        o.workers = 2;
        o.index = IndexType::Int64;
        o.base = 0;
        o.tilePoints = tilePoints;
        o.triangulate = tiling::cgalTriangulate;
        return o;
    }
    fs::path folder_;
};

// 2x10^5 points in at least 16 tiles: the same rows in the same order as the
// in-memory tiler, a Delaunay triangulation (CGAL's row set), and nothing
// left beside the output.
TEST_F(OutOfCore, WritesTheTiledRowsInTheirOrder)
{
    const Points p = uniformPoints(200000, 1);
    const outofcore::Options o = options("tri.npy");
    const outofcore::Report report = outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), o);
    EXPECT_GE(report.tiles, 16);
    EXPECT_GT(report.seamPoints, 0);

    const tiling::TiledResult memory = tiling::triangulateTiled(p.x.data(), p.y.data(), p.n(), 2, tiling::cgalTriangulate, 8192);
    std::string header;
    const std::vector<std::int64_t> rows = int64Rows(o.outPath, &header);
    EXPECT_EQ(rows, memory.rows());
    EXPECT_EQ(report.rows * 3, static_cast<std::int64_t>(rows.size()));
    EXPECT_NE(header.find("'descr': '<i8', 'fortran_order': False, 'shape': (" + std::to_string(report.rows) + ", 3)"), std::string::npos);

    const auto whole = tiling::cgalTriangulate(p.x.data(), p.y.data(), static_cast<std::int32_t>(p.n()));
    EXPECT_EQ(rowSet(rows), rowSet(std::vector<std::int64_t>(whole.corners.begin(), whole.corners.end())));
    EXPECT_FALSE(fs::exists(o.outPath + ".partial"));
    EXPECT_FALSE(fs::exists(o.outPath + ".scratch"));

    // Every worker count and every limit that holds the same tiles: the same bytes.
    outofcore::Options one = options("one.npy");
    one.workers = 1;
    one.memoryLimit = 2ull << 30;
    outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), one);
    EXPECT_EQ(fileBytes(one.outPath), fileBytes(o.outPath));

    // The seams in rounds of two levels of the split tree: rounds below the
    // last, the in-memory tiler's rows with the same rounds, CGAL's row set.
    outofcore::Options rounds = options("rounds.npy");
    rounds.seamRoundLevels = 2;
    const outofcore::Report inRounds = outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), rounds);
    EXPECT_GE(inRounds.seamRounds, 3);
    EXPECT_EQ(report.seamRounds, 1);
    const std::vector<std::int64_t> roundRows = int64Rows(rounds.outPath);
    EXPECT_EQ(roundRows, tiling::triangulateTiled(p.x.data(), p.y.data(), p.n(), 2, tiling::cgalTriangulate, 8192, 2).rows());
    EXPECT_EQ(rowSet(roundRows), rowSet(std::vector<std::int64_t>(whole.corners.begin(), whole.corners.end())));
}

// float64 from 1, counter-clockwise: the int64 rows plus one, corners 1 and 2 swapped.
TEST_F(OutOfCore, EncodesEntriesBaseAndOrientation)
{
    const Points p = uniformPoints(30000, 2);
    const outofcore::Options plain = options("plain.npy");
    outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), plain);
    outofcore::Options other = options("other.npy");
    other.index = IndexType::Float64;
    other.base = 1;
    other.clockwise = false;
    outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), other);
    outofcore::Options narrow = options("narrow.npy");
    narrow.index = IndexType::Int32;
    outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), narrow);

    const std::vector<std::int64_t> rows = int64Rows(plain.outPath);
    const std::vector<char> f = fileBytes(other.outPath), i32 = fileBytes(narrow.outPath);
    ASSERT_EQ(f.size(), fileBytes(plain.outPath).size());
    ASSERT_EQ(i32.size() - outofcore::npyHeaderBytes, rows.size() * 4);
    for (std::size_t r = 0; r < rows.size(); r += 3) {
        double row[3];
        std::int32_t narrowRow[3];
        std::memcpy(row, f.data() + outofcore::npyHeaderBytes + 8 * r, 24);
        std::memcpy(narrowRow, i32.data() + outofcore::npyHeaderBytes + 4 * r, 12);
        ASSERT_EQ(row[0], static_cast<double>(rows[r] + 1));
        ASSERT_EQ(row[1], static_cast<double>(rows[r + 2] + 1));
        ASSERT_EQ(row[2], static_cast<double>(rows[r + 1] + 1));
        ASSERT_EQ(narrowRow[1], rows[r + 1]);
    }
}

// A run stopped after some tiles leaves a partial file without a header and
// no output; --resume finishes the remaining tiles only, to the same bytes.
TEST_F(OutOfCore, ResumesAnInterruptedRun)
{
    const Points p = uniformPoints(200000, 3);
    const outofcore::Options whole = options("whole.npy");
    outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), whole);

    outofcore::Options broken = options("tri.npy");
    auto calls = std::make_shared<std::atomic<int>>(0);
    broken.triangulate = [calls](const double* x, const double* y, std::int32_t n) {
        if (++*calls > 9) throw std::runtime_error("stopped on purpose");
        return tiling::cgalTriangulate(x, y, n);
    };
    EXPECT_THROW(outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), broken), std::runtime_error);
    EXPECT_FALSE(fs::exists(broken.outPath));
    ASSERT_TRUE(fs::exists(broken.outPath + ".partial"));
    const std::vector<char> partial = fileBytes(broken.outPath + ".partial");
    ASSERT_GE(partial.size(), outofcore::npyHeaderBytes);
    EXPECT_TRUE(std::all_of(partial.begin(), partial.begin() + outofcore::npyHeaderBytes, [](char c) { return c == 0; }));

    outofcore::Options resumed = options("tri.npy");
    resumed.resume = true;
    const outofcore::Report report = outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), resumed);
    EXPECT_GE(report.tilesResumed, 5);
    EXPECT_LT(report.tilesResumed, report.tiles);
    EXPECT_EQ(fileBytes(resumed.outPath), fileBytes(whole.outPath));
    EXPECT_FALSE(fs::exists(resumed.outPath + ".scratch"));

    // Nothing to resume from: a fresh run.
    EXPECT_EQ(outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), resumed).tilesResumed, 0);
}

// Seams too large for the limit stop the run as soon as the finished tiles
// show it, not after the last tile; the tiles are kept, and --resume with a
// larger limit writes what a run with that limit writes. In rounds of a few
// levels the same limit holds the seams.
TEST_F(OutOfCore, RefusesTheSeamsEarlyAndJoinsThemInRounds)
{
    const Points p = uniformPoints(50000, 6);
    const auto tileOptions = [&](const std::string& name, std::uint64_t limit, int levels) {
        outofcore::Options o = options(name, 128);
        o.memoryLimit = limit;
        o.workers = 1;
        o.seamRoundLevels = levels;
        return o;
    };
    const outofcore::Options tight = tileOptions("tri.npy", 3 << 20, 30);  // one round for all 512 tiles
    std::string message;
    try {
        outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), tight);
        ADD_FAILURE() << "not refused";
    } catch (const outofcore::Refusal& refused) {
        message = refused.what();
    }
    EXPECT_NE(message.find("the seams join"), std::string::npos) << message;
    EXPECT_NE(message.find("run again with --resume"), std::string::npos) << message;
    EXPECT_FALSE(fs::exists(tight.outPath));
    ASSERT_TRUE(fs::exists(tight.outPath + ".scratch"));

    outofcore::Options roomy = tileOptions("tri.npy", 64 << 20, 30);
    roomy.resume = true;
    const outofcore::Report report = outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), roomy);
    EXPECT_GT(report.tilesResumed, 0);
    EXPECT_EQ(report.seamRounds, 1);
    // Stopped at the first tile that showed it: the seam points it names
    // are those of the tiles up to that one, well short of all of them.
    const std::size_t at = message.find("the seams join ") + 15;
    const std::int64_t named = std::stoll(message.substr(at));
    EXPECT_GT(named, report.seamPoints / 2);
    EXPECT_LT(named, report.seamPoints - report.seamPoints / 8);
    const std::vector<char> resumed = fileBytes(roomy.outPath);
    const outofcore::Options fresh = tileOptions("fresh.npy", 64 << 20, 30);
    outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), fresh);
    EXPECT_EQ(resumed, fileBytes(fresh.outPath));

    // Rounds of three levels: 64 rounds of 8 tiles, 8 of theirs, the last.
    const outofcore::Options rounds = tileOptions("rounds.npy", 3 << 20, 3);
    const outofcore::Report inRounds = outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), rounds);
    EXPECT_EQ(inRounds.seamRounds, 64 + 8 + 1);
    const auto whole = tiling::cgalTriangulate(p.x.data(), p.y.data(), static_cast<std::int32_t>(p.n()));
    EXPECT_EQ(rowSet(int64Rows(rounds.outPath)), rowSet(std::vector<std::int64_t>(whole.corners.begin(), whole.corners.end())));
}

// A scratch folder of other points or options is not resumed from.
TEST_F(OutOfCore, RefusesToResumeAnotherRun)
{
    const Points p = uniformPoints(50000, 4);
    outofcore::Options broken = options("tri.npy");
    broken.triangulate = [](const double*, const double*, std::int32_t) -> sweeptri::threaded::SweepRows {
        throw std::runtime_error("stopped on purpose");
    };
    EXPECT_THROW(outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), broken), std::runtime_error);
    outofcore::Options other = options("tri.npy");
    other.resume = true;
    other.base = 1;
    EXPECT_THROW(outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), other), outofcore::Refusal);
    Points moved = p;
    moved.x[17] += 0.5;
    other.base = 0;
    EXPECT_THROW(outofcore::triangulateToFile(moved.x.data(), moved.y.data(), moved.n(), other), outofcore::Refusal);
}

// Refused before anything is written, and nothing is left behind.
TEST_F(OutOfCore, RefusesWhatCannotBeDone)
{
    Points p = uniformPoints(50000, 5);
    const auto refusal = [&](outofcore::Options o, const Points& points) -> std::string {
        try {
            outofcore::triangulateToFile(points.x.data(), points.y.data(), points.n(), o);
        } catch (const outofcore::Refusal& refused) {
            EXPECT_FALSE(fs::exists(o.outPath));
            EXPECT_FALSE(fs::exists(o.outPath + ".partial"));
            EXPECT_FALSE(fs::exists(o.outPath + ".scratch"));
            return refused.what();
        }
        ADD_FAILURE() << "not refused";
        return "";
    };
    outofcore::Options narrow = options("tri.npy");
    narrow.index = IndexType::Int32;
    narrow.int32Largest = 49999;  // base 0: the 50000 points fit exactly
    EXPECT_NO_THROW(outofcore::triangulateToFile(p.x.data(), p.y.data(), p.n(), narrow));
    fs::remove(narrow.outPath);
    narrow.base = 1;
    EXPECT_NE(refusal(narrow, p).find("int32 indices go up to 49999"), std::string::npos);

    outofcore::Options tiny = options("tri.npy", 0);
    tiny.memoryLimit = 1 << 20;
    EXPECT_NE(refusal(tiny, p).find("too small"), std::string::npos);
    outofcore::Options big = options("tri.npy", 1 << 19);
    big.memoryLimit = 64 << 20;
    EXPECT_NE(refusal(big, p).find("the memory limit is 64.0 MiB"), std::string::npos);

    Points bad = p;
    bad.y[31234] = std::nan("");
    EXPECT_NE(refusal(options("tri.npy"), bad).find("point 31235 is not finite"), std::string::npos);

    // Repeats in two tiles: the pair whose later point comes first is named.
    Points twice = p;
    twice.x[40000] = twice.x[7];
    twice.y[40000] = twice.y[7];
    twice.x[30000] = twice.x[29999];
    twice.y[30000] = twice.y[29999];
    EXPECT_NE(refusal(options("tri.npy"), twice).find("points 30000 and 30001 are both at"), std::string::npos);
}

}  // namespace
