#include "data_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "call_context.hpp"
#include "csv_records.hpp"
#include "message_text.hpp"
#include "number_text.hpp"
#include "usage_error.hpp"

namespace ky {

namespace {

std::string displayName(const std::string& path) { return path == "-" ? "<stdin>" : escapeControls(path); }

// The line (1-based) on which offset lies, counting line ends as CSV does:
// "\r\n", "\n" or a lone "\r".
std::size_t lineAt(std::string_view text, std::size_t offset)
{
    std::size_t line = 1;
    for (std::size_t k = 0; k < offset; ++k)
        if (text[k] == '\n' || (text[k] == '\r' && (k + 1 >= text.size() || text[k + 1] != '\n'))) ++line;
    return line;
}

// When PATH#SELECTOR was split but the whole value names a file, the user
// most likely meant that file.
std::string hashHint(const TableSource& source)
{
    if (source.value == source.path) return {};
    std::error_code error;
    if (!std::filesystem::exists(source.value, error)) return {};
    return " (" + inQuotes(source.value) + " exists: a path that holds '#' is written with a '#' at its end)";
}

std::string readSource(const TableSource& source)
{
    try {
        return readTextFile(source.path);
    } catch (const UsageError& error) {
        throw UsageError(error.what() + hashHint(source));
    }
}

// A field that a header may hold: text that is not a number (in either
// decimal mark, so that "1.5" in a file of decimal commas is refused as a
// number instead of making its line a header).
bool isName(std::string_view field, bool decimalComma)
{
    if (field.empty() || parseDouble(field) || parseReal(field, decimalComma)) return false;
    // With decimal commas, "1.234,5" (thousands grouped) is a number that
    // is refused, not a name.
    if (decimalComma && field.find_first_of("0123456789") != std::string_view::npos &&
        field.find_first_not_of("0123456789.,+-eE") == std::string_view::npos)
        return false;
    return true;
}

// True when the fields, split at blanks, are all numbers: a line such as
// "0 1 0 1" that the default separators leave as one field that is not a
// number.
bool readsAsBlankSeparatedNumbers(const std::vector<std::string>& fields)
{
    bool any = false;
    for (const std::string& field : fields) {
        std::size_t k = 0;
        while (k < field.size()) {
            while (k < field.size() && (field[k] == ' ' || field[k] == '\t')) ++k;
            const std::size_t start = k;
            while (k < field.size() && field[k] != ' ' && field[k] != '\t') ++k;
            if (k == start) break;
            if (!parseDouble(std::string_view(field).substr(start, k - start))) return false;
            any = true;
        }
    }
    return any;
}

// "0x10", "-0X1p3": the C library would read it as a number; kyhost reads
// decimal numbers only, so such a line is no header of names.
bool looksHexadecimal(std::string_view field)
{
    field = trimBlanks(field);
    if (!field.empty() && (field.front() == '+' || field.front() == '-')) field.remove_prefix(1);
    if (field.size() < 3 || field[0] != '0' || (field[1] != 'x' && field[1] != 'X')) return false;
    const std::string text(field);
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

struct Table {
    std::int32_t rows = 0;
    std::int32_t cols = 0;
    std::vector<double> rowMajor;
};

// The column a selector names, 0-based, or an error.
std::size_t selectColumn(const CsvRecords& records, const TableSource& source,
                         const std::vector<std::string>& header, std::size_t width)
{
    const std::string& column = source.column;
    if (std::all_of(column.begin(), column.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const auto number = parseCount(column, INT32_MAX);
        if (!number || *number < 1 || static_cast<std::size_t>(*number) > width)
            throw UsageError(records.name() + ": there is no column " + column + "; columns are numbered 1 to " +
                             std::to_string(width));
        return static_cast<std::size_t>(*number - 1);
    }
    if (header.empty())
        throw UsageError(records.name() + ": no column named " + inQuotes(column) +
                         ": the file has no header line (a first line made only of names), so choose "
                         "the column by number, 1 to " + std::to_string(width) + hashHint(source));
    std::optional<std::size_t> found;
    for (std::size_t j = 0; j < header.size(); ++j) {
        if (header[j] != column) continue;
        if (found)
            throw UsageError(records.name() + ": the header names " + inQuotes(column) + " twice (columns " +
                             std::to_string(*found + 1) + " and " + std::to_string(j + 1) +
                             "); choose the column by number");
        found = j;
    }
    if (!found) {
        std::string names;
        for (const std::string& name : header)
            if (!name.empty()) names += (names.empty() ? "" : ", ") + inQuotes(name);
        throw UsageError(records.name() + ": no column named " + inQuotes(column) + "; the header names " + names +
                         hashHint(source));
    }
    return *found;
}

// Rows of numbers, each field converted by convert(field) -> optional<double>.
template <typename Convert>
Table readTable(const TableSource& source, TableKind kind, const Convert& convert, const char* expected)
{
    CsvRecords records(readSource(source), displayName(source.path), source.separator, source.decimalComma);
    Table table;
    if (!records.next()) {
        if (!source.column.empty()) throw UsageError(records.name() + ": no column " + inQuotes(source.column) +
                                                     ": the file is empty");
        return table;
    }
    const std::size_t width = records.fields().size();
    std::vector<std::string> header;
    bool hasName = false, onlyNamesOrEmpty = true;
    for (std::size_t j = 0; j < width; ++j) {
        const std::string_view field = records.fields()[j];
        if (isName(field, source.decimalComma))
            hasName = true;
        else if (!field.empty())
            onlyNamesOrEmpty = false;
    }
    const bool headed = hasName && onlyNamesOrEmpty;
    if (headed) header.assign(records.fields().begin(), records.fields().end());
    const bool whole = source.column.empty();
    const std::size_t selected = whole ? 0 : selectColumn(records, source, header, width);

    bool haveRecord = headed ? records.next() : true;
    if (headed && !haveRecord)
        for (const std::string& name : header)
            if (looksHexadecimal(name))
                records.failAt(1, 0,
                               "the only line would be a header, but " + inQuotes(name) +
                                   " looks like a hexadecimal number, which is not read; write numbers in decimal");
    if (headed && !haveRecord && readsAsBlankSeparatedNumbers(header))
        records.failAt(1, 0,
                       "the only line would be a header, but it holds numbers separated by blanks; to read them "
                       "as numbers, end the argument in #sep=space or separate them by commas");
    const std::size_t perRow = whole ? width : 1;
    std::size_t rows = 0;
    for (; haveRecord; haveRecord = records.next()) {
        const auto& fields = records.fields();
        if (fields.size() != width) {
            std::string what = "expected " + std::to_string(width) + (width == 1 ? " value" : " values") +
                               (headed ? " as in the header" : "") + ", found " + std::to_string(fields.size());
            if (records.separatorWasFound())
                what += " (the separator " + separatorName(records.separator()) +
                        " was found on the first line; choose another with #sep=comma, #sep=semicolon, "
                        "#sep=tab or #sep=space)";
            records.fail(0, what);
        }
        for (std::size_t j = whole ? 0 : selected; j < (whole ? width : selected + 1); ++j) {
            if (fields[j].empty() && source.emptyIsNan) {
                table.rowMajor.push_back(std::numeric_limits<double>::quiet_NaN());
                continue;
            }
            const std::optional<double> value = convert(fields[j]);
            if (!value) {
                if (fields[j].empty())
                    records.fail(j + 1, "empty value; expected " + std::string(expected) +
                                            (source.separator == ' ' || kind != TableKind::Real
                                                 ? ""
                                                 : " (to read empty cells as NaN, end the argument in #empty=nan)"));
                std::string what = inQuotes(fields[j]) + " is not " + expected;
                if (source.decimalComma && fields[j].find('.') != std::string_view::npos && parseDouble(fields[j]))
                    what += " with #decimal=comma: the decimal mark is ',' (1,5), and a '.' (which such files "
                            "write only to group thousands) is not read";
                else if (!source.decimalComma && kind == TableKind::Real && parseReal(fields[j], true))
                    what += " (for a decimal comma, as in 1,5, end the argument in #decimal=comma)";
                if (rows == 0 && !headed && hasName)
                    what += " (a header line must hold only names; a name that reads as a number, such as 1 "
                            "or nan, makes the line data)";
                records.fail(j + 1, what);
            }
            table.rowMajor.push_back(*value);
        }
        ++rows;
        if (table.rowMajor.size() > static_cast<std::size_t>(maxElements)) records.fail(0, "too many values");
    }
    table.rows = static_cast<std::int32_t>(rows);
    table.cols = static_cast<std::int32_t>(perRow);
    return table;
}

}  // namespace

std::optional<double> parseReal(std::string_view field, bool decimalComma)
{
    if (!decimalComma) return parseDouble(field);
    if (field.find('.') != std::string_view::npos) return std::nullopt;
    std::string text(field);
    std::replace(text.begin(), text.end(), ',', '.');
    return parseDouble(text);
}

TableSource parseTableSource(const std::string& value, TableKind kind)
{
    TableSource source;
    source.value = value;
    const std::size_t hash = value.rfind('#');
    source.path = value.substr(0, hash);
    if (hash == std::string::npos) return source;
    bool decimalGiven = false;
    std::string_view selector = std::string_view(value).substr(hash + 1);
    while (!selector.empty()) {
        const std::size_t comma = selector.find(',');
        const std::string_view item = trimBlanks(selector.substr(0, comma));
        selector = comma == std::string_view::npos ? std::string_view() : selector.substr(comma + 1);
        if (item.empty()) continue;
        if (item.starts_with("sep=")) {
            const std::string_view name = item.substr(4);
            const char separator = name == "comma"       ? ','
                                   : name == "semicolon" ? ';'
                                   : name == "tab"       ? '\t'
                                   : name == "space"     ? ' '
                                                         : 0;
            if (separator == 0)
                throw UsageError(inQuotes(value) + ": unknown separator " + inQuotes(name) +
                                 " (sep=comma, sep=semicolon, sep=tab or sep=space)");
            if (source.separator != 0)
                throw UsageError(inQuotes(value) + ": choose one separator only, not " +
                                 separatorName(source.separator) + " and " + separatorName(separator));
            source.separator = separator;
        } else if (kind == TableKind::Real && item.starts_with("decimal=")) {
            const std::string_view mark = item.substr(8);
            if (mark != "comma" && mark != "point")
                throw UsageError(inQuotes(value) + ": unknown decimal mark " + inQuotes(mark) +
                                 " (decimal=comma or decimal=point)");
            if (decimalGiven) throw UsageError(inQuotes(value) + ": give decimal= once");
            decimalGiven = true;
            source.decimalComma = mark == "comma";
        } else if (kind == TableKind::Real && item.starts_with("empty=")) {
            if (item.substr(6) != "nan")
                throw UsageError(inQuotes(value) + ": " + inQuotes(item) +
                                 " is not empty=nan, the one reading of empty cells there is (without it, an "
                                 "empty cell is an error)");
            source.emptyIsNan = true;
        } else if (kind == TableKind::Sparse) {
            throw UsageError(inQuotes(value) + ": " + inQuotes(item) +
                             " is not sep=comma, sep=semicolon, sep=tab or sep=space (a path that holds '#' is "
                             "written with "
                             "a '#' at its end)");
        } else if (kind == TableKind::Bytes && (item.starts_with("decimal=") || item.starts_with("empty="))) {
            throw UsageError(inQuotes(value) + ": " + inQuotes(item) +
                             " is for csv:; u8csv: reads whole numbers 0 to 255, and no empty cells");
        } else if (!source.column.empty()) {
            throw UsageError(inQuotes(value) + ": choose one column only, not " + inQuotes(source.column) + " and " +
                             inQuotes(item));
        } else {
            source.column = std::string(item);
        }
    }
    if (source.decimalComma && source.separator == ',')
        throw UsageError(inQuotes(value) + ": with decimal=comma, ',' is the decimal mark and cannot separate fields; "
                         "such files separate them by ';' (the default then), or choose sep=tab or sep=space");
    return source;
}

FileReader::FileReader(const std::string& path) : name_(path == "-" ? "standard input" : inQuotes(path))
{
    if (path == "-") {
        static bool used = false;
        if (used) throw UsageError("standard input can be read by only one argument");
        used = true;
        fd_ = STDIN_FILENO;
        ownsDescriptor_ = false;
    } else {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) throw UsageError("cannot open " + name_ + ": " + std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) fail(std::strerror(errno));
    if (S_ISDIR(info.st_mode)) fail("it is a directory");
    device_ = S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode);
    if (S_ISREG(info.st_mode)) {
        // Standard input may already stand part-way into its file.
        const off_t at = ::lseek(fd_, 0, SEEK_CUR);
        regularSize_ = static_cast<std::size_t>(info.st_size - std::clamp<off_t>(at, 0, info.st_size));
    }
}

FileReader::~FileReader()
{
    if (ownsDescriptor_ && fd_ >= 0) ::close(fd_);
}

void FileReader::fail(const std::string& what) const
{
    throw UsageError("cannot read " + name_ + ": " + what);
}

bool FileReader::fill(std::size_t total)
{
    if (bytes_.size() >= total) return true;
    // Room for the whole of a regular file at once; otherwise growing
    // geometrically, never past what was asked for.
    std::size_t used = bytes_.size();
    std::size_t room = std::max<std::size_t>(used * 2, 1 << 16);
    if (regularSize_) room = std::max(room, *regularSize_ + 1);
    bytes_.resize(std::min(room, total));
    while (used < total) {
        if (used == bytes_.size()) bytes_.resize(std::min(std::max<std::size_t>(used * 2, 1 << 16), total));
        const ssize_t got = ::read(fd_, bytes_.data() + used, bytes_.size() - used);
        if (got < 0) {
            if (errno == EINTR) continue;
            bytes_.resize(used);
            fail(std::strerror(errno));
        }
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
    }
    bytes_.resize(used);
    return used >= total;
}

std::string FileReader::take()
{
    if (ownsDescriptor_) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) fail(std::strerror(errno));
    }
    return std::move(bytes_);
}

