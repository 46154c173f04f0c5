// CSV files as real programs write them: headers, columns chosen by number
// or name, separators, quotes, byte-order marks and line ends; a message
// that names file, line and column for each malformed form; and whole
// numbers printed as digits.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "kyhost_fixture.hpp"

namespace {

using ky::testing::ProcessResult;

using CsvFiles = ky::testing::KyhostTest;

TEST_F(CsvFiles, HeadedAndHeaderlessFilesByColumnNumberAndName)
{
    const std::string headed = file("xy.csv", "x,y\n1,2\n3,4\n");
    EXPECT_EQ(echo("csv:" + headed).out, "1,2\n3,4\n");
    EXPECT_EQ(echo("csv:" + headed + "#x").out, "1\n3\n");  // an M-by-1 column
    EXPECT_EQ(echo("csv:" + headed + "#2").out, "2\n4\n");
    const std::string plain = file("plain.csv", "1,2\n3,4\n");
    EXPECT_EQ(echo("csv:" + plain).out, "1,2\n3,4\n");
    EXPECT_EQ(echo("csv:" + plain + "#2").out, "2\n4\n");

    // Text columns are fine when another column is chosen; an index column
    // with an empty header name (as pandas writes it) too.
    EXPECT_EQ(echo("csv:" + file("named.csv", "name,x\nAl,1.5\nBo,-2\n") + "#x").out, "1.5\n-2\n");
    EXPECT_EQ(echo("csv:" + file("pandas.csv", ",x,y\n0,1.5,2\n1,3,4\n") + "#y").out, "2\n4\n");
    EXPECT_EQ(echo("u8csv:" + file("bytes.csv", "lo,hi\n0,255\n7,8\n") + "#hi").out, "255\n8\n");

    // A header alone is a matrix with no rows.
    const ProcessResult onlyHeader = echo("csv:" + file("header.csv", "x,y\n") + "#y");
    EXPECT_EQ(onlyHeader.status, 0) << onlyHeader.err;
    EXPECT_EQ(onlyHeader.out, "");

    // Names that read as numbers make the line data.
    EXPECT_EQ(echo("csv:" + file("numbers.csv", "1,nan\n2,3\n")).out, "1,nan\n2,3\n");

    // Through a plug-in, the case that started it: two columns of one file.
    const ProcessResult pair = kyhost({KY_PROBE_PLUGIN, "text:echo", "csv:-#y"}, "x,y\n5,6\n");
    EXPECT_EQ(pair.out, "6\n");
}

TEST_F(CsvFiles, SeparatorsQuotesAndLineEndsAsSpreadsheetsWriteThem)
{
    // Byte-order mark, semicolons, CRLF.
    EXPECT_EQ(echo("csv:" + file("excel.csv", "\xEF\xBB\xBFx;y\r\n1;2\r\n3;4\r\n") + "#y").out, "2\n4\n");
    // Lone CR line ends, tabs.
    EXPECT_EQ(echo("csv:" + file("mac.tsv", "1\t2\r3\t4\r")).out, "1,2\n3,4\n");
    // Quoted fields: every field quoted, doubled quotes and separators inside.
    EXPECT_EQ(echo("csv:" + file("all.csv", "\"x\",\"y\"\n\"1\",\"2\"\n")).out, "1,2\n");
    const std::string names = file("names.csv", "\"say \"\"hi\"\"\",\"a,b\",\"two\nlines\"\n1,2,3\n4,5,6\n");
    EXPECT_EQ(echo("csv:" + names + "#say \"hi\"").out, "1\n4\n");
    EXPECT_EQ(echo("csv:" + names + "#3").out, "3\n6\n");
    // A field line end inside quotes does not shift later line numbers.
    const ProcessResult later = echo("csv:" + file("later.csv", "\"a\nb\",c\n1,2\nx,3\n"));
    EXPECT_NE(later.err.find("later.csv:4: column 1: 'x' is not a number"), std::string::npos) << later.err;

    // The separator chosen when the first line holds both ',' and ';'.
    const std::string mixed = file("mixed.csv", "a,b;c\n1,5\n");
    EXPECT_EQ(echo("csv:" + mixed + "#sep=comma,2").out, "5\n");  // "b;c" is the name
    EXPECT_NE(echo("csv:" + mixed + "#sep=semicolon").err.find("mixed.csv:2: expected 2 values as in the header"),
              std::string::npos);

    // '#' in a path: a trailing '#' ends the path.
    const std::string hashed = file("run#3.csv", "7\n");
    EXPECT_EQ(echo("csv:" + hashed + "#").out, "7\n");
    const ProcessResult missed = echo("csv:" + hashed);
    EXPECT_EQ(missed.status, 2);
    EXPECT_NE(missed.err.find("exists: a path that holds '#' is written with a '#' at its end"), std::string::npos)
        << missed.err;

    // sparse: files take the same line ends and separators.
    EXPECT_EQ(echo("sparse:" + file("s.csv", "\xEF\xBB\xBF" "2;2\r1;2;0.5\r")).out, "2,2\n1,2,0.5\n");
}

TEST_F(CsvFiles, MalformedFilesNameFileLineAndColumn)
{
    const struct {
        const char* content;
        const char* selector;
        const char* says;
    } cases[] = {
        {"1,2\n3\n", "", "bad.csv:2: expected 2 values, found 1"},
        {"x;y\n1;2;3\n", "", "bad.csv:2: expected 2 values as in the header, found 3 (the separator ';' was found"},
        {"1,,3\n", "", "bad.csv:1: column 2: empty value; expected a number"},
        {"x\n1\nabc\n", "", "bad.csv:3: column 1: 'abc' is not a number"},
        {"x,1\n2,3\n", "", "bad.csv:1: column 1: 'x' is not a number (a header line must hold only names"},
        {"1,\"2\n3,4\n", "", "bad.csv:1: column 2: the quote opened on this line is never closed"},
        {"1,2\n\"3\"x,4\n", "", "bad.csv:2: column 1: unexpected text after the closing quote"},
        {"1,2;3\n", "", "bad.csv:1: cannot tell the separator: the first line holds both ',' and ';'"},
        {"1\n\n2\n", "", "bad.csv:2: empty line inside the data"},
        {"x,y\n1,2\n", "#z", "bad.csv: no column named 'z'; the header names 'x', 'y'"},
        {"x,y\n1,2\n", "#3", "bad.csv: there is no column 3; columns are numbered 1 to 2"},
        {"x,y\n1,2\n", "#0", "bad.csv: there is no column 0"},
        {"1,2\n", "#x", "bad.csv: no column named 'x': the file has no header line"},
        {"x,x\n1,2\n", "#x", "bad.csv: the header names 'x' twice (columns 1 and 2)"},
        {"x,y\n1,2\n", "#x,y", "choose one column only, not 'x' and 'y'"},
        {"1\n", "#sep=pipe", "unknown separator 'pipe'"},
        {"1\n", "#sep=tab,sep=comma", "choose one separator only, not tab and ','"},
        {"1\n", "#sep=tab,sep=tab", "choose one separator only"},
        {"", "#x", "bad.csv: no column 'x': the file is empty"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = echo("csv:" + file("bad.csv", c.content) + c.selector);
        EXPECT_EQ(r.status, 2) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const ProcessResult sparse = echo("sparse:" + file("bad.csv", "2,2\n1,1,x\n"));
    EXPECT_NE(sparse.err.find("bad.csv:2: column 3: 'x' is not a number"), std::string::npos) << sparse.err;
}

TEST_F(CsvFiles, ControlBytesInValuesAreEscapedInMessages)
{
    const ProcessResult r = echo("csv:" + file("ctl.csv", std::string("1,\"a\x01" "b\r\x1b[31m\"\n")));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("column 2: 'a\\x01b\\r\\x1b[31m' is not a number"), std::string::npos) << r.err;
    for (const char raw : {'\x01', '\r', '\x1b'}) EXPECT_EQ(r.err.find(raw), std::string::npos);
    const ProcessResult argument = echo(std::string("num:1,\x1b[2J"));
    EXPECT_NE(argument.err.find("'\\x1b[2J' is not a number"), std::string::npos) << argument.err;
}

// A file that would otherwise read as nothing, or never end, is an error
// naming the file; a real header-only file is still an empty matrix.
TEST_F(CsvFiles, BlankSeparatedNumbersNulBytesAndEndlessDevicesAreErrors)
{
    const ProcessResult blanks = echo("csv:" + file("b.csv", "0 1 0 1\n"));
    EXPECT_EQ(blanks.status, 2);
    EXPECT_NE(blanks.err.find("b.csv:1: the only line would be a header, but it holds numbers separated by blanks"),
              std::string::npos) << blanks.err;
    EXPECT_NE(blanks.err.find("#sep=space"), std::string::npos);
    const ProcessResult hex = echo("csv:" + file("h.csv", "0x10\n"));
    EXPECT_EQ(hex.status, 2);
    EXPECT_NE(hex.err.find("h.csv:1: the only line would be a header, but '0x10' looks like a hexadecimal number"),
              std::string::npos) << hex.err;
    const ProcessResult names = echo("csv:" + file("names.csv", "x y,z\n"));
    EXPECT_EQ(names.status, 0) << names.err;
    EXPECT_EQ(names.out, "");

    // #sep=space: runs of spaces and tabs separate, blanks at the ends do not.
    const ProcessResult spaced = echo("csv:" + file("s.csv", "  0 1\t 0 \n\"2\"  3 4\t\n") + "#sep=space");
    EXPECT_EQ(spaced.status, 0) << spaced.err;
    EXPECT_EQ(spaced.out, "0,1,0\n2,3,4\n");

    const ProcessResult nul = echo("u8csv:" + file("n.csv", std::string("1,2\n3,4\r\n5,\0\n", 13)));
    EXPECT_EQ(nul.status, 2);
    EXPECT_NE(nul.err.find("n.csv:3: a NUL byte: not a text file"), std::string::npos) << nul.err;

    // Devices that never end are refused at once, not read until memory
    // runs out.
    for (const char* kind : {"csv:", "u8csv:", "sparse:", "npy:", "u8:"}) {
        const ProcessResult zero = echo(std::string(kind) + "/dev/zero");
        EXPECT_EQ(zero.status, 2) << kind;
        EXPECT_NE(zero.err.find("dev/zero"), std::string::npos) << kind << zero.err;
    }
    EXPECT_NE(echo("npy:/dev/zero").err.find("is not a valid .npy file: wrong magic string"), std::string::npos);
}

TEST_F(CsvFiles, WholeNumbersPrintAsDigits)
{
    const char* const values = "num:100000,-3,1e15,9007199254740991,9007199254740992,-0,0.5,1e300,-2.5e-310,nan";
    const char* const printed = "100000,-3,1000000000000000,9007199254740991,9007199254740992,-0,0.5,1e+300,-2.5e-310,nan\n";
    EXPECT_EQ(echo(values).out, printed);
    const std::string saved = (dir / "out.csv").string();
    EXPECT_EQ(kyhost({KY_PROBE_PLUGIN, "--out", saved, "text:echo", values}).status, 0);
    // A row vector goes into a file one value per line, and reads back as a column.
    std::string column = printed;
    std::replace(column.begin(), column.end(), ',', '\n');
    EXPECT_EQ(echo("csv:" + saved).out, column);
    EXPECT_EQ(echo("num:1e16,123456789012").out, "1e+16,123456789012\n");  // 2^53 and up: shortest form
    EXPECT_EQ(echo("sparse:" + file("s.csv", "200000,1\n150000,1,250000\n")).out, "200000,1\n150000,1,250000\n");
}

}  // namespace
