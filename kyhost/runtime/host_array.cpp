#include "host_array.hpp"

#include <cstdlib>
#include <cstring>
#include <string>

#include "call_context.hpp"
#include "host_memory.hpp"

namespace ky {

struct PendingValues {
    double value;
    std::uint8_t* repeats;
    std::vector<std::pair<std::size_t, std::uint32_t>> overflow;
};

namespace {

constexpr std::uint8_t manyRepeats = 255;

void discardPending(kyArray* array) noexcept
{
    if (array->pending == nullptr) return;
    releaseBlock(array->pending->repeats);
    delete array->pending;
    array->pending = nullptr;
}

// Makes the pending values of a sparse array; they replace the repeat
// counts.
void makeValues(kyArray* array)
{
    const PendingValues& pending = *array->pending;
    const std::size_t count = array->capacity;
    auto* values = static_cast<double*>(allocateUninitialised(count * sizeof(double), Residency::AtOnce));
    if (values == nullptr)
        raiseError("Out of memory: cannot make the " + std::to_string(count) + " values of a sparse matrix.");
    auto many = pending.overflow.begin();
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint8_t repeats = pending.repeats[k];
        if (repeats == 1) {
            values[k] = pending.value;
        } else if (repeats < manyRepeats) {
            values[k] = summedRepeats(pending.value, repeats);
        } else {
            while (many->first < k) ++many;
            values[k] = summedRepeats(pending.value, many->second);
        }
    }
    array->data = values;
    discardPending(array);
}

// Zeroed storage of count elements of size bytes; at least one byte, so that
// an empty array still has a distinct, valid pointer.
void* zeroedStorage(std::size_t count, std::size_t size)
{
    void* p = std::calloc(count == 0 ? 1 : count, size == 0 ? 1 : size);
    if (p == nullptr) raiseError("Out of memory: cannot allocate " + std::to_string(count * size) + " bytes.");
    return p;
}

void checkSize(std::int32_t m, std::int32_t n)
{
    if (m < 0 || n < 0)
        raiseError("Array dimensions must be non-negative (got " + std::to_string(m) + "-by-" +
                   std::to_string(n) + ").");
    if (static_cast<std::int64_t>(m) * n > maxElements)
        raiseError("Requested " + std::to_string(m) + "-by-" + std::to_string(n) +
                   " array exceeds the maximum array size.");
}

kyArray* createFull(ArrayClass c, std::int32_t m, std::int32_t n)
{
    checkSize(m, n);
    const std::size_t count = static_cast<std::size_t>(m) * static_cast<std::size_t>(n);
    auto* array = static_cast<kyArray*>(zeroedStorage(1, sizeof(kyArray)));
    array->arrayClass = c;
    array->m = m;
    array->n = n;
    array->capacity = count;
    // Full arrays are made to be filled: their pages come all at once.
    array->data = allocateZeroed(count, elementSize(c), Residency::AtOnce);
    if (array->data == nullptr) {
        std::free(array);
        raiseError("Out of memory: cannot allocate a " + std::to_string(m) + "-by-" + std::to_string(n) +
                   " array.");
    }
    adoptArray(array);
    return array;
}

}  // namespace

std::size_t elementSize(ArrayClass c) noexcept
{
    return (c == ArrayClass::Double || c == ArrayClass::Sparse) ? sizeof(double) : 1;
}

const char* className(ArrayClass c) noexcept
{
    switch (c) {
    case ArrayClass::Double: return "double";
    case ArrayClass::Char: return "char";
    case ArrayClass::Uint8: return "uint8";
    case ArrayClass::Sparse: return "sparse";
    }
    return "unknown";
}

std::int64_t elementCount(const kyArray* array) noexcept
{
    return static_cast<std::int64_t>(array->m) * array->n;
}

kyArray* createDouble(std::int32_t m, std::int32_t n) { return createFull(ArrayClass::Double, m, n); }
kyArray* createUint8(std::int32_t m, std::int32_t n) { return createFull(ArrayClass::Uint8, m, n); }
kyArray* createCharMatrix(std::int32_t m, std::int32_t n) { return createFull(ArrayClass::Char, m, n); }

kyArray* createChar(std::string_view text)
{
    if (text.size() > static_cast<std::size_t>(maxElements)) raiseError("Text exceeds the maximum array size.");
    kyArray* array = createFull(ArrayClass::Char, 1, static_cast<std::int32_t>(text.size()));
    if (!text.empty()) std::memcpy(array->data, text.data(), text.size());
    return array;
}

