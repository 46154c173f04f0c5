// kyhost check, draw and demo end to end, through the real executable and
// the real plug-ins: verdicts and exit statuses, files read in every form
// sweeptri's results are saved in, pictures of the stated size, and
// pictures that cannot be written.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "run_process.hpp"

namespace {

using ky::testing::ProcessResult;
using ky::testing::runProcess;
namespace fs = std::filesystem;

class InspectCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("kyhost-inspect-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string file(const std::string& name, const std::string& content)
    {
        std::ofstream(dir / name, std::ios::binary) << content;
        return (dir / name).string();
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }

    static ProcessResult kyhost(std::vector<std::string> args)
    {
        args.insert(args.begin(), KY_KYHOST);
        return runProcess(args);
    }

    static std::string lastLine(const std::string& text)
    {
        const std::size_t end = text.find_last_not_of('\n');
        const std::size_t start = text.rfind('\n', end);
        return text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
    }

    // An n-by-n grid of the unit step, as two CSV files (one row each).
    std::pair<std::string, std::string> grid(int n, const std::string& scale = "")
    {
        std::ostringstream x, y;
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                x << (i + j ? "," : "") << i << scale;
                y << (i + j ? "," : "") << j << scale;
            }
        return {file("x.csv", x.str() + "\n"), file("y.csv", y.str() + "\n")};
    }

    fs::path dir;
};

TEST_F(InspectCommand, SweeptriGridsPassAtEveryScaleInCsvAndNpy)
{
    for (const std::string scale : {"", "e-300", "e300"}) {
        const auto [x, y] = grid(12, scale);
        const ProcessResult tri = kyhost({"sweeptri", "csv:" + x, "csv:" + y, "--out", path("tri.csv")});
        ASSERT_EQ(tri.status, 0) << tri.err;
        const ProcessResult r = kyhost({"check", "csv:" + x, "csv:" + y, "csv:" + path("tri.csv")});
        // sweeptri on grids at extreme scales may or may not be right; the
        // check must say which, and agree with its exit status.
        if (scale.empty()) {
            EXPECT_EQ(r.status, 0) << r.out;
        }
        EXPECT_TRUE(r.status == 0 || r.status == 1) << r.err;
        EXPECT_EQ(lastLine(r.out).rfind(r.status == 0 ? "valid: " : "invalid: ", 0), 0u) << scale << "\n" << r.out;
    }
    const auto [x, y] = grid(12);
    ASSERT_EQ(kyhost({"sweeptri", "csv:" + x, "csv:" + y, "--out", path("tri.npy")}).status, 0);
    const ProcessResult r = kyhost({"check", "csv:" + x, "csv:" + y, "npy:" + path("tri.npy")});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(lastLine(r.out), "valid: a Delaunay triangulation of the 144 points (242 rows)");
    EXPECT_NE(r.out.find("h = 44 boundary points: a triangulation has 2n - 2 - h = 242 rows"), std::string::npos);
}