std::string readWholeFile(const std::string& path)
{
    FileReader reader(path);
    reader.fill(SIZE_MAX);
    return reader.take();
}

std::string readTextFile(const std::string& path)
{
    FileReader reader(path);
    std::size_t checked = 0;
    bool more = true;
    while (more) {
        more = reader.fill(std::max({reader.bytes().size() * 2, std::size_t{1} << 16,
                                     reader.regularSize().value_or(0) + 1}));
        const std::string& bytes = reader.bytes();
        const void* nul = std::memchr(bytes.data() + checked, '\0', bytes.size() - checked);
        if (nul != nullptr) {
            const auto at = static_cast<std::size_t>(static_cast<const char*>(nul) - bytes.data());
            throw UsageError(displayName(path) + ":" + std::to_string(lineAt(bytes, at)) +
                             ": a NUL byte: not a text file (binary, or text in UTF-16; save it as UTF-8)");
        }
        checked = bytes.size();
    }
    return reader.take();
}

ArrayHandle readCsvMatrix(const std::string& value)
{
    const TableSource source = parseTableSource(value, TableKind::Real);
    const auto real = [&source](std::string_view field) { return parseReal(field, source.decimalComma); };
    const Table table = readTable(source, TableKind::Real, real, "a number");
    ArrayHandle array(createDouble(table.rows, table.cols));
    auto* values = static_cast<double*>(array->data);
    const std::size_t m = static_cast<std::size_t>(table.rows), n = static_cast<std::size_t>(table.cols);
    for (std::size_t i = 0; i < m; ++i)
        for (std::size_t j = 0; j < n; ++j) values[i + j * m] = table.rowMajor[i * n + j];
    return array;
}

