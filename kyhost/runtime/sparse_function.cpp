// The host function "sparse": S = sparse(I, J, V, NR, NC).
//
// Builds an NR-by-NC sparse matrix with a stored entry at (I(k), J(k)) for
// every k, each with value V. Within each column the row indices are stored
// in ascending order; a pair that occurs several times is stored once, its
// values summed in input order. The values themselves are made only when
// something reads them (the neighbour walk reads the structure alone): until
// then each entry keeps its repeat count in one byte. It is fed the twelve index pairs per
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
#include <utility>
#include <vector>

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

// Pairs looked ahead when counting and placing them: the column counts and
// the grouped rows are touched in no useful order, so their cache lines are
// fetched this many pairs before they are needed.
constexpr std::size_t lookAhead = 32;

// 0-based index of a column index that has not been checked yet, for
// fetching ahead only: any value outside 1..colCount gives 0.
std::uint32_t columnAhead(double index, double colTop)
{
    return index >= 1.0 && index <= colTop ? static_cast<std::uint32_t>(index - 1.0) : 0;
}

// Reports the first bad row index, or if all rows are good the first bad
// column index: one of them is bad.
[[noreturn]] __attribute__((noinline)) void reportBadIndex(const double* rowValues, const double* colValues,
                                                           std::size_t count, std::int32_t rowCount,
                                                           std::int32_t colCount)
{
    checkIndices(rowValues, count, rowCount, "row");
    checkIndices(colValues, count, colCount, "column");
    raiseError("sparse: an index is not a whole number in range.");
}

// Checks every index and counts each column's pairs into segment[c + 1], in
// one read of both index arrays. At the first bad index of either kind the
// arrays are checked one after the other instead, so that, as there, a bad
// row is reported before any bad column.
void checkAndCountColumns(const double* rowValues, const double* colValues, std::size_t count, std::int32_t rowCount,
                          std::int32_t colCount, std::uint32_t* segment)
{
    const double rowTop = static_cast<double>(rowCount), colTop = static_cast<double>(colCount);
    for (std::size_t k = 0; k < count; ++k) {
        if (k + lookAhead < count) __builtin_prefetch(&segment[columnAhead(colValues[k + lookAhead], colTop) + 1], 1);
        const double row = rowValues[k], col = colValues[k];
        if (!(row >= 1.0 && row <= rowTop && col >= 1.0 && col <= colTop) ||
            static_cast<double>(static_cast<std::int32_t>(row)) != row ||
            static_cast<double>(static_cast<std::int32_t>(col)) != col)
            reportBadIndex(rowValues, colValues, count, rowCount, colCount);
        ++segment[zeroBased(col) + 1];
    }
}

// Drops every row into its column's segment; segment[c] is column c's fill
// position and ends where column c + 1 starts.
void groupRows(const double* rowValues, const double* colValues, std::size_t count, std::uint32_t* segment,
               std::uint32_t* grouped)
{
    for (std::size_t k = 0; k < count; ++k) {
        if (k + lookAhead < count) {
            const std::uint32_t ahead = zeroBased(colValues[k + lookAhead]);
            __builtin_prefetch(&segment[ahead], 1);
            if (k + lookAhead / 4 < count) __builtin_prefetch(&grouped[segment[zeroBased(colValues[k + lookAhead / 4])]], 1);
        }
        grouped[segment[zeroBased(colValues[k])]++] = zeroBased(rowValues[k]);
    }
}

// Repeat counts of the stored entries: one byte each, counts of 255 and
// more listed apart.
struct RepeatCounts {
    std::uint8_t* counts;
    std::vector<std::pair<std::size_t, std::uint32_t>>& many;

    void set(std::size_t at, std::uint32_t repeats)
    {
        if (repeats < 255) {
            counts[at] = static_cast<std::uint8_t>(repeats);
            return;
        }
        counts[at] = 255;
        many.emplace_back(at, repeats);
    }
};

// Columns of up to this many pairs are sorted in registers.
constexpr std::size_t shortColumn = 24;

