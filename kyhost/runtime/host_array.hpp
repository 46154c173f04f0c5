// The host's array record and the C++ interface through which the host
// itself creates, inspects and frees arrays. Plug-ins see only the opaque
// handle of ky.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "ky.h"

namespace ky {

enum class ArrayClass : std::uint8_t { Double, Char, Uint8, Sparse };

// The values of a sparse array that nobody has asked for yet: stored entry
// k holds value added to itself once per repeat of its pair, repeats[k]
// times (repeats of 255 and more are kept in overflow, by ascending entry).
// One byte per entry stands in for eight until the values are read.
struct PendingValues;

}  // namespace ky

struct kyArray {
    ky::ArrayClass arrayClass;
    std::int32_t m;
    std::int32_t n;
    // Full arrays: element capacity (kySetM may shrink m below it).
    // Sparse: number of entries the row-index and value storage can hold.
    std::size_t capacity;
    // Doubles (Double, Sparse values) or bytes (Char, Uint8). A sparse
    // array with pending values has none here until arrayData makes them.
    void* data;
    std::int32_t* ir;     // sparse row indices, capacity entries
    std::int32_t* jc;     // sparse column starts, n + 1 entries
    // The storage belongs to someone else (a mapped file, a caller's
    // buffer) who keeps it alive for as long as the array lives: freeing the
    // array frees only the record.
    bool borrowed;
    ky::PendingValues* pending;  // sparse values not made yet, or null
};

namespace ky {

// Largest element count of a full array, so that every count fits int32_t.
constexpr std::int64_t maxElements = INT32_MAX;

// Creators. Each throws ky::CallError (see call_context.hpp) when the size
// is negative or too large or the memory cannot be had. Arrays created
// while a call runs belong to that call; otherwise to the caller.
kyArray* createDouble(std::int32_t m, std::int32_t n);
kyArray* createUint8(std::int32_t m, std::int32_t n);
kyArray* createChar(std::string_view text);                  // 1-by-len
kyArray* createCharMatrix(std::int32_t m, std::int32_t n);   // zero bytes
kyArray* createSparse(std::int32_t m, std::int32_t n, std::size_t capacity);
kyArray* duplicate(const kyArray* array);

// Arrays over storage that the caller owns and keeps alive, unchanged, for
// the array's lifetime; nothing is copied. Full arrays: data holds m*n
// elements in column-major order. Sparse: jc holds n+1 column starts,
// ir and values jc[n] entries each. The caller vouches for the layout
// (sizes, and for sparse arrays ascending column starts from 0 with rows
// in range); the creators check only the dimensions.
kyArray* createBorrowed(ArrayClass c, std::int32_t m, std::int32_t n, void* data);
kyArray* createBorrowedSparse(std::int32_t m, std::int32_t n, std::int32_t* jc, std::int32_t* ir,
                              double* values);

// A sparse array that takes over storage from allocateZeroed or
// allocateUninitialised (host_memory.hpp): jc with n+1 column starts, ir and
// values with at least jc[n] entries each, freed with the array (also when
// the creator throws). The caller vouches for the layout.
kyArray* createSparseFrom(std::int32_t m, std::int32_t n, std::int32_t* jc, std::int32_t* ir, double* values);

// A sparse array like createSparseFrom's whose values are made only when
// arrayData is first asked for them: entry k's value is value added to
// itself, one addition after another, until it has been counted
// repeats[k] times. repeats (from allocateUninitialised, at least jc[n]
// bytes) is taken over; a count of 255 or more is written as 255 and given
// in overflow, as (entry, count) by ascending entry.
kyArray* createSparseWithPendingValues(std::int32_t m, std::int32_t n, std::int32_t* jc, std::int32_t* ir,
                                       double value, std::uint8_t* repeats,
                                       std::vector<std::pair<std::size_t, std::uint32_t>> overflow);

// The array's element storage (kyGetPr): for a sparse array whose values
// are pending, they are made now, once. Throws ky::CallError when the
// memory cannot be had.
void* arrayData(const kyArray* array);

// value added to itself, one addition after another, until it has been
// counted repeats times.
double summedRepeats(double value, std::uint32_t repeats) noexcept;

// Frees an array and its storage, with no ownership check.
void freeArray(kyArray* array) noexcept;

std::int64_t elementCount(const kyArray* array) noexcept;  // m*n, not clamped
std::size_t elementSize(ArrayClass c) noexcept;           // bytes per element
const char* className(ArrayClass c) noexcept;              // "double", "char", ...

struct ArrayDeleter {
    void operator()(kyArray* array) const noexcept { freeArray(array); }
};
// A host-owned array.
using ArrayHandle = std::unique_ptr<kyArray, ArrayDeleter>;

}  // namespace ky
