#include "npy_format.hpp"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "data_files.hpp"
#include "message_text.hpp"
#include "npy_element_types.hpp"
#include "npy_source.hpp"
#include "number_text.hpp"
#include "usage_error.hpp"

namespace ky {

namespace {

constexpr std::string_view magic("\x93NUMPY", 6);

// NumPy writes headers of a few hundred bytes; a longer one is refused
// before it is read.
constexpr std::size_t maxHeaderLength = 1 << 20;

struct Header {
    std::string descr;
    bool fortranOrder = false;
    std::vector<long long> shape;
};

[[noreturn]] void malformed(const std::string& path, const std::string& what)
{
    throw UsageError(inQuotes(path) + " is not a valid .npy file: " + what);
}

// The text after "'key':" in the header dictionary, blanks skipped. A key
// given twice is refused: which one counts would be a guess.
std::optional<std::string_view> valueOf(const std::string& path, std::string_view dict, std::string_view key)
{
    int times = 0;
    for (const char quote : {'\'', '"'}) {
        const std::string quoted = std::string(1, quote) + std::string(key) + quote;
        for (std::size_t at = dict.find(quoted); at != std::string_view::npos; at = dict.find(quoted, at + 1)) ++times;
    }
    if (times > 1) malformed(path, "'" + std::string(key) + "' appears " + std::to_string(times) + " times in the header");
    for (const char quote : {'\'', '"'}) {
        const std::string quoted = std::string(1, quote) + std::string(key) + quote;
        std::size_t at = dict.find(quoted);
        if (at == std::string_view::npos) continue;
        at = dict.find(':', at + quoted.size());
        if (at == std::string_view::npos) return std::nullopt;
        std::string_view rest = dict.substr(at + 1);
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        return rest;
    }
    return std::nullopt;
}

Header parseHeader(const std::string& path, std::string_view dict)
{
    // NumPy reads the header as Python source, which holds no NUL byte; a
    // NUL would also end the text early for any C string reader.
    if (const std::size_t nul = dict.find('\0'); nul != std::string_view::npos)
        malformed(path, "the header holds a NUL byte (byte " + std::to_string(nul + 1) + " of the header)");
    Header header;
    const auto descr = valueOf(path, dict, "descr");
    if (!descr || descr->empty() || (descr->front() != '\'' && descr->front() != '"'))
        malformed(path, "no 'descr' string in the header");
    const std::size_t close = descr->find(descr->front(), 1);
    if (close == std::string_view::npos) malformed(path, "unterminated 'descr'");
    header.descr = std::string(descr->substr(1, close - 1));

    const auto order = valueOf(path, dict, "fortran_order");
    if (!order) malformed(path, "no 'fortran_order' in the header");
    // Exactly True or False, ended by the next item or the dictionary's end.
    const auto isWord = [&](std::string_view word) {
        if (!order->starts_with(word)) return false;
        const std::string_view rest = trimBlanks(order->substr(word.size()));
        return rest.empty() || rest.front() == ',' || rest.front() == '}';
    };
    if (isWord("True"))
        header.fortranOrder = true;
    else if (!isWord("False"))
        malformed(path, "'fortran_order' is neither True nor False");

    const auto shape = valueOf(path, dict, "shape");
    if (!shape || shape->empty() || shape->front() != '(') malformed(path, "no 'shape' tuple in the header");
    const std::size_t end = shape->find(')');
    if (end == std::string_view::npos) malformed(path, "unterminated 'shape'");
    std::string_view items = shape->substr(1, end - 1);
    while (!trimBlanks(items).empty()) {
        const std::size_t comma = items.find(',');
        const std::string_view item = items.substr(0, comma);
        const auto size = parseCount(item, INT32_MAX);
        if (!size) malformed(path, "'shape' holds " + inQuotes(trimBlanks(item)));
        header.shape.push_back(*size);
        if (comma == std::string_view::npos) break;
        items.remove_prefix(comma + 1);
    }
    return header;
}

}  // namespace

ArrayHandle readNpy(const std::string& value)
{
    const NpySource selected = parseNpySource(value);
    const std::string& path = selected.path;
    // Read in steps, each bounded by what the file says of itself: the
    // magic and version first, then the header it announces, then the data
    // its shape needs and one byte more, so that a file that is not .npy
    // (or a device that never ends) is refused without being read whole.
    std::optional<FileReader> opened;
    try {
        opened.emplace(path);
    } catch (const UsageError& error) {
        throw UsageError(error.what() + npyHashHint(selected));
    }
    FileReader& reader = *opened;
    reader.fill(12);
    const std::string_view start = reader.bytes();
    if (start.size() < 10 || start.substr(0, 6) != magic) malformed(path, "wrong magic string");
    const auto major = static_cast<unsigned char>(start[6]);
    std::size_t headerLength = 0, headerStart = 0;
    if (major == 1) {
        headerLength = static_cast<unsigned char>(start[8]) | (static_cast<std::size_t>(static_cast<unsigned char>(start[9])) << 8);
        headerStart = 10;
    } else if (major == 2 || major == 3) {
        if (start.size() < 12) malformed(path, "truncated header");
        for (int i = 0; i < 4; ++i)
            headerLength |= static_cast<std::size_t>(static_cast<unsigned char>(start[8 + i])) << (8 * i);
        headerStart = 12;
    } else {
        malformed(path, "unknown format version " + std::to_string(major));
    }
    if (headerLength > maxHeaderLength)
        malformed(path, "a header of " + std::to_string(headerLength) + " bytes (at most " +
                            std::to_string(maxHeaderLength) + " are read)");
    if (!reader.fill(headerStart + headerLength)) malformed(path, "truncated header");
    const Header header = parseHeader(path, std::string_view(reader.bytes()).substr(headerStart, headerLength));

    const std::optional<NpyElementType> type = npyElementType(header.descr);
    if (!type) throw UsageError(inQuotes(path) + " holds dtype " + inQuotes(header.descr) + "; " + acceptedNpyTypes);
    const bool oneColumn = selected.column.has_value();
    const std::size_t column = oneColumn ? checkNpyColumn(selected, header.shape) : 0;
    const std::size_t itemSize = type->size;
    const ArrayClass arrayClass = type->isBytes() ? ArrayClass::Uint8 : ArrayClass::Double;
    long long rows = 1, cols = 1;
    if (header.shape.size() == 1) {
        cols = header.shape[0];
    } else if (header.shape.size() == 2) {
        rows = header.shape[0];
        cols = header.shape[1];
    } else if (header.shape.size() > 2) {
        throw UsageError(inQuotes(path) + " has " + std::to_string(header.shape.size()) +
                         " dimensions; only 0-D, 1-D and 2-D arrays are accepted");
    }
    if (rows * cols > maxElements) throw UsageError(inQuotes(path) + " holds too many elements");
    const std::size_t count = static_cast<std::size_t>(rows * cols);
    const std::size_t dataStart = headerStart + headerLength;
    const std::size_t dataBytes = count * itemSize;
    reader.fill(dataStart + dataBytes + 1);
    const std::string file = reader.take();
    if (file.size() - dataStart != dataBytes) {
        // A regular file's size tells how much it holds; a pipe or device is
        // read no further than one byte past what the shape needs.
        const std::optional<std::size_t> size = reader.regularSize();
        const std::size_t got = file.size() - dataStart;
        const std::string held = size && *size >= file.size() ? std::to_string(*size - dataStart)
                                 : got < dataBytes             ? std::to_string(got)
                                                               : "more than " + std::to_string(dataBytes);
        malformed(path, "the data holds " + held +
                            " bytes, the shape needs " + std::to_string(dataBytes));
    }

    // With a column chosen, only its elements are converted, into a
    // rows-by-1 array.
    const auto outRows = static_cast<std::int32_t>(rows), outCols = oneColumn ? 1 : static_cast<std::int32_t>(cols);
    ArrayHandle array(arrayClass == ArrayClass::Double ? createDouble(outRows, outCols) : createUint8(outRows, outCols));
    const char* source = file.data() + dataStart;
    auto* target = static_cast<char*>(array->data);
    // Float64 and bytes are copied as they are; other types become float64.
    const bool copied = type->isBytes() || type->isFloat64();
    const std::size_t targetSize = copied ? itemSize : sizeof(double);
    const auto m = static_cast<std::size_t>(rows), n = static_cast<std::size_t>(cols);
    const auto convert = [&](std::size_t k, std::size_t i, std::size_t j, char* to) {
        if (copied) {
            std::memcpy(to, source + k * itemSize, itemSize);
            if (type->bigEndian) std::reverse(to, to + itemSize);
            return;
        }
        const std::optional<double> value = npyElementValue(*type, source + k * itemSize);
        if (!value)
            throw UsageError(inQuotes(path) + " holds an integer beyond 2^53 in magnitude (row " + std::to_string(i + 1) +
                             ", column " + std::to_string(j + 1) + "), which has no exact float64");
        std::memcpy(to, &*value, sizeof(double));
    };
    if (oneColumn) {
        // Element (i, column) of the file: a strided read in C order.
        for (std::size_t i = 0; i < m; ++i)
            convert(header.fortranOrder ? column * m + i : i * n + column, i, column, target + i * targetSize);
        return array;
    }
    for (std::size_t k = 0; k < count; ++k) {
        // Element k of the file, placed at its column-major position.
        const std::size_t i = header.fortranOrder ? k % m : k / n;
        const std::size_t j = header.fortranOrder ? k / m : k % n;
        convert(k, i, j, target + (i + j * m) * targetSize);
    }
    return array;
}

void checkNpyWritable(const kyArray* array)
{
    if (array->arrayClass == ArrayClass::Sparse)
        throw UsageError("a sparse result cannot be written as .npy; give --out a .csv path");
}

void writeNpy(OutputFile& out, const kyArray* array)
{
    checkNpyWritable(array);
    const bool isDouble = array->arrayClass == ArrayClass::Double;
    // The host stores arrays column by column, which is .npy's Fortran
    // order: the data goes out as it lies, without a copy.
    std::string dict = std::string("{'descr': '") + (isDouble ? "<f8" : "|u1") +
                       "', 'fortran_order': True, 'shape': (" + std::to_string(array->m) + ", " +
                       std::to_string(array->n) + "), }";
    // Pad with blanks so that the data starts on a 64-byte boundary.
    const std::size_t unpadded = magic.size() + 4 + dict.size() + 1;
    dict.append((64 - unpadded % 64) % 64, ' ');
    dict.push_back('\n');

    out.write(magic);
    const char version[2] = {1, 0};
    out.write(std::string_view(version, 2));
    const char length[2] = {static_cast<char>(dict.size() & 0xff), static_cast<char>(dict.size() >> 8)};
    out.write(std::string_view(length, 2));
    out.write(dict);
    out.write(std::string_view(static_cast<const char*>(array->data),
                               static_cast<std::size_t>(elementCount(array)) * elementSize(array->arrayClass)));
}

std::optional<NpyHeader> peekNpyHeader(std::string_view bytes)
{
    if (bytes.size() < 10 || bytes.substr(0, 6) != magic) return std::nullopt;
    const auto major = static_cast<unsigned char>(bytes[6]);
    std::size_t headerLength = 0, headerStart = 0;
    if (major == 1) {
        headerLength = static_cast<unsigned char>(bytes[8]) | (static_cast<std::size_t>(static_cast<unsigned char>(bytes[9])) << 8);
        headerStart = 10;
    } else if ((major == 2 || major == 3) && bytes.size() >= 12) {
        for (int i = 0; i < 4; ++i)
            headerLength |= static_cast<std::size_t>(static_cast<unsigned char>(bytes[8 + i])) << (8 * i);
        headerStart = 12;
    } else {
        return std::nullopt;
    }
    if (headerLength > bytes.size() - headerStart) return std::nullopt;
    try {
        Header header = parseHeader({}, bytes.substr(headerStart, headerLength));
        return NpyHeader{std::move(header.descr), header.fortranOrder, std::move(header.shape),
                         headerStart + headerLength};
    } catch (const UsageError&) {
        return std::nullopt;
    }
}

}  // namespace ky
