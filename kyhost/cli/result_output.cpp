#include "result_output.hpp"

#include <fstream>

#include "npy_format.hpp"
#include "number_text.hpp"
#include "usage_error.hpp"

namespace ky {

void writeCsv(std::ostream& out, const kyArray* array)
{
    const std::size_t m = static_cast<std::size_t>(array->m);
    const std::size_t n = static_cast<std::size_t>(array->n);
    switch (array->arrayClass) {
    case ArrayClass::Double: {
        const auto* values = static_cast<const double*>(array->data);
        std::string line;
        for (std::size_t i = 0; i < m; ++i) {
            line.clear();
            for (std::size_t j = 0; j < n; ++j) {
                if (j > 0) line.push_back(',');
                line += formatShortest(values[i + j * m]);
            }
            line.push_back('\n');
            out << line;
        }
        break;
    }
    case ArrayClass::Uint8: {
        const auto* bytes = static_cast<const unsigned char*>(array->data);
        for (std::size_t i = 0; i < m; ++i) {
            for (std::size_t j = 0; j < n; ++j) out << (j > 0 ? "," : "") << static_cast<unsigned>(bytes[i + j * m]);
            out << '\n';
        }
        break;
    }
    case ArrayClass::Char: {
        const auto* text = static_cast<const char*>(array->data);
        for (std::size_t i = 0; i < m; ++i) {
            for (std::size_t j = 0; j < n; ++j) out.put(text[i + j * m]);
            out << '\n';
        }
        break;
    }
    case ArrayClass::Sparse: {
        const auto* values = static_cast<const double*>(array->data);
        out << array->m << ',' << array->n << '\n';
        for (std::size_t j = 0; j < n; ++j)
            for (std::int32_t k = array->jc[j]; k < array->jc[j + 1]; ++k)
                out << array->ir[k] + 1 << ',' << j + 1 << ',' << formatShortest(values[k]) << '\n';
        break;
    }
    }
}

void writeResultFile(const std::string& path, const kyArray* array)
{
    if (path.size() >= 4 && path.compare(path.size() - 4, 4, ".npy") == 0) {
        writeNpy(path, array);
        return;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw UsageError("cannot write '" + path + "'");
    writeCsv(out, array);
    out.close();
    if (!out) throw UsageError("cannot write '" + path + "'");
}

}  // namespace ky
