#include "data_files.hpp"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string_view>
#include <vector>

#include "number_text.hpp"
#include "usage_error.hpp"

namespace ky {

namespace {

std::string displayName(const std::string& path) { return path == "-" ? "<stdin>" : path; }

[[noreturn]] void fail(const std::string& path, std::size_t line, const std::string& what)
{
    throw UsageError(displayName(path) + ":" + std::to_string(line) + ": " + what);
}

// The file's lines, without line terminators ("\n" or "\r\n"). Trailing
// empty lines are dropped, so that a final newline is not a row.
std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    while (!lines.empty() && trimBlanks(lines.back()).empty()) lines.pop_back();
    return lines;
}

std::vector<std::string_view> splitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) return fields;
        start = comma + 1;
    }
}

// Rows of numbers, each converted by convert(field) -> optional<double>;
// the result is column-major.
template <typename Convert>
std::vector<double> readNumberRows(const std::string& path, const Convert& convert, const char* expected,
                                   std::int32_t& rows, std::int32_t& cols)
{
    const std::string text = readWholeFile(path);
    const std::vector<std::string_view> lines = splitLines(text);
    rows = 0;
    cols = 0;
    if (lines.empty()) return {};
    std::vector<double> rowMajor;
    std::size_t width = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (trimBlanks(lines[i]).empty()) fail(path, i + 1, "empty line inside the data");
        const std::vector<std::string_view> fields = splitFields(lines[i]);
        if (i == 0) width = fields.size();
        if (fields.size() != width)
            fail(path, i + 1, "expected " + std::to_string(width) + " values, found " + std::to_string(fields.size()));
        for (std::size_t j = 0; j < fields.size(); ++j) {
            const std::optional<double> value = convert(fields[j]);
            if (!value)
                fail(path, i + 1,
                     "value " + std::to_string(j + 1) + " '" + std::string(trimBlanks(fields[j])) + "' is not " +
                         expected);
            rowMajor.push_back(*value);
        }
        if (rowMajor.size() > static_cast<std::size_t>(maxElements)) fail(path, i + 1, "too many values");
    }
    rows = static_cast<std::int32_t>(lines.size());
    cols = static_cast<std::int32_t>(width);
    std::vector<double> columnMajor(rowMajor.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        for (std::size_t j = 0; j < width; ++j) columnMajor[i + j * lines.size()] = rowMajor[i * width + j];
    return columnMajor;
}

}  // namespace

std::string readWholeFile(const std::string& path)
{
    if (path == "-") {
        static bool used = false;
        if (used) throw UsageError("standard input can be read by only one argument");
        used = true;
        return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) throw UsageError("cannot open '" + path + "'");
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad()) throw UsageError("cannot read '" + path + "'");
    return std::move(content).str();
}

ArrayHandle readCsvMatrix(const std::string& path)
{
    std::int32_t rows = 0, cols = 0;
    const std::vector<double> values = readNumberRows(path, parseDouble, "a number", rows, cols);
    ArrayHandle array(createDouble(rows, cols));
    std::copy(values.begin(), values.end(), static_cast<double*>(array->data));
    return array;
}

ArrayHandle readUint8CsvMatrix(const std::string& path)
{
    const auto byte = [](std::string_view field) -> std::optional<double> {
        const auto value = parseCount(field, 255);
        if (!value) return std::nullopt;
        return static_cast<double>(*value);
    };
    std::int32_t rows = 0, cols = 0;
    const std::vector<double> values = readNumberRows(path, byte, "a whole number from 0 to 255", rows, cols);
    ArrayHandle array(createUint8(rows, cols));
    auto* bytes = static_cast<unsigned char*>(array->data);
    for (std::size_t k = 0; k < values.size(); ++k) bytes[k] = static_cast<unsigned char>(values[k]);
    return array;
}

ArrayHandle readSparseCsv(const std::string& path)
{
    const std::string text = readWholeFile(path);
    const std::vector<std::string_view> lines = splitLines(text);
    if (lines.empty()) fail(path, 1, "missing the first line \"M,N\"");
    const std::vector<std::string_view> size = splitFields(lines[0]);
    std::optional<long long> m, n;
    if (size.size() == 2) {
        m = parseCount(size[0], INT32_MAX);
        n = parseCount(size[1], INT32_MAX);
    }
    if (!m || !n) fail(path, 1, "the first line must be \"M,N\" with two whole numbers");

    struct Entry {
        std::int32_t row, col;
        double value;
    };
    std::vector<Entry> entries;
    std::vector<std::int32_t> perColumn(static_cast<std::size_t>(*n) + 1, 0);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (trimBlanks(lines[i]).empty()) fail(path, i + 1, "empty line inside the data");
        const std::vector<std::string_view> fields = splitFields(lines[i]);
        if (fields.size() != 2 && fields.size() != 3) fail(path, i + 1, "expected \"i,j\" or \"i,j,v\"");
        const auto row = parseCount(fields[0], *m);
        const auto col = parseCount(fields[1], *n);
        if (!row || *row < 1 || !col || *col < 1)
            fail(path, i + 1,
                 "index (" + std::string(trimBlanks(fields[0])) + "," + std::string(trimBlanks(fields[1])) +
                     ") is outside the " + std::to_string(*m) + "-by-" + std::to_string(*n) + " matrix");
        double value = 1.0;
        if (fields.size() == 3) {
            const auto parsed = parseDouble(fields[2]);
            if (!parsed) fail(path, i + 1, "value '" + std::string(trimBlanks(fields[2])) + "' is not a number");
            value = *parsed;
        }
        if (entries.size() >= static_cast<std::size_t>(INT32_MAX)) fail(path, i + 1, "too many entries");
        entries.push_back({static_cast<std::int32_t>(*row - 1), static_cast<std::int32_t>(*col - 1), value});
        ++perColumn[static_cast<std::size_t>(*col)];
    }
    ArrayHandle array(createSparse(static_cast<std::int32_t>(*m), static_cast<std::int32_t>(*n), entries.size()));
    for (std::size_t j = 1; j < perColumn.size(); ++j) perColumn[j] += perColumn[j - 1];
    std::copy(perColumn.begin(), perColumn.end(), array->jc);
    std::vector<std::int32_t> next(perColumn.begin(), perColumn.end() - 1);
    auto* values = static_cast<double*>(array->data);
    for (const Entry& entry : entries) {
        const std::int32_t at = next[static_cast<std::size_t>(entry.col)]++;
        array->ir[at] = entry.row;
        values[at] = entry.value;
    }
    return array;
}

ArrayHandle readBytes(const std::string& path)
{
    const std::string content = readWholeFile(path);
    if (content.size() > static_cast<std::size_t>(maxElements)) throw UsageError("'" + path + "' is too large");
    ArrayHandle array(createUint8(1, static_cast<std::int32_t>(content.size())));
    std::copy(content.begin(), content.end(), static_cast<char*>(array->data));
    return array;
}

}  // namespace ky
