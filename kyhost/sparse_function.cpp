// The host function "sparse": S = sparse(I, J, V, NR, NC).
//
// Builds an NR-by-NC sparse matrix with a stored entry at (I(k), J(k)) for
// every k, each with value V. Within each column the row indices are stored
// in ascending order; a pair that occurs several times is stored once, its
// values summed in input order. The build is two stable counting sorts (by
// row, then by column), O(nnz + NR + NC) with no comparison sort, since it
// is fed the twelve index pairs per triangle of large triangulations.
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "call_context.hpp"
#include "host_array.hpp"
#include "host_functions.hpp"

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

// Converts 1-based double indices to 0-based integers, refusing anything
// that is not a whole number in 1..limit, and counts each index.
void convertIndices(const double* source, std::size_t count, std::int32_t limit, const char* what,
                    std::int32_t* target, std::int32_t* counts)
{
    const double top = static_cast<double>(limit);
    for (std::size_t k = 0; k < count; ++k) {
        const double value = source[k];
        if (!(value >= 1.0 && value <= top)) badIndex(what, value, k, limit);
        const std::int32_t index = static_cast<std::int32_t>(value);
        if (static_cast<double>(index) != value) badIndex(what, value, k, limit);
        target[k] = index - 1;
        ++counts[index];
    }
}

// Turns counts (shifted by one: counts[i + 1] holds bucket i's size) into
// bucket starts in place.
void prefixSum(std::vector<std::int32_t>& counts)
{
    for (std::size_t i = 1; i < counts.size(); ++i) counts[i] += counts[i - 1];
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
    auto rows = std::make_unique_for_overwrite<std::int32_t[]>(nnz == 0 ? 1 : nnz);
    auto cols = std::make_unique_for_overwrite<std::int32_t[]>(nnz == 0 ? 1 : nnz);
    std::vector<std::int32_t> rowStart(static_cast<std::size_t>(rowCount) + 1, 0);
    std::vector<std::int32_t> colStart(static_cast<std::size_t>(colCount) + 1, 0);
    convertIndices(static_cast<const double*>(rowsIn->data), nnz, rowCount, "row", rows.get(), rowStart.data());
    convertIndices(static_cast<const double*>(colsIn->data), nnz, colCount, "column", cols.get(),
                   colStart.data());
    prefixSum(rowStart);
    prefixSum(colStart);

    // Pass 1: the column of every entry, grouped by row (stable).
    auto byRow = std::make_unique_for_overwrite<std::int32_t[]>(nnz == 0 ? 1 : nnz);
    {
        std::vector<std::int32_t> next(rowStart.begin(), rowStart.end() - 1);
        for (std::size_t k = 0; k < nnz; ++k) byRow[static_cast<std::size_t>(next[rows[k]]++)] = cols[k];
    }
    rows.reset();
    cols.reset();

    // Pass 2: rows in ascending order into their columns. All entries of one
    // (row, column) pair arrive one after another in their column, so a
    // repeat is merged into the entry just stored there.
    kyArray* result = createSparse(rowCount, colCount, nnz);
    std::int32_t* ir = result->ir;
    double* values = static_cast<double*>(result->data);
    std::vector<std::int32_t> fill(colStart.begin(), colStart.end() - 1);
    std::size_t stored = 0;
    for (std::int32_t r = 0; r < rowCount; ++r) {
        for (std::int32_t p = rowStart[static_cast<std::size_t>(r)]; p < rowStart[static_cast<std::size_t>(r) + 1];
             ++p) {
            const std::int32_t c = byRow[static_cast<std::size_t>(p)];
            const std::int32_t at = fill[static_cast<std::size_t>(c)];
            if (at > colStart[static_cast<std::size_t>(c)] && ir[at - 1] == r) {
                values[at - 1] += value;
            } else {
                ir[at] = r;
                values[at] = value;
                fill[static_cast<std::size_t>(c)] = at + 1;
                ++stored;
            }
        }
    }

    // Close the gaps that merged repeats left, column by column.
    std::int32_t* jc = result->jc;
    if (stored == nnz) {
        std::memcpy(jc, colStart.data(), colStart.size() * sizeof(std::int32_t));
    } else {
        std::int32_t write = 0;
        for (std::int32_t c = 0; c < colCount; ++c) {
            const std::int32_t begin = colStart[static_cast<std::size_t>(c)];
            const std::int32_t length = fill[static_cast<std::size_t>(c)] - begin;
            jc[c] = write;
            if (write != begin && length > 0) {
                std::memmove(ir + write, ir + begin, static_cast<std::size_t>(length) * sizeof(std::int32_t));
                std::memmove(values + write, values + begin, static_cast<std::size_t>(length) * sizeof(double));
            }
            write += length;
        }
        jc[colCount] = write;
    }
    outputs[0] = result;
}

}  // namespace ky
