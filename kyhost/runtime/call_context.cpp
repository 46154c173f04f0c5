#include "call_context.hpp"

#include <cstdlib>

namespace ky {

namespace {
CallContext* runningCall = nullptr;
}

void raiseError(const std::string& message) { throw CallError(message); }

CallContext* currentCall() noexcept { return runningCall; }

CallScope::CallScope(WarningSink onWarning) : previous_(runningCall)
{
    context_.onWarning = std::move(onWarning);
    runningCall = &context_;
}

CallScope::~CallScope()
{
    runningCall = previous_;
    for (const auto& [block, about] : context_.memory)
        if (!about.carved) releaseBlock(block);
    for (kyArray* array : context_.arrays) freeArray(array);
}

bool CallScope::owns(const kyArray* array) const noexcept
{
    return context_.arrays.count(const_cast<kyArray*>(array)) != 0;
}

kyArray* CallScope::keep(kyArray* array) noexcept
{
    if (context_.arrays.erase(array) != 0) context_.removeBytes(storageBytes(array));
    return array;
}

std::size_t storageBytes(const kyArray* array) noexcept
{
    if (array->borrowed) return sizeof(kyArray);
    std::size_t bytes = sizeof(kyArray) + array->capacity * elementSize(array->arrayClass);
    if (array->arrayClass == ArrayClass::Sparse)
        bytes += array->capacity * sizeof(std::int32_t) + (static_cast<std::size_t>(array->n) + 1) * sizeof(std::int32_t);
    return bytes;
}

void releaseArray(CallContext& call, kyArray* array) noexcept
{
    if (call.arrays.erase(array) != 0) call.removeBytes(storageBytes(array));
    freeArray(array);
}

void adoptArray(kyArray* array)
{
    if (runningCall == nullptr) return;
    try {
        runningCall->arrays.insert(array);
        runningCall->addBytes(storageBytes(array));
    } catch (...) {
        freeArray(array);
        raiseError("Out of memory while recording a new array.");
    }
}

}  // namespace ky