// Stores one column: its rows grouped[begin, end) ascending, each distinct
// row once at grouped[at], grouped[at + 1], ... with its number of repeats
// at the same places of repeats. at never passes begin, so no row is
// overwritten before it is read. Returns the next free place.
std::size_t storeColumn(std::uint32_t* grouped, std::size_t begin, std::size_t end, std::size_t at,
                        RepeatCounts& repeatCounts)
{
    if (end - begin <= shortColumn) {
        // Insertion sort that keeps one entry per row and counts repeats.
        std::uint32_t rows[shortColumn], repeats[shortColumn];
        std::size_t distinct = 0;
        for (std::size_t k = begin; k < end; ++k) {
            const std::uint32_t row = grouped[k];
            std::size_t place = distinct;
            while (place > 0 && rows[place - 1] > row) --place;
            if (place > 0 && rows[place - 1] == row) {
                ++repeats[place - 1];
                continue;
            }
            for (std::size_t d = distinct; d > place; --d) {
                rows[d] = rows[d - 1];
                repeats[d] = repeats[d - 1];
            }
            rows[place] = row;
            repeats[place] = 1;
            ++distinct;
        }
        for (std::size_t d = 0; d < distinct; ++d, ++at) {
            grouped[at] = rows[d];
            repeatCounts.set(at, repeats[d]);
        }
        return at;
    }
    std::sort(grouped + begin, grouped + end);
    for (std::size_t k = begin; k < end; ++at) {
        const std::uint32_t row = grouped[k];
        std::uint32_t repeats = 1;
        for (++k; k < end && grouped[k] == row; ++k) ++repeats;
        grouped[at] = row;
        repeatCounts.set(at, repeats);
    }
    return at;
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

    // Group the row indices by column: count each column's pairs, turn the
    // counts into segment starts, and drop every row into its column's
    // segment. segment[c] serves as column c's fill position, so once all
    // rows are placed it has moved on to where column c + 1 starts.
    auto* counts = static_cast<std::uint32_t*>(allocateUninitialised((cols + 1) * sizeof(std::uint32_t)));
    if (counts == nullptr) {
        // Bad indices are reported first, whatever else goes wrong.
        checkIndices(rowValues, nnz, rowCount, "row");
        checkIndices(colValues, nnz, colCount, "column");
        raiseError("Out of memory: sparse cannot allocate " + std::to_string((cols + 1) * sizeof(std::uint32_t)) +
                   " bytes.");
    }
    const WorkBuffer<std::uint32_t> segment(counts);
    std::fill(segment.get(), segment.get() + cols + 1, 0u);
    checkAndCountColumns(rowValues, colValues, nnz, rowCount, colCount, segment.get());
    for (std::size_t c = 1; c <= cols; ++c) segment[c] += segment[c - 1];
    WorkBuffer<std::uint32_t> grouped = workBuffer<std::uint32_t>(nnz);
    groupRows(rowValues, colValues, nnz, segment.get(), grouped.get());

    // Each column's rows ascending, each distinct pair once with the number
    // of its repeats. The rows move to the front of their buffer, which
    // becomes the result's row indices; the counts go to a block with room
    // for every pair, whose unused end is never touched. Both ends are given
    // back, and the column starts are the result's too.
    WorkBuffer<std::int32_t> colStart = workBuffer<std::int32_t>(cols + 1);
    WorkBuffer<std::uint8_t> repeats = workBuffer<std::uint8_t>(nnz);
    std::vector<std::pair<std::size_t, std::uint32_t>> manyRepeats;
    RepeatCounts repeatCounts{repeats.get(), manyRepeats};
    colStart[0] = 0;
    std::size_t stored = 0;
    std::size_t begin = 0;
    for (std::size_t c = 0; c < cols; ++c) {
        const std::size_t end = segment[c];
        stored = storeColumn(grouped.get(), begin, end, stored, repeatCounts);
        colStart[c + 1] = static_cast<std::int32_t>(stored);
        begin = end;
    }
    const std::size_t kept = stored == 0 ? 1 : stored;
    shrinkBlock(grouped.get(), kept * sizeof(std::uint32_t));
    shrinkBlock(repeats.get(), kept);
    outputs[0] = createSparseWithPendingValues(rowCount, colCount, colStart.release(),
                                               reinterpret_cast<std::int32_t*>(grouped.release()), value,
                                               repeats.release(), std::move(manyRepeats));
}

}  // namespace ky
