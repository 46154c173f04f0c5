// The host function "sparse": S = sparse(I, J, V, NR, NC).
//
// Builds an NR-by-NC sparse matrix with a stored entry at (I(k), J(k)) for
// every k, each with value V. Within each column the row indices are stored
// in ascending order; a pair that occurs several times is stored once, its
// values summed in input order. The values themselves are made only when
// something reads them (the neighbour walk reads the structure alone): until
// then each entry keeps its repeat count in one byte.
//
// It is fed the twelve index pairs per triangle of large triangulations, so
// the grouping by column is made to touch memory in order. When a row index
// and the low bits of a column index fit in one 32-bit word together, the
// pairs are first dropped, as such words, into a few hundred buckets of
// neighbouring columns (a few hundred streams of writes, which the caches
// follow), and each bucket is then grouped by column within a small buffer
// that stays in cache, and sorted column by column. Otherwise a counting
// sort drops each row index straight into its column's segment, which
// scatters its writes over the whole buffer. Either way the buffer of
// grouped rows becomes the result's row indices, so that besides the result
// only small working arrays are needed.
#include <algorithm>
#include <bit>
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

// Uninitialised working storage for count elements (at least one); a
// buffer that will be written in full has its pages made resident at once.
template <typename T>
WorkBuffer<T> workBuffer(std::size_t count, Residency residency = Residency::OnFirstUse)
{
    const std::size_t bytes = (count == 0 ? 1 : count) * sizeof(T);
    void* block = allocateUninitialised(bytes, residency);
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

// Columns of up to this many pairs are sorted by ranking each row, and
// of up to shortColumn pairs by insertion, in registers.
constexpr std::size_t rankedColumn = 16;
// Four rows compared at once.
using Lanes = std::int32_t __attribute__((vector_size(16)));
static_assert(sizeof(Lanes[4]) == rankedColumn * sizeof(std::int32_t));
constexpr std::size_t shortColumn = 24;

// Stores one column: its count rows at rows (which may be reordered) in
// ascending order, each distinct row once at out[at], out[at + 1], ... with
// its number of repeats at the same places of the repeat counts. The
// readable words from rows on (at least count) may all be read. out may be
// the array rows lie in, as long as out + at does not pass rows: no row is
// then overwritten before it is read. Returns the next free place.
std::size_t storeColumn(std::uint32_t* rows, std::size_t count, std::size_t readable, std::uint32_t* out,
                        std::size_t at, RepeatCounts& repeatCounts)
{
    if (count <= rankedColumn) {
        // Each row goes to the place given by the number of rows smaller
        // than it, so equal rows meet in one place, and the places in use
        // hold the distinct rows ascending. The counts are made without
        // branches (rows are below 2^31, the padding above every row), and
        // so is the compaction: a place not in use is written at the next
        // free place and overwritten by the next place in use or left past
        // the column's end. That write stays within the column's own pairs:
        // a place not in use means fewer distinct rows than pairs.
        std::int32_t padded[rankedColumn], placed[rankedColumn] = {};
        std::uint32_t repeats[rankedColumn] = {};
        Lanes lanes[rankedColumn / 4];
        if (readable >= rankedColumn) {
            // Sixteen words read at once, those past the column replaced by
            // the padding.
            const Lanes first = {0, 1, 2, 3}, counts = Lanes{} + static_cast<std::int32_t>(count);
            const Lanes padding = Lanes{} + INT32_MAX;
            for (std::size_t group = 0; group < rankedColumn / 4; ++group) {
                Lanes words;
                std::memcpy(&words, rows + 4 * group, sizeof words);
                const Lanes inColumn = (first + static_cast<std::int32_t>(4 * group)) < counts;
                lanes[group] = (words & inColumn) | (padding & ~inColumn);
            }
            std::memcpy(padded, lanes, sizeof padded);
        } else {
            for (std::size_t k = 0; k < rankedColumn; ++k)
                padded[k] = k < count ? static_cast<std::int32_t>(rows[k]) : INT32_MAX;
            std::memcpy(lanes, padded, sizeof lanes);
        }
        for (std::size_t k = 0; k < count; ++k) {
            const Lanes row = Lanes{} + padded[k];
            // A comparison gives -1 in the lanes of smaller rows.
            const Lanes less = (lanes[0] < row) + (lanes[1] < row) + (lanes[2] < row) + (lanes[3] < row);
            const auto smaller = static_cast<std::uint32_t>(-(less[0] + less[1] + less[2] + less[3]));
            placed[smaller] = padded[k];
            ++repeats[smaller];
        }
        for (std::size_t place = 0; place < count; ++place) {
            out[at] = static_cast<std::uint32_t>(placed[place]);
            repeatCounts.counts[at] = static_cast<std::uint8_t>(repeats[place]);
            at += repeats[place] != 0;
        }
        return at;
    }
    if (count <= shortColumn) {
        // Insertion sort that keeps one entry per row and counts repeats.
        std::uint32_t sorted[shortColumn], repeats[shortColumn];
        std::size_t distinct = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const std::uint32_t row = rows[k];
            std::size_t place = distinct;
            while (place > 0 && sorted[place - 1] > row) --place;
            if (place > 0 && sorted[place - 1] == row) {
                ++repeats[place - 1];
                continue;
            }
            for (std::size_t d = distinct; d > place; --d) {
                sorted[d] = sorted[d - 1];
                repeats[d] = repeats[d - 1];
            }
            sorted[place] = row;
            repeats[place] = 1;
            ++distinct;
        }
        for (std::size_t d = 0; d < distinct; ++d, ++at) {
            out[at] = sorted[d];
            repeatCounts.set(at, repeats[d]);
        }
        return at;
    }
    std::sort(rows, rows + count);
    for (std::size_t k = 0; k < count; ++at) {
        const std::uint32_t row = rows[k];
        std::uint32_t repeats = 1;
        for (++k; k < count && rows[k] == row; ++k) ++repeats;
        out[at] = row;
        repeatCounts.set(at, repeats);
    }
    return at;
}

