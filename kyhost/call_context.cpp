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
    for (void* block : context_.memory) std::free(block);
    for (kyArray* array : context_.arrays) freeArray(array);
}

bool CallScope::owns(const kyArray* array) const noexcept
{
    return context_.arrays.count(const_cast<kyArray*>(array)) != 0;
}

kyArray* CallScope::keep(kyArray* array) noexcept
{
    context_.arrays.erase(array);
    return array;
}

void adoptArray(kyArray* array)
{
    if (runningCall == nullptr) return;
    try {
        runningCall->arrays.insert(array);
    } catch (...) {
        freeArray(array);
        raiseError("Out of memory while recording a new array.");
    }
}

}  // namespace ky
