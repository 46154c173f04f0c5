// Reading the data files that kyhost arguments name.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "host_array.hpp"

namespace ky {

// Reads a file, or standard input for "-" (which only one argument may
// read), in steps, as far as asked: what a file holds beyond that is never
// read. Throws UsageError naming the file when it cannot be opened or read
// (a directory, a read error part way through).
class FileReader {
public:
    explicit FileReader(const std::string& path);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Reads until bytes() holds total bytes or the file ends; true when it
    // holds total.
    bool fill(std::size_t total);
    const std::string& bytes() const { return bytes_; }
    // A character or block device (which may never end).
    bool isDevice() const { return device_; }
    // What a regular file holds from where reading starts (its size, but
    // for standard input already part-way into its file), as it was when
    // opened.
    std::optional<std::size_t> regularSize() const { return regularSize_; }
    // Closes the file (checked) and hands over what was read.
    std::string take();
    [[noreturn]] void fail(const std::string& what) const;

private:
    std::string name_;
    int fd_ = -1;
    bool ownsDescriptor_ = true;
    bool device_ = false;
    std::optional<std::size_t> regularSize_;
    std::string bytes_;
};

// The whole file.
std::string readWholeFile(const std::string& path);

// The whole of a text file. A NUL byte, which no text (in UTF-8 or a
// single-byte encoding) holds, ends the reading at once with an error
// naming the file and line: binary files and endless devices such as
// /dev/zero are not read to their end.
std::string readTextFile(const std::string& path);

// The CSV kinds take PATH[#SELECTOR]: the text after the last '#' in the
// value selects, as a comma-separated list, a column (csv: and u8csv:
// only; its 1-based number or its header name), the separator
// (sep=comma, sep=semicolon, sep=tab or sep=space), and for csv: only the
// decimal mark (decimal=comma or decimal=point) and what an empty cell
// reads as (empty=nan; by default an empty cell is an error). A path that
// holds '#' is written with a '#' at its end. PATH "-" is standard input.
//
// With decimal=comma, ',' is the decimal mark and never separates fields:
// the separator is ';', or a tab when the first line holds a tab and no
// ';' (or as sep= chooses, except comma); a number that holds '.' is
// refused, since such files write '.' only to group thousands.
enum class TableKind { Real, Bytes, Sparse };
struct TableSource {
    std::string path;
    std::string column;  // empty: the whole matrix
    char separator = 0;  // 0: found on the first line
    bool decimalComma = false;
    bool emptyIsNan = false;
    std::string value;   // the argument's value as written
};
TableSource parseTableSource(const std::string& value, TableKind kind);

// A field as a number of a file with this decimal mark: with a decimal
// comma, "1,5" is 1.5 and "1.5" is nothing.
std::optional<double> parseReal(std::string_view field, bool decimalComma);

// Real matrix from CSV: one row per line, every line the same length,
// numbers with inf, -inf and nan accepted (empty cells as nan when the
// selector says empty=nan). A first line made only of names is a header.
// With a column selected, that column as an M-by-1 matrix (other columns
// may hold text). An empty file is 0-by-0. Throws UsageError naming file
// and line.
ArrayHandle readCsvMatrix(const std::string& value);

// uint8 matrix from a CSV of whole numbers 0 to 255, same rules.
ArrayHandle readUint8CsvMatrix(const std::string& value);

// Sparse matrix from a CSV whose first line is "M,N" and each further line
// "i,j" or "i,j,v" (1-based, v defaults to 1). Within each column entries
// keep the order of the file, repeats included. Memory follows the
// entries, beyond the N+1 column starts of the result.
ArrayHandle readSparseCsv(const std::string& value);

// 1-by-N uint8 array holding the bytes of a file or pipe. Devices (which
// may never end) are refused, and reading stops one byte past the largest
// array.
ArrayHandle readBytes(const std::string& path);

}  // namespace ky
