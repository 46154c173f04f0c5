// Points from one file, through the real executable: columns of .npy
// arrays (read whole, in place and streamed), decimal commas and empty
// cells in CSV files, sweeptri --merge-duplicates, and nearwalk's 0-based
// TRI in words.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "kyhost_fixture.hpp"

namespace {

using ky::testing::ProcessResult;

using PointInputs = ky::testing::KyhostTest;

// A version 1.0 .npy file: the header dictionary padded so that the data
// starts on a 64-byte boundary, then the data as given.
std::string npyFile(const std::string& dict, const std::string& data)
{
    std::string header = dict;
    const std::size_t total = 10 + header.size() + 1;
    header.append((64 - total % 64) % 64, ' ');
    header.push_back('\n');
    std::string out("\x93NUMPY\x01\x00", 8);
    out.push_back(static_cast<char>(header.size() & 0xff));
    out.push_back(static_cast<char>(header.size() >> 8));
    return out + header + data;
}

template <typename T>
std::string bytesOf(const std::vector<T>& values)
{
    std::string bytes(values.size() * sizeof(T), '\0');
    if (!values.empty()) std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

std::string dict(const std::string& descr, bool fortran, const std::string& shape)
{
    return "{'descr': '" + descr + "', 'fortran_order': " + (fortran ? "True" : "False") + ", 'shape': " + shape +
           ", }";
}

bool mentions(const ProcessResult& r, const std::string& text) { return r.err.find(text) != std::string::npos; }

// 3 points (0,10), (1,11), (2,12) as a 3-by-2 array, in both orders and
// as int32 (converted).
class NpyPoints : public PointInputs {
protected:
    void SetUp() override
    {
        PointInputs::SetUp();
        c = file("c.npy", npyFile(dict("<f8", false, "(3, 2)"), bytesOf<double>({0, 10, 1, 11, 2, 12})));
        f = file("f.npy", npyFile(dict("<f8", true, "(3, 2)"), bytesOf<double>({0, 1, 2, 10, 11, 12})));
        i = file("i.npy", npyFile(dict("<i4", false, "(3, 2)"), bytesOf<std::int32_t>({0, 10, 1, 11, 2, 12})));
    }
    std::string c, f, i;
};

TEST_F(NpyPoints, ColumnsOfEitherOrderAndTypeAreMByOne)
{
    for (const std::string& path : {c, f, i}) {
        const ProcessResult x = echo("npy:" + path + "#1"), y = echo("npy:" + path + "#2");
        EXPECT_EQ(x.status, 0) << x.err;
        EXPECT_EQ(x.out, "0\n1\n2\n") << path;
        EXPECT_EQ(y.out, "10\n11\n12\n") << path;
        // A '#' at the end selects nothing: the whole array.
        EXPECT_EQ(echo("npy:" + path + "#").out, "0,10\n1,11\n2,12\n") << path;
    }
    // One row: its second column is 1-by-1, read in place from a C-order row.
    const std::string row = file("row.npy", npyFile(dict("<f8", false, "(1, 3)"), bytesOf<double>({4, 5, 6})));
    EXPECT_EQ(echo("npy:" + row + "#2").out, "5\n");
}

TEST_F(NpyPoints, BadSelectorsSayWhatTheFileHolds)
{
    const ProcessResult outside = echo("npy:" + c + "#3");
    EXPECT_EQ(outside.status, 2);
    EXPECT_TRUE(mentions(outside, "has no column 3: its shape is (3, 2), so its columns are numbered 1 to 2"))
        << outside.err;
    const std::string cube = file("cube.npy", npyFile(dict("<f8", false, "(2, 1, 2)"), bytesOf<double>({1, 2, 3, 4})));
    const ProcessResult threeD = echo("npy:" + cube + "#1");
    EXPECT_EQ(threeD.status, 2);
    EXPECT_TRUE(mentions(threeD, "holds a 3-D array (shape (2, 1, 2)); a column (#1) is chosen from a 2-D array"))
        << threeD.err;
    const std::string vector = file("v.npy", npyFile(dict("<f8", false, "(2,)"), bytesOf<double>({1, 2})));
    const ProcessResult oneD = echo("npy:" + vector + "#1");
    EXPECT_TRUE(mentions(oneD, "holds a 1-D array (shape (2,))") && mentions(oneD, "read it whole")) << oneD.err;
    const ProcessResult named = echo("npy:" + c + "#x");
    EXPECT_EQ(named.status, 2);
    EXPECT_TRUE(mentions(named, "'x' is not a column number; the columns of a .npy array have no names")) << named.err;
    EXPECT_TRUE(mentions(echo("npy:" + c + "#0"), "'0' is not a column number"));
    EXPECT_TRUE(mentions(echo("npy:" + c + "#1,2"), "choose one column only"));
    EXPECT_TRUE(mentions(echo("npy:" + c + "#sep=tab"), "'sep=tab' is for CSV files"));
    // A dtype that is no number is refused as without a selector.
    const std::string flags = file("b.npy", npyFile(dict("|b1", false, "(2, 2)"), std::string(4, '\1')));
    EXPECT_TRUE(mentions(echo("npy:" + flags + "#1"), "holds dtype '|b1'"));
    // A file whose name holds '#': the hint names it.
    const std::string hashed = file("run#3.npy", npyFile(dict("<f8", false, "(1,)"), bytesOf<double>({7})));
    const ProcessResult split = echo("npy:" + hashed);
    EXPECT_EQ(split.status, 2);
    EXPECT_TRUE(mentions(split, "exists: a path that holds '#' is written with a '#' at its end")) << split.err;
    EXPECT_EQ(echo("npy:" + hashed + "#").out, "7\n");
}

TEST_F(NpyPoints, EverySubcommandTakesColumnsAndTheStreamedCheckReadsThemInPlace)
{
    // The unit square's corners and its centre, C order and Fortran order.
    const std::vector<double> xs = {0, 1, 0, 1, 0.5}, ys = {0, 0, 1, 1, 0.5};
    std::vector<double> rowMajor, columnMajor = xs;
    for (std::size_t k = 0; k < xs.size(); ++k) rowMajor.insert(rowMajor.end(), {xs[k], ys[k]});
    columnMajor.insert(columnMajor.end(), ys.begin(), ys.end());
    const std::string cPoints = file("cp.npy", npyFile(dict("<f8", false, "(5, 2)"), bytesOf(rowMajor)));
    const std::string fPoints = file("fp.npy", npyFile(dict("<f8", true, "(5, 2)"), bytesOf(columnMajor)));
    const std::string tri = (dir / "tri.npy").string();
    const ProcessResult swept = kyhost({"--out", tri, "sweeptri", "npy:" + cPoints + "#1", "npy:" + cPoints + "#2"});
    ASSERT_EQ(swept.status, 0) << swept.err;
    EXPECT_EQ(kyhost({"sweeptri", "npy:" + fPoints + "#1", "npy:" + fPoints + "#2"}).out,
              kyhost({"sweeptri", "num:0,1,0,1,0.5", "num:0,0,1,1,0.5"}).out);
    for (const std::string& points : {cPoints, fPoints}) {
        const std::string x = "npy:" + points + "#1", y = "npy:" + points + "#2";
        const ProcessResult checked = kyhost({"check", x, y, "npy:" + tri});
        EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
        const ProcessResult streamed = kyhost({"check", x, y, "npy:" + tri, "--memory-limit", "64M"});
        EXPECT_EQ(streamed.status, 0) << streamed.out << streamed.err;
        EXPECT_NE(streamed.out.find("valid: a Delaunay triangulation of the 5 points"), std::string::npos)
            << streamed.out;
        EXPECT_EQ(kyhost({"nearwalk", x, y, "npy:" + tri, "num:0.9", "num:0.1"}).out, "2\n");
        const ProcessResult drawn = kyhost({"draw", x, y, "npy:" + tri, "--out", (dir / "p.svg").string()});
        EXPECT_EQ(drawn.status, 0) << drawn.err;
        const ProcessResult cells = kyhost({"voronoi", x, y, "--out", (dir / "cells.csv").string()});
        EXPECT_EQ(cells.status, 0) << cells.err;
    }
    // The streamed check refuses what it cannot read in place, clearly.
    const ProcessResult outside =
        kyhost({"check", "npy:" + cPoints + "#3", "npy:" + cPoints + "#2", "npy:" + tri, "--memory-limit", "64M"});
    EXPECT_EQ(outside.status, 2);
    EXPECT_TRUE(mentions(outside, "has no column 3")) << outside.err;
    const ProcessResult whole = kyhost({"check", "npy:" + cPoints, "npy:" + cPoints + "#2", "npy:" + tri,
                                        "--memory-limit", "64M"});
    EXPECT_EQ(whole.status, 2);
    EXPECT_TRUE(mentions(whole, "or one column of a matrix chosen as npy:PATH#COLUMN")) << whole.err;
    const ProcessResult triColumn = kyhost({"check", "npy:" + cPoints + "#1", "npy:" + cPoints + "#2",
                                            "npy:" + tri + "#1", "--memory-limit", "64M"});
    EXPECT_EQ(triColumn.status, 2);
    EXPECT_TRUE(mentions(triColumn, "TRI is the whole M-by-3 matrix")) << triColumn.err;
}

TEST_F(PointInputs, DecimalCommasWithSemicolonsOrTabs)
{
    const std::string europe = file("e.csv", "x;y\n1,5;-2,25\n3;1e3\n");
    EXPECT_EQ(echo("csv:" + europe + "#decimal=comma").out, "1.5,-2.25\n3,1000\n");
    EXPECT_EQ(echo("csv:" + europe + "#y,decimal=comma").out, "-2.25\n1000\n");
    EXPECT_EQ(echo("csv:" + file("t.csv", "1,5\t2\n") + "#decimal=comma").out, "1.5,2\n");
    // One column: no separator on the line, and the comma stays a mark.
    EXPECT_EQ(echo("csv:" + file("one.csv", "0,5\n2,5\n") + "#decimal=comma").out, "0.5\n2.5\n");
    EXPECT_EQ(echo("csv:" + europe + "#decimal=point,sep=semicolon").status, 2);  // "1,5" is no number then
    // A '.' would be a thousands mark: refused with line and column.
    const ProcessResult point = echo("csv:" + file("p.csv", "1.234,5;2\n") + "#decimal=comma");
    EXPECT_EQ(point.status, 2);
    EXPECT_TRUE(mentions(point, "p.csv:1: column 1: '1.234,5' is not a number")) << point.err;
    const ProcessResult grouped = echo("csv:" + file("g.csv", "1.234,5;3.456,7\n2;3\n") + "#decimal=comma");
    EXPECT_TRUE(mentions(grouped, "g.csv:1: column 1: '1.234,5' is not a number")) << grouped.err;  // no header
    const ProcessResult plain = echo("csv:" + file("q.csv", "1.5;2\n") + "#decimal=comma");
    EXPECT_TRUE(mentions(plain, "with #decimal=comma: the decimal mark is ','")) << plain.err;
    // Without the option, a decimal comma is named in the refusal.
    const ProcessResult unasked = echo("csv:" + file("u.csv", "1;2\n1,5;2\n"));
    EXPECT_EQ(unasked.status, 2);
    EXPECT_TRUE(mentions(unasked, "end the argument in #decimal=comma")) << unasked.err;
    EXPECT_TRUE(mentions(echo("csv:" + europe + "#decimal=comma,sep=comma"), "cannot separate fields"));
    EXPECT_TRUE(mentions(echo("csv:" + europe + "#decimal=dot"), "unknown decimal mark 'dot'"));
    EXPECT_TRUE(mentions(echo("u8csv:" + europe + "#decimal=comma"), "'decimal=comma' is for csv:"));
}

TEST_F(PointInputs, EmptyCellsAreNanOnlyWhenAsked)
{
    const std::string gaps = file("g.csv", "a,b,c\n1,,3\n,5, \n");
    EXPECT_EQ(echo("csv:" + gaps + "#empty=nan").out, "1,nan,3\nnan,5,nan\n");
    EXPECT_EQ(echo("csv:" + gaps + "#b,empty=nan").out, "nan\n5\n");
    const ProcessResult refused = echo("csv:" + gaps);
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(mentions(refused, "g.csv:2: column 2: empty value; expected a number (to read empty cells as NaN, "
                                  "end the argument in #empty=nan)"))
        << refused.err;
    EXPECT_EQ(echo("csv:" + file("e.csv", "1;;2,5\n") + "#empty=nan,decimal=comma").out, "1,nan,2.5\n");
    EXPECT_TRUE(mentions(echo("csv:" + gaps + "#empty=zero"), "is not empty=nan"));
    EXPECT_TRUE(mentions(echo("u8csv:" + gaps + "#empty=nan"), "'empty=nan' is for csv:"));
    // A non-numeric column stays an error with the option.
    const ProcessResult text = echo("csv:" + file("w.csv", "1,x\n2,\n") + "#2,empty=nan");
    EXPECT_TRUE(mentions(text, "w.csv:1: column 2: 'x' is not a number")) << text.err;
}

TEST_F(PointInputs, MergeDuplicatesKeepsTheFirstPointAtEachPlace)
{
    // Points 5 and 6 repeat points 1 and 4 (-0 is 0's place).
    const std::string x = "num:0,1,0,1,-0,1,0.5", y = "num:0,0,1,1,0,1,0.5";
    const ProcessResult refused = kyhost({"sweeptri", x, y});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(mentions(refused, "pass --merge-duplicates")) << refused.err;
    const ProcessResult merged = kyhost({"sweeptri", x, y, "--merge-duplicates"});
    ASSERT_EQ(merged.status, 0) << merged.err;
    EXPECT_TRUE(mentions(merged, "note: 2 repeated points were left out; the rows name the points as given"))
        << merged.err;
    // The kept points 1, 2, 3, 4, 7 are triangulated alone; their numbers
    // 1..5 become 1, 2, 3, 4, 7.
    std::string expected = kyhost({"sweeptri", "num:0,1,0,1,0.5", "num:0,0,1,1,0.5"}).out;
    for (char& c : expected)
        if (c == '5') c = '7';
    EXPECT_EQ(merged.out, expected);
    EXPECT_EQ(kyhost({"--quiet", "sweeptri", x, y, "--merge-duplicates"}).err, "");
    // Without repeats the flag changes nothing.
    const ProcessResult plain = kyhost({"sweeptri", "num:0,1,0,1,0.5", "num:0,0,1,1,0.5", "--merge-duplicates"});
    const ProcessResult unflagged = kyhost({"sweeptri", "num:0,1,0,1,0.5", "num:0,0,1,1,0.5"});
    EXPECT_EQ(plain.out, unflagged.out);
    EXPECT_EQ(plain.err, unflagged.err);
    const ProcessResult other = kyhost({"nearwalk", x, y, "--merge-duplicates"});
    EXPECT_EQ(other.status, 2);
    EXPECT_TRUE(mentions(other, "--merge-duplicates is an option of sweeptri only")) << other.err;
}

TEST_F(PointInputs, NearwalkSaysAZeroBasedTriIsZeroBased)
{
    const ProcessResult r = kyhost({"nearwalk", "num:0,1,0,1", "num:0,0,1,1", "csv:" + file("t.csv", "0,3,1\n2,3,0\n"),
                                    "num:0.9", "num:0.1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("error: TRI holds index 0, but nearwalk counts TRI's points from 1", 0), 0u) << r.err;
    EXPECT_TRUE(mentions(r, "\nnote: nearwalk's own message: ")) << r.err;
    // A 1-based TRI still works, and other faults keep their own message.
    EXPECT_EQ(kyhost({"nearwalk", "num:0,1,0,1", "num:0,0,1,1", "csv:" + file("u.csv", "1,4,2\n3,4,1\n"), "num:0.9",
                      "num:0.1"}).out,
              "2\n");
    const ProcessResult beyond = kyhost({"nearwalk", "num:0,1,0,1", "num:0,0,1,1",
                                         "csv:" + file("v.csv", "1,4,2\n3,5,1\n"), "num:0.9", "num:0.1"});
    EXPECT_EQ(beyond.status, 1);
    EXPECT_FALSE(mentions(beyond, "TRI holds index 0")) << beyond.err;
}

}  // namespace