kyArray* createSparse(std::int32_t m, std::int32_t n, std::size_t capacity)
{
    if (m < 0 || n < 0) raiseError("Sparse matrix dimensions must be non-negative.");
    if (capacity > static_cast<std::size_t>(INT32_MAX))
        raiseError("Sparse matrix has more entries than the host can index.");
    auto* array = static_cast<kyArray*>(zeroedStorage(1, sizeof(kyArray)));
    array->arrayClass = ArrayClass::Sparse;
    array->m = m;
    array->n = n;
    array->capacity = capacity;
    array->data = allocateZeroed(capacity, sizeof(double));
    array->ir = static_cast<std::int32_t*>(allocateZeroed(capacity, sizeof(std::int32_t)));
    array->jc = static_cast<std::int32_t*>(allocateZeroed(static_cast<std::size_t>(n) + 1, sizeof(std::int32_t)));
    if (array->data == nullptr || array->ir == nullptr || array->jc == nullptr) {
        freeArray(array);
        raiseError("Out of memory: cannot allocate a sparse matrix with " + std::to_string(capacity) +
                   " entries.");
    }
    adoptArray(array);
    return array;
}

kyArray* createSparseFrom(std::int32_t m, std::int32_t n, std::int32_t* jc, std::int32_t* ir, double* values)
{
    auto* array = static_cast<kyArray*>(std::calloc(1, sizeof(kyArray)));
    if (array == nullptr || m < 0 || n < 0 || jc[n] < 0) {
        std::free(array);
        releaseBlock(jc);
        releaseBlock(ir);
        releaseBlock(values);
        if (array == nullptr) raiseError("Out of memory: cannot allocate a sparse matrix.");
        raiseError("Sparse matrix dimensions and column starts must be non-negative.");
    }
    array->arrayClass = ArrayClass::Sparse;
    array->m = m;
    array->n = n;
    array->capacity = static_cast<std::size_t>(jc[n]);
    array->data = values;
    array->ir = ir;
    array->jc = jc;
    adoptArray(array);
    return array;
}

kyArray* createSparseWithPendingValues(std::int32_t m, std::int32_t n, std::int32_t* jc, std::int32_t* ir,
                                       double value, std::uint8_t* repeats,
                                       std::vector<std::pair<std::size_t, std::uint32_t>> overflow)
{
    PendingValues* pending = nullptr;
    try {
        pending = new PendingValues{value, repeats, std::move(overflow)};
    } catch (...) {
        releaseBlock(jc);
        releaseBlock(ir);
        releaseBlock(repeats);
        raiseError("Out of memory: cannot allocate a sparse matrix.");
    }
    kyArray* array = nullptr;
    try {
        array = createSparseFrom(m, n, jc, ir, nullptr);
    } catch (...) {
        releaseBlock(repeats);
        delete pending;
        throw;
    }
    array->pending = pending;
    return array;
}

void* arrayData(const kyArray* array)
{
    if (array->pending != nullptr) makeValues(const_cast<kyArray*>(array));
    return array->data;
}

double summedRepeats(double value, std::uint32_t repeats) noexcept
{
    double sum = value;
    for (std::uint32_t r = 1; r < repeats; ++r) sum += value;
    return sum;
}

kyArray* duplicate(const kyArray* source)
{
    if (source->arrayClass == ArrayClass::Sparse) {
        arrayData(source);
        kyArray* copy = createSparse(source->m, source->n, source->capacity);
        std::memcpy(copy->jc, source->jc, (static_cast<std::size_t>(source->n) + 1) * sizeof(std::int32_t));
        std::memcpy(copy->ir, source->ir, source->capacity * sizeof(std::int32_t));
        std::memcpy(copy->data, source->data, source->capacity * sizeof(double));
        return copy;
    }
    kyArray* copy = createFull(source->arrayClass, source->m, source->n);
    std::memcpy(copy->data, source->data, static_cast<std::size_t>(elementCount(source)) *
                                              elementSize(source->arrayClass));
    return copy;
}

kyArray* createBorrowed(ArrayClass c, std::int32_t m, std::int32_t n, void* data)
{
    if (c == ArrayClass::Sparse) raiseError("A sparse array needs column starts and row indices.");
    checkSize(m, n);
    auto* array = static_cast<kyArray*>(zeroedStorage(1, sizeof(kyArray)));
    array->arrayClass = c;
    array->m = m;
    array->n = n;
    array->capacity = static_cast<std::size_t>(m) * static_cast<std::size_t>(n);
    array->data = data;
    array->borrowed = true;
    adoptArray(array);
    return array;
}

kyArray* createBorrowedSparse(std::int32_t m, std::int32_t n, std::int32_t* jc, std::int32_t* ir,
                              double* values)
{
    if (m < 0 || n < 0) raiseError("Sparse matrix dimensions must be non-negative.");
    if (jc[n] < 0) raiseError("Sparse matrix column starts must not be negative.");
    auto* array = static_cast<kyArray*>(zeroedStorage(1, sizeof(kyArray)));
    array->arrayClass = ArrayClass::Sparse;
    array->m = m;
    array->n = n;
    array->capacity = static_cast<std::size_t>(jc[n]);
    array->data = values;
    array->ir = ir;
    array->jc = jc;
    array->borrowed = true;
    adoptArray(array);
    return array;
}

void freeArray(kyArray* array) noexcept
{
    if (array == nullptr) return;
    if (array->borrowed) {
        std::free(array);
        return;
    }
    discardPending(array);
    releaseBlock(array->data);
    releaseBlock(array->ir);
    releaseBlock(array->jc);
    std::free(array);
}

}  // namespace ky
