// The host function "sparse": S = sparse(I, J, V, NR, NC).
//
// Builds an NR-by-NC sparse matrix with a stored entry at (I(k), J(k)) for
// every k, each with value V. Within each column the row indices are stored
// in ascending order; a pair that occurs several times is stored once, its
// values summed in input order. It is fed the twelve index pairs per
// triangle of large triangulations, so the build is one counting sort by
// column, which drops each row index (4 bytes) into its column's segment,
// and then a sort of each column's few rows. The buffer of grouped rows and
// the column starts become the result's own storage, so that besides the
// result only one column array is needed.
#include <algorithm>
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

// 0-based index of a checked 1-based index.
std::uint32_t zeroBased(double index) { return static_cast<std::uint32_t>(index - 1.0); }

// Sorts a column's row indices ascending: insertion sort for the handful
// that a column of a triangulation holds, a full sort for long columns.
void sortRows(std::uint32_t* rows, std::size_t count)
{
    if (count > 24) {
        std::sort(rows, rows + count);
        return;
    }
    for (std::size_t k = 1; k < count; ++k) {
        const std::uint32_t row = rows[k];
        std::size_t at = k;
        for (; at > 0 && rows[at - 1] > row; --at) rows[at] = rows[at - 1];
        rows[at] = row;
    }
}

std::size_t countDistinct(const std::uint32_t* sorted, std::size_t count)
{
    std::size_t distinct = count == 0 ? 0 : 1;
    for (std::size_t k = 1; k < count; ++k) distinct += sorted[k] != sorted[k - 1];
    return distinct;
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
    const auto cols = static_cast<std::size_t>(colCount);
    const double* rowValues = static_cast<const double*>(rowsIn->data);
    const double* colValues = static_cast<const double*>(colsIn->data);

    checkIndices(rowValues, nnz, rowCount, "row");
    checkIndices(colValues, nnz, colCount, "column");

    // Group the row indices by column: count each column's pairs, turn the
    // counts into segment starts, and drop every row into its column's
    // segment. segment[c] serves as column c's fill position, so once all
    // rows are placed it has moved on to where column c + 1 starts.
    WorkBuffer<std::uint32_t> segment = workBuffer<std::uint32_t>(cols + 1);
    std::fill(segment.get(), segment.get() + cols + 1, 0u);
    for (std::size_t k = 0; k < nnz; ++k) ++segment[zeroBased(colValues[k]) + 1];
    for (std::size_t c = 1; c <= cols; ++c) segment[c] += segment[c - 1];
    WorkBuffer<std::uint32_t> grouped = workBuffer<std::uint32_t>(nnz);
    for (std::size_t k = 0; k < nnz; ++k) grouped[segment[zeroBased(colValues[k])]++] = zeroBased(rowValues[k]);

    // Rows ascending within each column; repeats of a pair are then
    // neighbours. Count the distinct pairs of every column.
    WorkBuffer<std::int32_t> colStart = workBuffer<std::int32_t>(cols + 1);
    colStart[0] = 0;
    std::size_t stored = 0;
    std::size_t begin = 0;
    for (std::size_t c = 0; c < cols; ++c) {
        const std::size_t end = segment[c];
        sortRows(grouped.get() + begin, end - begin);
        stored += countDistinct(grouped.get() + begin, end - begin);
        colStart[c + 1] = static_cast<std::int32_t>(stored);
        begin = end;
    }

    // Each distinct pair once, its value summed one repeat after another.
    // The rows move to the front of their buffer (never past one not yet
    // read), which then becomes the result's row indices, its unused end
    // given back; the column starts are the result's too.
    WorkBuffer<double> values = workBuffer<double>(stored);
    std::uint32_t* rowsOut = grouped.get();
    std::size_t at = 0;
    begin = 0;
    for (std::size_t c = 0; c < cols; ++c) {
        const std::size_t end = segment[c];
        for (std::size_t k = begin; k < end; ++at) {
            const std::uint32_t row = grouped[k];
            double sum = value;
            for (++k; k < end && grouped[k] == row; ++k) sum += value;
            rowsOut[at] = row;
            values[at] = sum;
        }
        begin = end;
    }
    shrinkBlock(grouped.get(), (stored == 0 ? 1 : stored) * sizeof(std::uint32_t));
    kyArray* result = createSparseFrom(rowCount, colCount, colStart.release(),
                                       reinterpret_cast<std::int32_t*>(grouped.release()), values.release());
    outputs[0] = result;
}

}  // namespace ky
