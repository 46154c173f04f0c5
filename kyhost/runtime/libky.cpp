// The array library's C interface (ky.h). Every handle is checked for null
// and every size for range; a violation ends the running call with a host
// error instead of corrupting memory.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "call_context.hpp"
#include "host_array.hpp"
#include "host_memory.hpp"
#include "ky.h"

namespace {

const kyArray* checked(const kyArray* array, const char* operation)
{
    if (array == nullptr) ky::raiseError(std::string(operation) + ": the array handle is null.");
    return array;
}

}  // namespace

extern "C" {

int32_t kyGetM(const kyArray* array) { return checked(array, "kyGetM")->m; }

int32_t kyGetN(const kyArray* array) { return checked(array, "kyGetN")->n; }

int32_t kyGetNumberOfElements(const kyArray* array)
{
    return static_cast<int32_t>(std::min<int64_t>(ky::elementCount(checked(array, "kyGetNumberOfElements")),
                                                  ky::maxElements));
}

double* kyGetPr(const kyArray* array) { return static_cast<double*>(ky::arrayData(checked(array, "kyGetPr"))); }

int32_t* kyGetIr(const kyArray* array) { return checked(array, "kyGetIr")->ir; }

int32_t* kyGetJc(const kyArray* array) { return checked(array, "kyGetJc")->jc; }

bool kyIsChar(const kyArray* array) { return checked(array, "kyIsChar")->arrayClass == ky::ArrayClass::Char; }

bool kyIsUint8(const kyArray* array) { return checked(array, "kyIsUint8")->arrayClass == ky::ArrayClass::Uint8; }

bool kyIsSparse(const kyArray* array)
{
    return checked(array, "kyIsSparse")->arrayClass == ky::ArrayClass::Sparse;
}

int kyGetString(const kyArray* array, char* buffer, int32_t size)
{
    checked(array, "kyGetString");
    if (buffer == nullptr || size <= 0) return 1;
    if (array->arrayClass != ky::ArrayClass::Char) {
        buffer[0] = '\0';
        return 1;
    }
    const int64_t length = ky::elementCount(array);
    const int64_t copied = std::min<int64_t>(length, static_cast<int64_t>(size) - 1);
    std::memcpy(buffer, array->data, static_cast<size_t>(copied));
    buffer[copied] = '\0';
    // A text with a NUL byte inside has no C string: the buffer would end
    // it early, and the caller would read another text than the one given.
    const bool inner = length > 0 && std::memchr(array->data, '\0', static_cast<size_t>(length)) != nullptr;
    return copied == length && !inner ? 0 : 1;
}

kyArray* kyCreateDoubleMatrix(int32_t m, int32_t n, int complexity)
{
    if (complexity != kyREAL) ky::raiseError("kyCreateDoubleMatrix: only real matrices are supported.");
    return ky::createDouble(m, n);
}

void kySetM(kyArray* array, int32_t m)
{
    checked(array, "kySetM");
    if (array->arrayClass == ky::ArrayClass::Sparse)
        ky::raiseError("kySetM: the row count of a sparse matrix cannot be changed.");
    if (m < 0) ky::raiseError("kySetM: the row count must be non-negative.");
    if (static_cast<uint64_t>(m) * static_cast<uint64_t>(array->n) > array->capacity)
        ky::raiseError("kySetM: " + std::to_string(m) + " rows exceed the array's storage.");
    array->m = m;
}

void kyDestroyArray(kyArray* array)
{
    if (array == nullptr) return;
    ky::CallContext* call = ky::currentCall();
    if (call == nullptr) {
        ky::freeArray(array);
        return;
    }
    if (call->arrays.count(array) == 0) {
        if (call->inputs.count(array) != 0)
            ky::raiseError("kyDestroyArray: an input array belongs to the caller and cannot be destroyed.");
        ky::raiseError("kyDestroyArray: the array was not created by this call or was already destroyed.");
    }
    ky::releaseArray(*call, array);
}

void* kyCalloc(size_t count, size_t size)
{
    if (size != 0 && count > SIZE_MAX / size)
        ky::raiseError("kyCalloc: " + std::to_string(count) + " times " + std::to_string(size) +
                       " bytes exceeds the addressable memory.");
    ky::CallContext* call = ky::currentCall();
    if (call == nullptr) ky::raiseError("kyCalloc: no plug-in call is running.");
    const size_t bytes = count * size;
    const bool carved = ky::CallArena::serves(bytes);
    void* block = carved ? call->arena.allocateZeroed(bytes) : ky::allocateZeroed(count, size);
    if (block == nullptr)
        ky::raiseError("Out of memory: kyCalloc cannot allocate " + std::to_string(count * size) + " bytes.");
    try {
        call->memory.emplace(block, ky::CallContext::Block{bytes, carved});
        call->addBytes(bytes);
    } catch (...) {
        if (!carved) ky::releaseBlock(block);
        ky::raiseError("Out of memory while recording a kyCalloc block.");
    }
    return block;
}

void kyFree(void* pointer)
{
    if (pointer == nullptr) return;
    ky::CallContext* call = ky::currentCall();
    const auto block = call == nullptr ? decltype(call->memory)::iterator{} : call->memory.find(pointer);
    if (call == nullptr || block == call->memory.end())
        ky::raiseError("kyFree: the memory was not allocated with kyCalloc in this call or was already freed.");
    call->removeBytes(block->second.bytes);
    const bool carved = block->second.carved;
    call->memory.erase(block);
    if (carved)
        call->arena.release(pointer);
    else
        ky::releaseBlock(pointer);
}

}  // extern "C"