ArrayHandle readUint8CsvMatrix(const std::string& value)
{
    const auto byte = [](std::string_view field) -> std::optional<double> {
        const auto parsed = parseCount(field, 255);
        if (!parsed) return std::nullopt;
        return static_cast<double>(*parsed);
    };
    const Table table = readTable(parseTableSource(value, TableKind::Bytes), TableKind::Bytes, byte, "a whole number from 0 to 255");
    ArrayHandle array(createUint8(table.rows, table.cols));
    auto* bytes = static_cast<unsigned char*>(array->data);
    const std::size_t m = static_cast<std::size_t>(table.rows), n = static_cast<std::size_t>(table.cols);
    for (std::size_t i = 0; i < m; ++i)
        for (std::size_t j = 0; j < n; ++j) bytes[i + j * m] = static_cast<unsigned char>(table.rowMajor[i * n + j]);
    return array;
}

ArrayHandle readSparseCsv(const std::string& value)
{
    const TableSource source = parseTableSource(value, TableKind::Sparse);
    CsvRecords records(readSource(source), displayName(source.path), source.separator);
    if (!records.next()) records.failAt(1, 0, "missing the first line \"M,N\"");
    std::optional<long long> m, n;
    if (records.fields().size() == 2) {
        m = parseCount(records.fields()[0], INT32_MAX);
        n = parseCount(records.fields()[1], INT32_MAX);
    }
    if (!m || !n) records.fail(0, "the first line must be \"M,N\" with two whole numbers");

    struct Entry {
        std::int32_t row, col;
        double value;
    };
    std::vector<Entry> entries;
    bool columnsAscend = true;
    while (records.next()) {
        const auto& fields = records.fields();
        if (fields.size() != 2 && fields.size() != 3) records.fail(0, "expected \"i,j\" or \"i,j,v\"");
        const auto row = parseCount(fields[0], *m);
        const auto col = parseCount(fields[1], *n);
        if (!row || *row < 1 || !col || *col < 1)
            records.fail(0, "index (" + escapeControls(fields[0]) + "," + escapeControls(fields[1]) +
                                ") is outside the " + std::to_string(*m) + "-by-" + std::to_string(*n) + " matrix");
        double entryValue = 1.0;
        if (fields.size() == 3) {
            const auto parsed = parseDouble(fields[2]);
            if (!parsed) records.fail(3, inQuotes(fields[2]) + " is not a number");
            entryValue = *parsed;
        }
        if (entries.size() >= static_cast<std::size_t>(INT32_MAX)) records.fail(0, "too many entries");
        const auto column = static_cast<std::int32_t>(*col - 1);
        if (!entries.empty() && column < entries.back().col) columnsAscend = false;
        entries.push_back({static_cast<std::int32_t>(*row - 1), column, entryValue});
    }
    // Column by column, each column in the order of the file.
    if (!columnsAscend)
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return a.col < b.col; });

    ArrayHandle array;
    try {
        array.reset(createSparse(static_cast<std::int32_t>(*m), static_cast<std::int32_t>(*n), entries.size()));
    } catch (const CallError&) {
        throw UsageError(records.name() + ": out of memory for the " + std::to_string(*m) + "-by-" +
                         std::to_string(*n) + " sparse matrix with " + std::to_string(entries.size()) +
                         " entries (its column starts alone take " +
                         std::to_string((static_cast<unsigned long long>(*n) + 1) * 4) + " bytes)");
    }
    // Column starts: jc[j] counts the entries in columns before j. The
    // storage comes zeroed, so columns up to the first entry need no write.
    std::int32_t* jc = array->jc;
    auto* values = static_cast<double*>(array->data);
    std::size_t nextStart = 1;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const auto col = static_cast<std::size_t>(entries[k].col);
        while (nextStart <= col) jc[nextStart++] = static_cast<std::int32_t>(k);
        array->ir[k] = entries[k].row;
        values[k] = entries[k].value;
    }
    if (!entries.empty())
        while (nextStart <= static_cast<std::size_t>(*n)) jc[nextStart++] = static_cast<std::int32_t>(entries.size());
    return array;
}

ArrayHandle readBytes(const std::string& path)
{
    // A device may never end (/dev/zero, /dev/urandom): only files and
    // pipes are read, and no more than one byte past the largest array.
    FileReader reader(path);
    if (reader.isDevice())
        throw UsageError("cannot read " + inQuotes(path) + ": it is a device; u8: reads files and pipes");
    // A regular file's size already tells whether it fits: it is refused
    // before a byte of it is read.
    const auto limit = static_cast<std::size_t>(maxElements);
    if (const std::optional<std::size_t> size = reader.regularSize(); size && *size > limit)
        throw UsageError(inQuotes(path) + " is too large: " + std::to_string(*size) + " bytes, and a uint8 array holds at most " +
                         std::to_string(limit));
    if (reader.fill(limit + 1)) throw UsageError(inQuotes(path) + " is too large");
    const std::string content = reader.take();
    ArrayHandle array(createUint8(1, static_cast<std::int32_t>(content.size())));
    std::copy(content.begin(), content.end(), static_cast<char*>(array->data));
    return array;
}

}  // namespace ky
