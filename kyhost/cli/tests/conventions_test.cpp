// kyhost's conventions around a call, through the real executable and the
// real plug-ins: --quiet, vectors written to CSV files one value per line,
// the points named next to sweeptri's errors about its points, and draw's
// axis titles from CSV column names.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "kyhost_fixture.hpp"

namespace {

using ky::testing::ProcessResult;

using KyhostConventions = ky::testing::KyhostTest;

std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(KyhostConventions, QuietDropsWarningsFromStandardErrorOnly)
{
    const ProcessResult loud = kyhost({"sweeptri", "num:0,1,2", "num:0,0,0"});
    EXPECT_EQ(loud.status, 0);
    EXPECT_NE(loud.err.find("warning: Degenerate case"), std::string::npos) << loud.err;
    const ProcessResult quiet = kyhost({"--quiet", "sweeptri", "num:0,1,2", "num:0,0,0"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(quiet.out, loud.out);
    // Errors still show.
    const ProcessResult failed = kyhost({"--quiet", "sweeptri", "num:0,1", "num:0"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err, "error: X and Y must be the same size.\n");
}

TEST_F(KyhostConventions, VectorsGoToCsvFilesOneValuePerLine)
{
    const std::string row = (dir / "row.csv").string(), column = (dir / "column.csv").string();
    const std::string matrix = (dir / "matrix.csv").string();
    const std::string tri = "csv:" + file("tri.csv", "1,4,2\n3,4,1\n");
    ASSERT_EQ(kyhost({"--out", row, "nearwalk", "num:0,1,0,1", "num:0,0,1,1", tri, "num:0.9,0.2,0.1",
                      "num:0.1,0.8,0.1"}).status, 0);
    EXPECT_EQ(slurp(row), "2\n3\n1\n");
    ASSERT_EQ(kyhost({"--out", column, "nearwalk", "num:0,1,0,1", "num:0,0,1,1", tri,
                      "csv:" + file("xi.csv", "0.9\n0.2\n"), "csv:" + file("yi.csv", "0.1\n0.8\n")}).status, 0);
    EXPECT_EQ(slurp(column), "2\n3\n");
    ASSERT_EQ(kyhost({"--out", matrix, "sweeptri", "num:0,1,0,1", "num:0,0,1,1"}).status, 0);
    EXPECT_EQ(slurp(matrix), "1,4,2\n3,4,1\n");
    // Standard output keeps the row.
    EXPECT_EQ(kyhost({"nearwalk", "num:0,1,0,1", "num:0,0,1,1", tri, "num:0.9,0.2", "num:0.1,0.8"}).out,
              "2,3\n");
}

TEST_F(KyhostConventions, PointErrorsNameTheFirstOffendingPoint)
{
    const ProcessResult repeated = kyhost({"sweeptri", "num:0,1,5,1,0,5", "num:0,2,7,2,0,7"});
    EXPECT_EQ(repeated.status, 1);
    EXPECT_EQ(repeated.err, "error: x-y data must be unique\nnote: point 4 (1, 2) is at the place of point 2; pass "
                            "--merge-duplicates to keep the first point of each place\n");
    const ProcessResult notFinite = kyhost({"sweeptri", "num:0,1,2,3", "num:0,1,inf,nan"});
    EXPECT_EQ(notFinite.status, 1);
    EXPECT_EQ(notFinite.err,
              "error: X and Y must contain only finite values.\n"
              "note: point 3 has a coordinate that is not finite: (2, inf)\n");
}

TEST_F(KyhostConventions, DrawTitlesItsAxesWithColumnNames)
{
    const std::string points = file("p.csv", "lon,lat\n0,0\n1,0\n0,1\n1,1\n");
    const std::string tri = file("t.csv", "1,4,2\n3,4,1\n");
    const auto draw = [&](std::vector<std::string> args, const std::string& name) {
        args.insert(args.begin(), "draw");
        args.insert(args.end(), {"--out", (dir / name).string()});
        EXPECT_EQ(kyhost(args).status, 0) << name;
        return slurp(dir / name);
    };
    const std::string named = draw({"csv:" + points + "#lon", "csv:" + points + "#lat", "csv:" + tri}, "a.svg");
    const std::string numbered = draw({"csv:" + points + "#1", "csv:" + points + "#2", "csv:" + tri}, "b.svg");
    const std::string given = draw({"csv:" + points + "#1", "csv:" + points + "#2", "csv:" + tri, "--xlabel", "lon",
                                    "--ylabel", "lat"}, "c.svg");
    const std::string plain = draw({"csv:" + points + "#1", "csv:" + points + "#2", "csv:" + tri, "--xlabel", "X",
                                    "--ylabel", "Y"}, "d.svg");
    EXPECT_NE(named, numbered);
    EXPECT_EQ(named, given);
    EXPECT_EQ(numbered, plain);
}

}  // namespace