// The bucketed grouping: a pair becomes the word (column offset within its
// bucket) << rowBits | row, all 0-based, and bucket b holds the columns
// b << spanBits up to ((b + 1) << spanBits) - 1.
struct BucketLayout {
    unsigned rowBits = 0;
    unsigned spanBits = 0;
    std::size_t buckets = 0;
};

// Columns per bucket at most 2^this: a bucket's column counts (16 KB) stay
// in the first-level cache.
constexpr unsigned widestSpanBits = 12;
// Buckets at most this many: more streams of writes than the caches hold
// would scatter the writes again.
constexpr std::size_t mostBuckets = 4096;
// The largest bucket is grouped in a buffer of its own; beyond this many
// pairs (as when nearly all pairs share a few columns) the bucketed
// grouping would need a second buffer as large as the first, and the
// straight counting sort is used instead.
constexpr std::size_t largestBucketPairs = std::size_t(1) << 21;

// The bucket layout for these dimensions, or buckets == 0 when a row index
// and a usable column offset do not fit in one word together.
BucketLayout bucketLayout(std::int32_t rowCount, std::int32_t colCount)
{
    BucketLayout layout;
    if (rowCount <= 0 || colCount <= 0) return layout;
    layout.rowBits = static_cast<unsigned>(std::bit_width(static_cast<std::uint32_t>(rowCount - 1)));
    layout.spanBits = std::min(widestSpanBits, 32 - layout.rowBits);
    const auto cols = static_cast<std::size_t>(colCount);
    const std::size_t buckets = (cols + (std::size_t(1) << layout.spanBits) - 1) >> layout.spanBits;
    if (buckets <= mostBuckets) layout.buckets = buckets;
    return layout;
}

// Two doubles at once, and the outcome of comparing them (-1 or 0 each).
using DoubleLanes = double __attribute__((vector_size(16)));
using TruthLanes = std::int64_t __attribute__((vector_size(16)));

// Lanes holding a whole number from 1 to top: -1 there, 0 elsewhere. Adding
// and taking away 2^52 rounds a number in range to a whole one, and changes
// it only if it was not whole; NaN fails every comparison.
TruthLanes wholeInRange(DoubleLanes value, DoubleLanes top)
{
    const DoubleLanes one = {1.0, 1.0}, shift = {4503599627370496.0, 4503599627370496.0};
    return (value >= one) & (value <= top) & (((value + shift) - shift) == value);
}

// Checks every column index, two at a time, and counts each bucket's pairs
// into bucketCount[b + 1]. The row indices are checked as the pairs are
// dropped: every index is read once only where it is needed. At the first
// bad index either read reports, like checkAndCountColumns, the first bad
// row, or if all rows are good the first bad column.
void checkColumnsAndCountBuckets(const double* rowValues, const double* colValues, std::size_t count,
                                 std::int32_t rowCount, std::int32_t colCount, unsigned spanBits,
                                 std::size_t* bucketCount)
{
    const double colTop = static_cast<double>(colCount);
    const DoubleLanes colTops = {colTop, colTop};
    std::size_t k = 0;
    for (; k + 2 <= count; k += 2) {
        DoubleLanes cols;
        std::memcpy(&cols, colValues + k, sizeof cols);
        const TruthLanes good = wholeInRange(cols, colTops);
        if ((good[0] & good[1]) == 0) reportBadIndex(rowValues, colValues, count, rowCount, colCount);
        ++bucketCount[(zeroBased(cols[0]) >> spanBits) + 1];
        ++bucketCount[(zeroBased(cols[1]) >> spanBits) + 1];
    }
    if (k < count) {
        const DoubleLanes cols = {colValues[k], 1.0};
        if (wholeInRange(cols, colTops)[0] == 0) reportBadIndex(rowValues, colValues, count, rowCount, colCount);
        ++bucketCount[(zeroBased(cols[0]) >> spanBits) + 1];
    }
}

