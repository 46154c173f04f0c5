#include "argument_kinds.hpp"

#include <vector>

#include "data_files.hpp"
#include "message_text.hpp"
#include "npy_mapping.hpp"
#include "number_text.hpp"
#include "usage_error.hpp"

namespace ky {

const char* const argumentKindsHelp =
    "Each ARG is one input array, written KIND:VALUE:\n"
    "  csv:PATH     real matrix from a CSV file (csv:- reads standard input)\n"
    "  npy:PATH     array from a NumPy .npy file: float64, or float32, float16 and\n"
    "               integers as float64 (exactly, so at most 2^53), or uint8 as bytes\n"
    "               (npy:PATH#2: the second column of a 2-D array, as below)\n"
    "  num:V,V,...  real 1-by-k row vector\n"
    "  zeros:MxN    real M-by-N zeros\n"
    "  text:STRING  1-by-len character array\n"
    "  u8:PATH      1-by-N uint8 array holding the bytes of a file\n"
    "  u8csv:PATH   uint8 matrix from a CSV of whole numbers 0 to 255\n"
    "  sparse:PATH  sparse matrix from a CSV: first line M,N, then i,j[,v] lines\n"
    "\n"
    "CSV files (csv:, u8csv:): a first line made only of names is a header. The\n"
    "separator is ',', ';' or tab, found on the first line; quoted fields may hold\n"
    "separators and doubled quotes (\"\"). After the path, '#' selects (sparse:\n"
    "takes only sep=):\n"
    "  csv:points.csv#x         the column named x, as an M-by-1 matrix\n"
    "  csv:points.csv#2         the second column\n"
    "  csv:points.txt#sep=tab   the separator: sep=comma, sep=semicolon, sep=tab, or\n"
    "                           sep=space (any run of spaces and tabs separates)\n"
    "  csv:points.txt#x,sep=semicolon   both\n"
    "  csv:europe.csv#decimal=comma     numbers written 1,5 (csv: only): ',' is then\n"
    "                           the decimal mark, never a separator, so fields are\n"
    "                           separated by ';' (or a tab found on the first line,\n"
    "                           or sep=tab, sep=space); numbers holding '.' are\n"
    "                           refused\n"
    "  csv:gaps.csv#empty=nan   empty cells read as NaN (csv: only; without it an\n"
    "                           empty cell is an error)\n"
    "  npy:xy.npy#1             the first column of a 2-D .npy array, as an M-by-1\n"
    "                           matrix (columns by number only): an (n, 2) array of\n"
    "                           points is npy:xy.npy#1 npy:xy.npy#2\n"
    "The text after the last '#' is the selector, so a path that holds '#' is\n"
    "written with a '#' at its end: csv:run#3.csv#, npy:run#3.npy#\n";

namespace {

ArrayHandle numbers(const std::string& argument, const std::string& list)
{
    std::vector<double> values;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = list.find(',', start);
        const std::string field = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const auto value = parseDouble(field);
        if (!value) throw UsageError(inQuotes(argument) + ": " + inQuotes(field) + " is not a number");
        values.push_back(*value);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (values.size() > static_cast<std::size_t>(maxElements)) throw UsageError(inQuotes(argument) + ": too many values");
    ArrayHandle array(createDouble(1, static_cast<std::int32_t>(values.size())));
    std::copy(values.begin(), values.end(), static_cast<double*>(array->data));
    return array;
}

ArrayHandle zeros(const std::string& argument, const std::string& size)
{
    const std::size_t x = size.find('x');
    std::optional<long long> m, n;
    if (x != std::string::npos) {
        m = parseCount(size.substr(0, x), INT32_MAX);
        n = parseCount(size.substr(x + 1), INT32_MAX);
    }
    if (!m || !n) throw UsageError(inQuotes(argument) + ": expected zeros:MxN with whole numbers M and N");
    if (*m * *n > maxElements) throw UsageError(inQuotes(argument) + ": the array would be too large");
    return ArrayHandle(createDouble(static_cast<std::int32_t>(*m), static_cast<std::int32_t>(*n)));
}

}  // namespace

ArrayHandle parseArgument(const std::string& argument)
{
    const std::size_t colon = argument.find(':');
    if (colon == std::string::npos)
        throw UsageError("argument " + inQuotes(argument) + " must be written KIND:VALUE (see --help)");
    const std::string kind = argument.substr(0, colon);
    const std::string value = argument.substr(colon + 1);
    if (kind == "csv") return readCsvMatrix(value);
    if (kind == "npy") return readNpyInPlace(value);
    if (kind == "num") return numbers(argument, value);
    if (kind == "zeros") return zeros(argument, value);
    if (kind == "text") return ArrayHandle(createChar(value));
    if (kind == "u8") return readBytes(value);
    if (kind == "u8csv") return readUint8CsvMatrix(value);
    if (kind == "sparse") return readSparseCsv(value);
    throw UsageError("unknown argument kind " + inQuotes(kind) + " in " + inQuotes(argument) +
                     " (kinds: csv, npy, num, zeros, text, u8, u8csv, sparse)");
}

}  // namespace ky
