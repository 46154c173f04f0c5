#include "row_encoding.hpp"

#include <cstring>

namespace outofcore {

std::size_t entryBytes(IndexType index) { return index == IndexType::Int32 ? 4 : 8; }

std::vector<char> encodeRows(const std::vector<std::int64_t>& rows, IndexType index, int base, bool clockwise)
{
    std::vector<char> bytes(rows.size() * entryBytes(index));
    char* out = bytes.data();
    for (std::size_t r = 0; r + 2 < rows.size(); r += 3) {
        const std::int64_t corners[3] = {rows[r], clockwise ? rows[r + 1] : rows[r + 2], clockwise ? rows[r + 2] : rows[r + 1]};
        for (const std::int64_t corner : corners) {
            const std::int64_t value = corner + base;
            if (index == IndexType::Float64) {
                const double entry = static_cast<double>(value);
                std::memcpy(out, &entry, 8);
                out += 8;
            } else if (index == IndexType::Int64) {
                std::memcpy(out, &value, 8);
                out += 8;
            } else {
                const auto entry = static_cast<std::int32_t>(value);
                std::memcpy(out, &entry, 4);
                out += 4;
            }
        }
    }
    return bytes;
}

std::string npyRowsHeader(IndexType index, std::uint64_t rows)
{
    const char* descr = index == IndexType::Float64 ? "<f8" : index == IndexType::Int64 ? "<i8" : "<i4";
    std::string dict = std::string("{'descr': '") + descr + "', 'fortran_order': False, 'shape': (" + std::to_string(rows) + ", 3), }";
    const std::size_t dictBytes = npyHeaderBytes - 10;
    dict.resize(dictBytes - 1, ' ');
    dict += '\n';
    std::string header("\x93NUMPY\x01\x00", 8);
    header += static_cast<char>(dictBytes & 0xff);
    header += static_cast<char>(dictBytes >> 8);
    return header + dict;
}

}  // namespace outofcore
