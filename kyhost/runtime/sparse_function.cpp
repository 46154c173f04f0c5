// The host function "sparse": S = sparse(I, J, V, NR, NC).
//
// Builds an NR-by-NC sparse matrix with a stored entry at (I(k), J(k)) for
// every k, each with value V. Within each column the row indices are stored
// in ascending order; a pair that occurs several times is stored once, its
// values summed in input order. The build is counting sorts only, O(nnz + NR
// + NC) with no comparison sort, since it is fed the twelve index pairs per
// triangle of large triangulations: every pair becomes one integer key,
// column above row, and a least-significant-digit radix sort by bytes puts
// the keys in column order with rows ascending and repeats side by side.
// Byte digits keep each scatter pass within 256 output streams, which stays
// friendly to the caches and the TLB where one scatter over a million
// buckets would not.
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include <algorithm>

#include "call_context.hpp"
#include "host_array.hpp"
#include "host_functions.hpp"
#include "host_memory.hpp"

namespace ky {

namespace {

std::string shortest(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

const kyArray* realFull(const kyArray* array, const char* what)
{
    if (array == nullptr) raiseError(std::string("sparse: ") + what + " is missing.");
    if (array->arrayClass != ArrayClass::Double)
        raiseError(std::string("sparse: ") + what + " must be a real double array, not " +
                   className(array->arrayClass) + ".");
    return array;
}

double scalar(const kyArray* array, const char* what)
{
    realFull(array, what);
    if (array->m != 1 || array->n != 1)
        raiseError(std::string("sparse: ") + what + " must be 1-by-1, not " + std::to_string(array->m) + "-by-" +
                   std::to_string(array->n) + ".");
    return static_cast<const double*>(array->data)[0];
}

std::int32_t dimension(const kyArray* array, const char* what)
{
    const double value = scalar(array, what);
    if (!(value >= 0.0 && value <= static_cast<double>(INT32_MAX)) ||
        static_cast<double>(static_cast<std::int32_t>(value)) != value)
        raiseError(std::string("sparse: ") + what + " must be a non-negative whole number, not " +
                   shortest(value) + ".");
    return static_cast<std::int32_t>(value);
}

[[noreturn]] void badIndex(const char* what, double value, std::size_t k, std::int32_t limit)
{
    raiseError(std::string("sparse: ") + what + " index " + shortest(value) + " (element " + std::to_string(k + 1) +
               ") is not a whole number from 1 to " + std::to_string(limit) + ".");
}

// Refuses any index that is not a whole number in 1..limit.
void checkIndices(const double* source, std::size_t count, std::int32_t limit, const char* what)
{
    const double top = static_cast<double>(limit);
    for (std::size_t k = 0; k < count; ++k) {
        const double value = source[k];
        if (!(value >= 1.0 && value <= top)) badIndex(what, value, k, limit);
        const std::int32_t index = static_cast<std::int32_t>(value);
        if (static_cast<double>(index) != value) badIndex(what, value, k, limit);
    }
}

struct FreeBlock {
    void operator()(void* block) const noexcept { releaseBlock(block); }
};
template <typename T>
using WorkBuffer = std::unique_ptr<T[], FreeBlock>;

// Uninitialised working storage for count elements (at least one).
template <typename T>
WorkBuffer<T> workBuffer(std::size_t count)
{
    const std::size_t bytes = (count == 0 ? 1 : count) * sizeof(T);
    void* block = allocateUninitialised(bytes);
    if (block == nullptr) raiseError("Out of memory: sparse cannot allocate " + std::to_string(bytes) + " bytes.");
    return WorkBuffer<T>(static_cast<T*>(block));
}

constexpr unsigned digitBits = 8;
constexpr std::size_t digitValues = std::size_t(1) << digitBits;

// Sorts keys (stable, ascending) on their low keyBits bits, ping-ponging
// between keys and spare; returns the buffer that holds the result.
std::uint64_t* radixSort(std::uint64_t* keys, std::uint64_t* spare, std::size_t count, unsigned keyBits)
{
    const unsigned passes = (keyBits + digitBits - 1) / digitBits;
    // All digit histograms in one read of the keys.
    std::vector<std::array<std::size_t, digitValues>> histograms(passes);
    for (auto& histogram : histograms) histogram.fill(0);
    for (std::size_t k = 0; k < count; ++k)
        for (unsigned pass = 0; pass < passes; ++pass) ++histograms[pass][(keys[k] >> (pass * digitBits)) & 0xff];

    for (unsigned pass = 0; pass < passes; ++pass) {
        auto& next = histograms[pass];
        // A digit that is the same in every key orders nothing.
        if (std::find(next.begin(), next.end(), count) != next.end()) continue;
        std::size_t start = 0;
        for (std::size_t& bucket : next) start += std::exchange(bucket, start);
        const unsigned shift = pass * digitBits;
        for (std::size_t k = 0; k < count; ++k) spare[next[(keys[k] >> shift) & 0xff]++] = keys[k];
        std::swap(keys, spare);
    }
    return keys;
}

}  // namespace

void sparseFunction(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[])
{
    if (inputCount != 5)
        raiseError("sparse: expected 5 inputs (I, J, V, NR, NC), got " + std::to_string(inputCount) + ".");
    if (outputCount > 1) raiseError("sparse: too many output arguments.");
    const kyArray* rowsIn = realFull(inputs[0], "the row index array I");
    const kyArray* colsIn = realFull(inputs[1], "the column index array J");
    const std::int64_t count = elementCount(rowsIn);
    if (count != elementCount(colsIn))
        raiseError("sparse: I and J must have the same number of elements (" + std::to_string(count) + " and " +
                   std::to_string(elementCount(colsIn)) + ").");
    const double value = scalar(inputs[2], "the value V");
    const std::int32_t rowCount = dimension(inputs[3], "the row count NR");
    const std::int32_t colCount = dimension(inputs[4], "the column count NC");

    const std::size_t nnz = static_cast<std::size_t>(count);
    const auto rows = static_cast<std::size_t>(rowCount);
    const auto cols = static_cast<std::size_t>(colCount);
    const double* rowValues = static_cast<const double*>(rowsIn->data);
    const double* colValues = static_cast<const double*>(colsIn->data);

    checkIndices(rowValues, nnz, rowCount, "row");
    checkIndices(colValues, nnz, colCount, "column");

    // Key of a pair: its 0-based column above its 0-based row.
    const unsigned rowBits = static_cast<unsigned>(std::bit_width(rows > 0 ? rows - 1 : 0));
    const unsigned colBits = static_cast<unsigned>(std::bit_width(cols > 0 ? cols - 1 : 0));
    const std::uint64_t rowMask = (std::uint64_t(1) << rowBits) - 1;
    WorkBuffer<std::uint64_t> keys = workBuffer<std::uint64_t>(nnz);
    WorkBuffer<std::uint64_t> spare = workBuffer<std::uint64_t>(nnz);
    for (std::size_t k = 0; k < nnz; ++k)
        keys[k] = (static_cast<std::uint64_t>(colValues[k] - 1.0) << rowBits) |
                  static_cast<std::uint64_t>(rowValues[k] - 1.0);
    const std::uint64_t* sorted = radixSort(keys.get(), spare.get(), nnz, rowBits + colBits);

    // Repeats of a pair are now neighbours: count the distinct pairs and
    // the entries of each column.
    WorkBuffer<std::int32_t> colStart = workBuffer<std::int32_t>(cols + 1);
    std::fill(colStart.get(), colStart.get() + cols + 1, 0);
    std::size_t stored = 0;
    for (std::size_t k = 0; k < nnz; ++k) {
        if (k > 0 && sorted[k] == sorted[k - 1]) continue;
        ++stored;
        ++colStart[(sorted[k] >> rowBits) + 1];
    }
    for (std::size_t c = 1; c <= cols; ++c) colStart[c] += colStart[c - 1];

    // Each distinct pair once, its value summed one repeat after another.
    kyArray* result = createSparse(rowCount, colCount, stored);
    std::memcpy(result->jc, colStart.get(), (cols + 1) * sizeof(std::int32_t));
    std::int32_t* ir = result->ir;
    double* values = static_cast<double*>(result->data);
    std::size_t at = 0;
    for (std::size_t k = 0; k < nnz; ++at) {
        const std::uint64_t key = sorted[k];
        double sum = value;
        for (++k; k < nnz && sorted[k] == key; ++k) sum += value;
        ir[at] = static_cast<std::int32_t>(key & rowMask);
        values[at] = sum;
    }
    outputs[0] = result;
}

}  // namespace ky
