// The host function "sparse": S = sparse(I, J, V, NR, NC).
//
// Builds an NR-by-NC sparse matrix with a stored entry at (I(k), J(k)) for
// every k, each with value V. Within each column the row indices are stored
// in ascending order; a pair that occurs several times is stored once, its
// values summed in input order. The build is counting sorts only, O(nnz + NR
// + NC) with no comparison sort, since it is fed the twelve index pairs per
// triangle of large triangulations:
//   1. check every index and count the entries of each row;
//   2. group the column indices by row, in input order (stable);
//   3. within each row, keep the first entry of every column and count its
//      repeats, which gives the exact number of entries of each column;
//   4. visit the rows in ascending order and place each entry in its column.
// The matrix is then allocated at its exact size and written once, with no
// gaps to close.
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

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

// Refuses any index that is not a whole number in 1..limit. With counts,
// also counts each index: counts[i] holds how often i (1-based) occurs.
void checkIndices(const double* source, std::size_t count, std::int32_t limit, const char* what,
                  std::int32_t* counts)
{
    const double top = static_cast<double>(limit);
    for (std::size_t k = 0; k < count; ++k) {
        const double value = source[k];
        if (!(value >= 1.0 && value <= top)) badIndex(what, value, k, limit);
        const std::int32_t index = static_cast<std::int32_t>(value);
        if (static_cast<double>(index) != value) badIndex(what, value, k, limit);
        if (counts != nullptr) ++counts[index];
    }
}

struct FreeBlock {
    void operator()(void* block) const noexcept { std::free(block); }
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

template <typename T>
WorkBuffer<T> zeroedWorkBuffer(std::size_t count)
{
    WorkBuffer<T> buffer = workBuffer<T>(count);
    std::memset(buffer.get(), 0, (count == 0 ? 1 : count) * sizeof(T));
    return buffer;
}

// Per column, while the rows are deduplicated: the last row that stored an
// entry in the column, and where that entry lies.
struct ColumnMark {
    std::int32_t lastRow;
    std::int32_t slot;
};

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

    // 1. rowEnd[r + 1] counts row r; after the prefix sum rowEnd[r] is where
    // row r starts.
    WorkBuffer<std::int32_t> rowEnd = zeroedWorkBuffer<std::int32_t>(rows + 1);
    checkIndices(rowValues, nnz, rowCount, "row", rowEnd.get());
    checkIndices(colValues, nnz, colCount, "column", nullptr);
    for (std::size_t r = 1; r <= rows; ++r) rowEnd[r] += rowEnd[r - 1];

    // 2. Column indices grouped by row, in input order; afterwards rowEnd[r]
    // is where row r ends.
    WorkBuffer<std::int32_t> byRow = workBuffer<std::int32_t>(nnz);
    for (std::size_t k = 0; k < nnz; ++k) {
        const auto r = static_cast<std::size_t>(rowValues[k]) - 1;
        byRow[static_cast<std::size_t>(rowEnd[r]++)] = static_cast<std::int32_t>(colValues[k]) - 1;
    }

    // 3. Repeats of a pair lie in the same row: keep the first, count the
    // others, compacting in place. colStart[c + 1] counts column c's entries.
    WorkBuffer<std::int32_t> repeats = workBuffer<std::int32_t>(nnz);
    WorkBuffer<std::int32_t> colStart = zeroedWorkBuffer<std::int32_t>(cols + 1);
    {
        WorkBuffer<ColumnMark> marks = workBuffer<ColumnMark>(cols);
        for (std::size_t c = 0; c < cols; ++c) marks[c].lastRow = -1;
        std::int32_t read = 0;
        std::int32_t write = 0;
        for (std::int32_t r = 0; r < rowCount; ++r) {
            const std::int32_t readEnd = rowEnd[static_cast<std::size_t>(r)];
            for (; read < readEnd; ++read) {
                const std::int32_t c = byRow[static_cast<std::size_t>(read)];
                ColumnMark& mark = marks[static_cast<std::size_t>(c)];
                if (mark.lastRow == r) {
                    ++repeats[static_cast<std::size_t>(mark.slot)];
                } else {
                    mark.lastRow = r;
                    mark.slot = write;
                    byRow[static_cast<std::size_t>(write)] = c;
                    repeats[static_cast<std::size_t>(write)] = 1;
                    ++write;
                    ++colStart[static_cast<std::size_t>(c) + 1];
                }
            }
            rowEnd[static_cast<std::size_t>(r)] = write;
        }
    }
    for (std::size_t c = 1; c <= cols; ++c) colStart[c] += colStart[c - 1];
    const auto stored = static_cast<std::size_t>(colStart[cols]);

    // 4. Rows in ascending order into their columns; a pair's values are
    // summed one after another, as its repeats came.
    kyArray* result = createSparse(rowCount, colCount, stored);
    std::memcpy(result->jc, colStart.get(), (cols + 1) * sizeof(std::int32_t));
    std::int32_t* ir = result->ir;
    double* values = static_cast<double*>(result->data);
    std::int32_t* next = colStart.get();
    std::size_t p = 0;
    for (std::int32_t r = 0; r < rowCount; ++r) {
        for (const auto end = static_cast<std::size_t>(rowEnd[static_cast<std::size_t>(r)]); p < end; ++p) {
            const auto at = static_cast<std::size_t>(next[static_cast<std::size_t>(byRow[p])]++);
            ir[at] = r;
            double sum = value;
            for (std::int32_t t = 1; t < repeats[p]; ++t) sum += value;
            values[at] = sum;
        }
    }
    outputs[0] = result;
}

}  // namespace ky
