// Sparse matrices handed in through the embedding interface, as the Python
// module hands in scipy matrices: column starts, row indices and values of
// any lengths and contents. kyhostBorrowSparseSized must accept exactly the
// layouts that hold (n + 1 starts ascending from 0, ending within the row
// indices, as many values as indices, rows inside the matrix) without
// reading past any array, and nearwalk must then run on an accepted matrix.
//
// Input bytes: m, n, the three lengths (start, index and value counts) and
// a flag byte, then the column starts and row indices as little-endian
// 32-bit integers (missing bytes read as 0). Simple enough to write a
// regression input by hand.
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_support.hpp"
#include "kyhost_embed.h"

namespace {

using ky::fuzz::fault;

struct Reader {
    const std::uint8_t* data;
    std::size_t size, at = 0;
    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    std::int32_t int32()
    {
        std::uint32_t value = 0;
        for (int k = 0; k < 4; ++k) value |= static_cast<std::uint32_t>(byte()) << (8 * k);
        return static_cast<std::int32_t>(value);
    }
};

// An array of exactly count elements (none: null), so that AddressSanitizer
// sees any read past its end.
template <typename T, typename Next>
std::unique_ptr<T[]> exactArray(std::size_t count, Next next)
{
    if (count == 0) return nullptr;
    std::unique_ptr<T[]> array(new T[count]);
    for (std::size_t k = 0; k < count; ++k) array[k] = next();
    return array;
}

bool layoutHolds(std::int32_t m, std::int32_t n, const std::int32_t* jc, std::size_t jcCount, const std::int32_t* ir,
                 std::size_t irCount, std::size_t valueCount)
{
    if (jcCount != static_cast<std::size_t>(n) + 1 || jc[0] != 0) return false;
    for (std::int32_t j = 0; j < n; ++j)
        if (jc[j + 1] < jc[j]) return false;
    if (static_cast<std::size_t>(jc[n]) > irCount || valueCount != irCount) return false;
    if (jc[n] > 0 && ir == nullptr) return false;
    for (std::int32_t k = 0; k < jc[n]; ++k)
        if (ir[k] < 0 || ir[k] >= m) return false;
    return true;
}

// nearwalk on m points around a circle, with a fan of triangles from the
// first point, two queries and the matrix as S.
void runNearwalk(std::int32_t m, const kyArray* s)
{
    static const kyhostFunction* nearwalk = kyhostFind("nearwalk");
    if (nearwalk == nullptr) fault(std::string("nearwalk not found: ") + kyhostLastError());
    std::vector<double> x, y, tri;
    for (std::int32_t i = 0; i < m; ++i) {
        x.push_back(std::cos(2 * M_PI * i / m));
        y.push_back(std::sin(2 * M_PI * i / m));
    }
    const std::int32_t rows = m - 2;
    tri.resize(3 * static_cast<std::size_t>(rows));
    for (std::int32_t r = 0; r < rows; ++r) {
        tri[r] = 1;
        tri[rows + r] = r + 3;
        tri[2 * rows + r] = r + 2;
    }
    const double qx[] = {0.3, -0.9}, qy[] = {0.1, 0.2};
    kyArray* arrays[] = {kyhostBorrowDouble(1, m, x.data()), kyhostBorrowDouble(1, m, y.data()),
                         kyhostBorrowDouble(rows, 3, tri.data()), kyhostBorrowDouble(1, 2, qx),
                         kyhostBorrowDouble(1, 2, qy)};
    const kyArray* inputs[] = {arrays[0], arrays[1], arrays[2], arrays[3], arrays[4], s};
    kyhostCall* call = kyhostRun(nearwalk, 1, 6, inputs, nullptr, nullptr);
    if (call == nullptr) fault(std::string("nearwalk could not be called: ") + kyhostLastError());
    if (kyhostCallError(call) == nullptr) {
        const kyArray* k = kyhostCallResult(call, 0);
        const auto* answers = static_cast<const double*>(kyhostArrayData(k));
        for (std::int32_t i = 0; i < kyhostArrayRows(k) * kyhostArrayColumns(k); ++i)
            if (!(answers[i] >= 1 && answers[i] <= m)) fault("nearwalk answered a point outside 1..m");
    }
    kyhostCallFree(call);
    for (kyArray* array : arrays) kyhostFreeArray(array);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader input{data, size};
    const std::int32_t m = input.byte() % 8, n = input.byte() % 8;
    const std::size_t jcCount = input.byte() % 16, irCount = input.byte() % 32, valueCount = input.byte() % 32;
    const std::uint8_t flags = input.byte();
    const auto jc = exactArray<std::int32_t>(jcCount, [&] { return input.int32(); });
    const auto ir = exactArray<std::int32_t>(irCount, [&] { return input.int32(); });
    const auto values = exactArray<double>(valueCount, [] { return 1.0; });

    kyArray* s = kyhostBorrowSparseSized(m, n, jc.get(), jcCount, ir.get(), irCount, values.get(), valueCount);
    const bool holds = jc != nullptr && layoutHolds(m, n, jc.get(), jcCount, ir.get(), irCount, valueCount);
    if ((s != nullptr) != holds)
        fault(s != nullptr ? "a malformed layout was accepted" : std::string("a valid layout was refused: ") +
                                                                     kyhostLastError());
    if (s == nullptr) return 0;
    if ((flags & 1) != 0 && m == n && m >= 3) runNearwalk(m, s);
    kyhostFreeArray(s);
    return 0;
}
