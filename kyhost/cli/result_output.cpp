#include "result_output.hpp"

#include <charconv>

#include "npy_format.hpp"
#include "number_text.hpp"

namespace ky {

namespace {

void writeDoubles(OutputFile& out, const double* values, std::size_t m, std::size_t n)
{
    for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            char* at = out.reserve(maxNumberText + 1);
            char* end = formatNumber(at, values[i + j * m]);
            *end++ = j + 1 < n ? ',' : '\n';
            out.commit(static_cast<std::size_t>(end - at));
        }
        if (n == 0) out.put('\n');
    }
}

void writeBytes(OutputFile& out, const unsigned char* bytes, std::size_t m, std::size_t n)
{
    for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            char* at = out.reserve(4);
            char* end = std::to_chars(at, at + 3, static_cast<unsigned>(bytes[i + j * m])).ptr;
            *end++ = j + 1 < n ? ',' : '\n';
            out.commit(static_cast<std::size_t>(end - at));
        }
        if (n == 0) out.put('\n');
    }
}

void writeSparse(OutputFile& out, const kyArray* array)
{
    const auto* values = static_cast<const double*>(arrayData(array));
    const auto count = [&out](long long value, char after) {
        char* at = out.reserve(24);
        char* end = std::to_chars(at, at + 23, value).ptr;
        *end++ = after;
        out.commit(static_cast<std::size_t>(end - at));
    };
    count(array->m, ',');
    count(array->n, '\n');
    const std::size_t n = static_cast<std::size_t>(array->n);
    for (std::size_t j = 0; j < n; ++j)
        for (std::int32_t k = array->jc[j]; k < array->jc[j + 1]; ++k) {
            count(static_cast<long long>(array->ir[k]) + 1, ',');
            count(static_cast<long long>(j) + 1, ',');
            char* at = out.reserve(maxNumberText + 1);
            char* end = formatNumber(at, values[k]);
            *end++ = '\n';
            out.commit(static_cast<std::size_t>(end - at));
        }
}

}  // namespace

void writeCsv(OutputFile& out, const kyArray* array)
{
    const std::size_t m = static_cast<std::size_t>(array->m);
    const std::size_t n = static_cast<std::size_t>(array->n);
    switch (array->arrayClass) {
    case ArrayClass::Double: writeDoubles(out, static_cast<const double*>(array->data), m, n); break;
    case ArrayClass::Uint8: writeBytes(out, static_cast<const unsigned char*>(array->data), m, n); break;
    case ArrayClass::Char: {
        const auto* text = static_cast<const char*>(array->data);
        for (std::size_t i = 0; i < m; ++i) {
            for (std::size_t j = 0; j < n; ++j) out.put(text[i + j * m]);
            out.put('\n');
        }
        break;
    }
    case ArrayClass::Sparse: writeSparse(out, array); break;
    }
}

void writeResultFile(const std::string& path, const kyArray* array)
{
    const bool npy = path.size() >= 4 && path.compare(path.size() - 4, 4, ".npy") == 0;
    if (npy) checkNpyWritable(array);
    OutputFile out = OutputFile::create(path);
    if (npy)
        writeNpy(out, array);
    else if (array->m == 1 && array->arrayClass == ArrayClass::Double)
        // A row vector as a file: one value per line, as for a column.
        writeDoubles(out, static_cast<const double*>(array->data), static_cast<std::size_t>(array->n), 1);
    else if (array->m == 1 && array->arrayClass == ArrayClass::Uint8)
        writeBytes(out, static_cast<const unsigned char*>(array->data), static_cast<std::size_t>(array->n), 1);
    else
        writeCsv(out, array);
    out.finish();
}

void writeResultToStandardOutput(const kyArray* array)
{
    OutputFile out = OutputFile::standardOutput();
    writeCsv(out, array);
    out.finish();
}

}  // namespace ky