// Checks every row index, two at a time, and drops every pair, as its word,
// into its bucket; bucketFill[b] is bucket b's fill position. The column
// indices have been checked.
void checkRowsAndDrop(const double* rowValues, const double* colValues, std::size_t count, std::int32_t rowCount,
                      std::int32_t colCount, const BucketLayout& layout, std::size_t* bucketFill,
                      std::uint32_t* words)
{
    const std::uint32_t offsetMask = (std::uint32_t(1) << layout.spanBits) - 1;
    const unsigned rowBits = layout.rowBits, spanBits = layout.spanBits;
    const auto drop = [&](double row, double col) {
        const std::uint32_t column = zeroBased(col);
        words[bucketFill[column >> spanBits]++] = ((column & offsetMask) << rowBits) | zeroBased(row);
    };
    const double rowTop = static_cast<double>(rowCount);
    const DoubleLanes rowTops = {rowTop, rowTop};
    std::size_t k = 0;
    for (; k + 2 <= count; k += 2) {
        DoubleLanes rows;
        std::memcpy(&rows, rowValues + k, sizeof rows);
        const TruthLanes good = wholeInRange(rows, rowTops);
        if ((good[0] & good[1]) == 0) reportBadIndex(rowValues, colValues, count, rowCount, colCount);
        drop(rows[0], colValues[k]);
        drop(rows[1], colValues[k + 1]);
    }
    if (k < count) {
        const DoubleLanes rows = {rowValues[k], 1.0};
        if (wholeInRange(rows, rowTops)[0] == 0) reportBadIndex(rowValues, colValues, count, rowCount, colCount);
        drop(rows[0], colValues[k]);
    }
}

// The result over the grouped rows (the front of their buffer), the column
// starts and the repeat counts; the unused ends of the rows and counts are
// given back.
kyArray* sparseResult(std::int32_t rowCount, std::int32_t colCount, WorkBuffer<std::int32_t>& colStart,
                      WorkBuffer<std::uint32_t>& rows, WorkBuffer<std::uint8_t>& repeats, std::size_t stored,
                      double value, std::vector<std::pair<std::size_t, std::uint32_t>>& manyRepeats)
{
    const std::size_t kept = stored == 0 ? 1 : stored;
    shrinkBlock(rows.get(), kept * sizeof(std::uint32_t));
    shrinkBlock(repeats.get(), kept);
    return createSparseWithPendingValues(rowCount, colCount, colStart.release(),
                                         reinterpret_cast<std::int32_t*>(rows.release()), value, repeats.release(),
                                         std::move(manyRepeats));
}

