// The running plug-in call: what it owns, the warnings it issued, and the
// error that ends it.
//
// A call ends early through ky::CallError, a C++ exception that kyxErrMsgTxt
// and every host error throw and the call runner catches. An exception was
// chosen over setjmp/longjmp because it runs the destructors of C++ frames
// inside the plug-in (and of the host's own frames in between), so nothing
// that a plug-in holds in RAII objects leaks or is left half-updated; the
// memory a plug-in took from the host is reclaimed by the CallScope whatever
// way the call ends.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "host_array.hpp"
#include "host_memory.hpp"

namespace ky {

class CallError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Ends the running call (or, outside a call, the host operation) with a
// host error.
[[noreturn]] void raiseError(const std::string& message);

using WarningSink = std::function<void(const std::string&)>;

class CallContext {
public:
    struct Block {
        std::size_t bytes;
        bool carved;  // from the arena
    };
    std::unordered_map<void*, Block> memory;  // kyCalloc blocks
    CallArena arena;
    std::unordered_set<kyArray*> arrays;            // arrays created during the call
    std::unordered_set<const kyArray*> inputs;  // arrays the call was given
    std::vector<std::string> warnings;
    WarningSink onWarning;
    // Bytes of host memory (blocks and arrays) the call holds now, and the
    // most it held at once.
    std::size_t bytesHeld = 0;
    std::size_t peakBytes = 0;

    void addBytes(std::size_t bytes) noexcept
    {
        bytesHeld += bytes;
        if (bytesHeld > peakBytes) peakBytes = bytesHeld;
    }
    void removeBytes(std::size_t bytes) noexcept { bytesHeld -= bytes; }
};

// The running call, or null when no call runs.
CallContext* currentCall() noexcept;

// Makes a call current for its lifetime and reclaims, when it ends, every
// block and array the call still owns (also after an error). An array the
// host keeps, such as the result, is taken out with keep().
class CallScope {
public:
    explicit CallScope(WarningSink onWarning);
    ~CallScope();
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

    CallContext& context() noexcept { return context_; }
    // True when the call created this array and has not freed it.
    bool owns(const kyArray* array) const noexcept;
    // Hands an array the call owns over to the host.
    kyArray* keep(kyArray* array) noexcept;

private:
    CallContext context_;
    CallContext* previous_;
};

// Registers an array with the running call, if any.
void adoptArray(kyArray* array);

// Frees an array the running call owns and takes it off the call's books.
void releaseArray(CallContext& call, kyArray* array) noexcept;

// Bytes of storage an array holds.
std::size_t storageBytes(const kyArray* array) noexcept;

}  // namespace ky