TEST_F(InspectCommand, CheckGivesOneVerdictLineAndItsStatus)
{
    const std::string x = "num:0,10,20,10", y = "num:10,0,10,100";
    ProcessResult r = kyhost({"check", x, y, "csv:" + file("good.csv", "1,3,2\n1,4,3\n")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lastLine(r.out), "valid: a Delaunay triangulation of the 4 points (2 rows)");
    r = kyhost({"check", x, y, "csv:" + file("long.csv", "2,1,4\n2,4,3\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lastLine(r.out), "invalid: a triangulation of the 4 points, but not Delaunay (1 edge not locally Delaunay)");
    EXPECT_NE(r.out.find("FAIL  inner edges not locally Delaunay: 1: edge 2-4 (rows 1 and 2)"), std::string::npos);
    r = kyhost({"check", x, y, "csv:" + file("flip.csv", "1,2,3\n1,4,3\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("FAIL  rows counter-clockwise: 1: row 1 (1,2,3)"), std::string::npos);
    EXPECT_EQ(lastLine(r.out), "invalid: not a triangulation of the 4 points (see the FAIL lines)");
    r = kyhost({"check", x, y, "csv:" + file("missing.csv", "1,4,3\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("FAIL  points in no row: 1: point 2"), std::string::npos);
    r = kyhost({"check", x, y, "csv:" + file("range.csv", "1,3,2\n1,5,3\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("FAIL  rows with an index that is not a whole number from 1 to 4: 1: row 2 (1,5,3)"),
              std::string::npos);
    r = kyhost({"check", x, y, "csv:" + file("frac.csv", "1,3,2\n1,4,3.5\n")});
    EXPECT_NE(r.out.find("row 2 (1,4,3.5)"), std::string::npos);
    r = kyhost({"check", x, y, "num:1,3"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "invalid: TRI is 1-by-2; a triangulation has one row of 3 indices per triangle\n");
    // Points on one line: no rows is the right answer.
    r = kyhost({"check", "num:0,1,2", "num:0,0,0", "csv:" + file("none.csv", "")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lastLine(r.out), "valid: no triangles, as the 3 points span no area");
}

TEST_F(InspectCommand, CheckAndDrawTakeTheOrientationAsked)
{
    // The kite's two rows, clockwise as sweeptri returns them and turned
    // counter-clockwise as scipy returns them.
    const std::string x = "num:0,10,20,10", y = "num:10,0,10,100";
    const std::string clockwise = "csv:" + file("cw.csv", "1,3,2\n1,4,3\n");
    const std::string counterClockwise = "csv:" + file("ccw.csv", "1,2,3\n1,3,4\n");
    ProcessResult r = kyhost({"check", x, y, counterClockwise});  // refused by default
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("FAIL  rows counter-clockwise: 2: row 1 (1,2,3), row 2 (1,3,4)"), std::string::npos) << r.out;
    r = kyhost({"check", "--orientation", "counterclockwise", x, y, counterClockwise});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("ok    no row clockwise\n"), std::string::npos) << r.out;
    r = kyhost({"check", "--orientation", "counterclockwise", x, y, clockwise});
    EXPECT_EQ(r.status, 1);
    for (const auto& [tri, way] : {std::pair{counterClockwise, "counter-clockwise"}, std::pair{clockwise, "clockwise"}}) {
        r = kyhost({"check", "--orientation", "either", x, y, tri});
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find(std::string(": the rows run ") + way + " (either way is accepted)"), std::string::npos) << r.out;
        EXPECT_EQ(lastLine(r.out), "valid: a Delaunay triangulation of the 4 points (2 rows)");
    }
    r = kyhost({"check", "--orientation", "ccw", x, y, clockwise});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--orientation"), std::string::npos) << r.err;

    r = kyhost({"draw", x, y, counterClockwise, "--out", path("ccw.svg")});
    EXPECT_NE(r.out.find("invalid: not a triangulation"), std::string::npos) << r.out;
    r = kyhost({"draw", x, y, counterClockwise, "--out", path("ccw.svg"), "--orientation", "either"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nvalid: a Delaunay triangulation of the 4 points (2 rows)\n"), std::string::npos) << r.out;
}

TEST_F(InspectCommand, CheckRefusesArgumentsThatAreNoPoints)
{
    ProcessResult r = kyhost({"check", "num:0,1", "num:0,0,1", "num:1,2,3"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kyhost: X and Y must have as many elements (2 and 3)\n");
    r = kyhost({"check", "num:0,1,inf", "num:0,0,1", "num:1,2,3"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kyhost: X(3) is not a finite number\n");
    r = kyhost({"check", "text:abc", "num:0,0,1", "num:1,2,3"});
    EXPECT_EQ(r.status, 2);
    r = kyhost({"check", "num:0,1,0", "num:0,0,1"});
    EXPECT_EQ(r.status, 2);
    r = kyhost({"check", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Exit status: 0 valid, 1 invalid"), std::string::npos);
}

TEST_F(InspectCommand, DrawWritesTheStatedPictureWithQueries)
{
    const auto [x, y] = grid(6);
    ASSERT_EQ(kyhost({"sweeptri", "csv:" + x, "csv:" + y, "--out", path("tri.npy")}).status, 0);
    const std::string qx = "num:0.5,4.2", qy = "num:0.5,3.9";
    const ProcessResult k = kyhost({"nearwalk", "csv:" + x, "csv:" + y, "npy:" + path("tri.npy"), qx, qy});
    ASSERT_EQ(k.status, 0) << k.err;
    const std::string answers = file("k.csv", k.out);
    ProcessResult r = kyhost({"draw", "csv:" + x, "csv:" + y, "npy:" + path("tri.npy"), qx, qy, "csv:" + answers,
                              "--out", path("p.png"), "--title", "Grid"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "picture: " + path("p.png") +
                         " (PNG, 2400 by 1760 pixels)\nvalid: a Delaunay triangulation of the 36 points (50 rows)\n");
    std::ifstream png(path("p.png"), std::ios::binary);
    std::string head(24, '\0');
    png.read(head.data(), 24);
    EXPECT_EQ(head.substr(1, 3), "PNG");
    EXPECT_EQ(head.substr(16, 8), std::string("\0\0\x09\x60\0\0\x06\xe0", 8));  // 2400 by 1760

    r = kyhost({"draw", "csv:" + x, "csv:" + y, "csv:" + file("bad.csv", "1,2,8\n"), "--out", path("p.svg")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("(SVG, 1200 by 880 pixels)\ninvalid: not a triangulation"), std::string::npos);
    std::ifstream svg(path("p.svg"));
    std::stringstream text;
    text << svg.rdbuf();
    EXPECT_NE(text.str().find("width=\"1200px\" height=\"880px\""), std::string::npos);
    EXPECT_EQ(text.str().substr(text.str().size() - 7), "</svg>\n");
}

TEST_F(InspectCommand, APictureThatCannotBeWrittenIsAnError)
{
    const std::string x = "num:0,1,0", y = "num:0,0,1", tri = "num:3,2,1";
    ProcessResult r = kyhost({"draw", x, y, tri, "--out", "/dev/full", "--format", "svg"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "error: cannot write picture /dev/full: No space left on device\n");
    EXPECT_EQ(r.out, "");
    r = kyhost({"draw", x, y, tri, "--out", path("no/such/dir.png")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("error: cannot write picture ", 0), 0u);
    r = kyhost({"draw", x, y, tri, "--out", path("p.jpg")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("must end in .svg (SVG) or .png (PNG), or give --format"), std::string::npos);
    EXPECT_FALSE(fs::exists(path("p.jpg")));
    r = kyhost({"demo", "--points", "200", "--svg", "/dev/full"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: cannot write picture /dev/full: No space left on device\n");
    EXPECT_EQ(r.out.find("picture:"), std::string::npos);
}

TEST_F(InspectCommand, APictureCutShortByAFullPlaceIsRemoved)
{
    // A file size limit (with its signal ignored) makes writes fail the way
    // a full disk does, part-way through the picture.
    const auto [x, y] = grid(30);
    ASSERT_EQ(kyhost({"sweeptri", "csv:" + x, "csv:" + y, "--out", path("tri.csv")}).status, 0);
    for (const char* name : {"cut.svg", "cut.png"}) {
        const std::string out = path(name);
        const ProcessResult r = runProcess({"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 4; exec \"$0\" \"$@\"", KY_KYHOST,
                                            "draw", "csv:" + x, "csv:" + y, "csv:" + path("tri.csv"), "--out", out});
        EXPECT_EQ(r.status, 2) << name << r.err;
        EXPECT_EQ(r.err, "error: cannot write picture " + out + ": File too large\n");
        EXPECT_FALSE(fs::exists(out)) << name;
    }
}

TEST_F(InspectCommand, DemoChecksAndDrawsThroughTheSameCode)
{
    const ProcessResult r = kyhost({"demo", "--points", "300", "--svg", path("demo.png")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("exact check (kyhost check): valid: a Delaunay triangulation of the 300 points"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("picture: " + path("demo.png")), std::string::npos);
    EXPECT_GT(fs::file_size(path("demo.png")), 1000u);
}

}  // namespace

namespace {

// A .npy file of raw little-endian data: descr, shape text ("(4,)",
// "(2, 3)") and C order.
std::string npyBytes(const std::string& descr, const std::string& shape, const std::string& data)
{
    std::string header = "{'descr': '" + descr + "', 'fortran_order': False, 'shape': " + shape + ", }";
    header.append(64 - (10 + header.size() + 1) % 64, ' ');
    header += '\n';
    std::string bytes = "\x93NUMPY";
    bytes += '\x01';
    bytes += '\x00';
    bytes += static_cast<char>(header.size() & 0xff);
    bytes += static_cast<char>(header.size() >> 8);
    return bytes + header + data;
}

template <typename T>
std::string raw(const std::vector<T>& values)
{
    return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
}

}  // namespace

TEST_F(InspectCommand, CheckWithAMemoryLimitStreamsNpyFilesOfEveryIndexType)
{
    // The kite: two clockwise rows, 1-based and 0-based, float64 and integers.
    const std::string x = "npy:" + file("x.npy", npyBytes("<f8", "(4,)", raw(std::vector<double>{0, 10, 20, 10})));
    const std::string y = "npy:" + file("y.npy", npyBytes("<f8", "(4,)", raw(std::vector<double>{10, 0, 10, 100})));
    const std::string f8 = "npy:" + file("t8.npy", npyBytes("<f8", "(2, 3)", raw(std::vector<double>{1, 3, 2, 1, 4, 3})));
    const std::string i4 = "npy:" + file("t4.npy", npyBytes("<i4", "(2, 3)", raw(std::vector<std::int32_t>{0, 2, 1, 0, 3, 2})));
    const std::string i8 = "npy:" + file("t64.npy", npyBytes("<i8", "(2, 3)", raw(std::vector<std::int64_t>{0, 2, 1, 0, 3, 2})));
    ProcessResult r = kyhost({"check", x, y, f8, "--memory-limit", "64M"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(lastLine(r.out), "valid: a Delaunay triangulation of the 4 points (2 rows)");
    for (const std::string& tri : {i4, i8}) {
        r = kyhost({"check", x, y, tri, "--memory-limit", "64M", "--base", "0"});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        r = kyhost({"check", x, y, tri, "--memory-limit", "64M"});  // counted from 1, index 0 names no point
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out.find("FAIL  rows with an index that is not a whole number from 1 to 4: 2: row 1 (0,2,1)"),
                  std::string::npos) << r.out;
    }
    // The long diagonal: a triangulation, not Delaunay.
    const std::string wrong = "npy:" + file("long.npy", npyBytes("<i4", "(2, 3)", raw(std::vector<std::int32_t>{1, 0, 3, 1, 3, 2})));
    r = kyhost({"check", x, y, wrong, "--memory-limit", "64M", "--base", "0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lastLine(r.out), "invalid: a triangulation of the 4 points, but not Delaunay (1 edge not locally Delaunay)");

    // Refusals, each with status 2: a limit that is no size or too small,
    // inputs that are not .npy, a file shorter than its header says.
    r = kyhost({"check", x, y, f8, "--memory-limit", "lots"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--memory-limit takes a size"), std::string::npos);
    r = kyhost({"check", x, y, f8, "--memory-limit", "1K"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("needs a memory limit of at least"), std::string::npos);
    r = kyhost({"check", "num:0,10,20,10", y, f8, "--memory-limit", "64M"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("must be a .npy file given as npy:PATH"), std::string::npos);
    const std::string cut = "npy:" + file("cut.npy", npyBytes("<i4", "(2, 3)", raw(std::vector<std::int32_t>{0, 2, 1})));
    r = kyhost({"check", x, y, cut, "--memory-limit", "64M", "--base", "0"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("not the 24 its header promises"), std::string::npos) << r.err;
}

TEST_F(InspectCommand, StreamedCheckAgreesWithTheCheckOnSweeptriRows)
{
    const auto [x, y] = grid(40);
    ASSERT_EQ(kyhost({"sweeptri", "csv:" + x, "csv:" + y, "--out", path("tri.npy")}).status, 0);
    // X and Y as .npy files of the same grid.
    std::vector<double> gx, gy;
    for (int j = 0; j < 40; ++j)
        for (int i = 0; i < 40; ++i) {
            gx.push_back(i);
            gy.push_back(j);
        }
    const std::string nx = "npy:" + file("gx.npy", npyBytes("<f8", "(1600,)", raw(gx)));
    const std::string ny = "npy:" + file("gy.npy", npyBytes("<f8", "(1600,)", raw(gy)));
    const ProcessResult whole = kyhost({"check", nx, ny, "npy:" + path("tri.npy")});
    const ProcessResult streamed = kyhost({"check", nx, ny, "npy:" + path("tri.npy"), "--memory-limit", "20M"});
    EXPECT_EQ(whole.status, 0);
    EXPECT_EQ(streamed.status, 0) << streamed.out << streamed.err;
    EXPECT_EQ(lastLine(streamed.out), lastLine(whole.out));
}