// The bucketed build (see the top of this file). Returns null, having
// checked at most the column indices, when the dimensions do not allow it
// or the largest bucket is too large.
kyArray* buildBucketed(const double* rowValues, const double* colValues, std::size_t nnz, std::int32_t rowCount,
                       std::int32_t colCount, double value)
{
    const BucketLayout layout = bucketLayout(rowCount, colCount);
    if (layout.buckets == 0 || nnz == 0) return nullptr;
    const auto cols = static_cast<std::size_t>(colCount);

    // Bucket starts, from the counts of the read that checks the columns.
    std::vector<std::size_t> bucketStart(layout.buckets + 1, 0);
    checkColumnsAndCountBuckets(rowValues, colValues, nnz, rowCount, colCount, layout.spanBits, bucketStart.data());
    std::size_t largest = 0;
    for (std::size_t b = 0; b < layout.buckets; ++b) {
        largest = std::max(largest, bucketStart[b + 1]);
        bucketStart[b + 1] += bucketStart[b];
    }
    if (largest > largestBucketPairs) return nullptr;

    auto* wordBlock = static_cast<std::uint32_t*>(allocateUninitialised(nnz * sizeof(std::uint32_t), Residency::AtOnce));
    if (wordBlock == nullptr) {
        // Bad indices are reported first, whatever else goes wrong.
        checkIndices(rowValues, nnz, rowCount, "row");
        raiseError("Out of memory: sparse cannot allocate " + std::to_string(nnz * sizeof(std::uint32_t)) +
                   " bytes.");
    }
    WorkBuffer<std::uint32_t> words(wordBlock);
    {
        std::vector<std::size_t> bucketFill(bucketStart.begin(), bucketStart.end() - 1);
        checkRowsAndDrop(rowValues, colValues, nnz, rowCount, colCount, layout, bucketFill.data(), words.get());
    }

    // Bucket by bucket: group its rows by column into bucketRows, then store
    // each column's distinct rows ascending at the front of words. A
    // bucket's rows are all copied out before any of its columns is stored,
    // and the stored entries never outnumber the pairs of the buckets done,
    // so storing never overwrites a word still to be read.
    // Room for reading a whole short column from any place (storeColumn).
    WorkBuffer<std::uint32_t> bucketRows = workBuffer<std::uint32_t>(largest + rankedColumn);
    std::fill(bucketRows.get() + largest, bucketRows.get() + largest + rankedColumn, 0u);
    WorkBuffer<std::int32_t> colStart = workBuffer<std::int32_t>(cols + 1, Residency::AtOnce);
    WorkBuffer<std::uint8_t> repeats = workBuffer<std::uint8_t>(nnz);
    std::vector<std::pair<std::size_t, std::uint32_t>> manyRepeats;
    RepeatCounts repeatCounts{repeats.get(), manyRepeats};
    std::vector<std::uint32_t> columnEnd((std::size_t(1) << layout.spanBits) + 1);
    const std::uint32_t rowMask = static_cast<std::uint32_t>((std::uint64_t(1) << layout.rowBits) - 1);
    const unsigned rowBits = layout.rowBits;
    colStart[0] = 0;
    std::size_t stored = 0;
    for (std::size_t b = 0; b < layout.buckets; ++b) {
        const std::size_t firstColumn = b << layout.spanBits;
        const std::size_t span = std::min(std::size_t(1) << layout.spanBits, cols - firstColumn);
        const std::uint32_t* bucket = words.get() + bucketStart[b];
        const std::size_t pairs = bucketStart[b + 1] - bucketStart[b];
        // Counting sort by column offset; columnEnd[o] serves as column o's
        // fill position and ends where column o + 1 starts.
        std::fill(columnEnd.begin(), columnEnd.begin() + static_cast<std::ptrdiff_t>(span) + 1, 0u);
        for (std::size_t k = 0; k < pairs; ++k) ++columnEnd[(bucket[k] >> rowBits) + 1];
        for (std::size_t o = 1; o <= span; ++o) columnEnd[o] += columnEnd[o - 1];
        for (std::size_t k = 0; k < pairs; ++k) bucketRows[columnEnd[bucket[k] >> rowBits]++] = bucket[k] & rowMask;
        std::uint32_t begin = 0;
        for (std::size_t o = 0; o < span; ++o) {
            const std::uint32_t end = columnEnd[o];
            stored = storeColumn(bucketRows.get() + begin, end - begin, largest + rankedColumn - begin, words.get(),
                                 stored, repeatCounts);
            colStart[firstColumn + o + 1] = static_cast<std::int32_t>(stored);
            begin = end;
        }
    }
    return sparseResult(rowCount, colCount, colStart, words, repeats, stored, value, manyRepeats);
}

// The straight counting sort (see the top of this file).
kyArray* buildScattered(const double* rowValues, const double* colValues, std::size_t nnz, std::int32_t rowCount,
                        std::int32_t colCount, double value)
{
    const auto cols = static_cast<std::size_t>(colCount);
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
    WorkBuffer<std::uint32_t> grouped = workBuffer<std::uint32_t>(nnz, Residency::AtOnce);
    groupRows(rowValues, colValues, nnz, segment.get(), grouped.get());

    // Each column's rows ascending, each distinct pair once with the number
    // of its repeats. The rows move to the front of their buffer, which
    // becomes the result's row indices; the counts go to a block with room
    // for every pair, whose unused end is never touched.
    WorkBuffer<std::int32_t> colStart = workBuffer<std::int32_t>(cols + 1, Residency::AtOnce);
    WorkBuffer<std::uint8_t> repeats = workBuffer<std::uint8_t>(nnz);
    std::vector<std::pair<std::size_t, std::uint32_t>> manyRepeats;
    RepeatCounts repeatCounts{repeats.get(), manyRepeats};
    colStart[0] = 0;
    std::size_t stored = 0;
    std::size_t begin = 0;
    for (std::size_t c = 0; c < cols; ++c) {
        const std::size_t end = segment[c];
        stored = storeColumn(grouped.get() + begin, end - begin, nnz - begin, grouped.get(), stored, repeatCounts);
        colStart[c + 1] = static_cast<std::int32_t>(stored);
        begin = end;
    }
    return sparseResult(rowCount, colCount, colStart, grouped, repeats, stored, value, manyRepeats);
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
    const double* rowValues = static_cast<const double*>(rowsIn->data);
    const double* colValues = static_cast<const double*>(colsIn->data);
    if (kyArray* built = buildBucketed(rowValues, colValues, nnz, rowCount, colCount, value)) {
        outputs[0] = built;
        return;
    }
    outputs[0] = buildScattered(rowValues, colValues, nnz, rowCount, colCount, value);
}

}  // namespace ky
