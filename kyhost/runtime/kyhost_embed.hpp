// Owning handles for C++ front ends of the embedding interface.
#pragma once

#include <memory>

#include "kyhost_embed.h"
#include "kyx.h"

namespace kyhost {

struct CallDeleter {
    void operator()(kyhostCall* call) const noexcept { kyhostCallFree(call); }
};
// A call record; frees its results unless they were taken.
using CallRecord = std::unique_ptr<kyhostCall, CallDeleter>;

struct ArrayDeleter {
    void operator()(kyArray* array) const noexcept { kyhostFreeArray(array); }
};
// An array the caller owns.
using OwnedArray = std::unique_ptr<kyArray, ArrayDeleter>;

// A function that the embedding program links in itself (plug-in code
// built into a front end), to be run with kyhostRun as plug-ins are: in a
// host call, with its memory, warnings and errors. name tells functions
// apart; its library is "".
KYHOST_EMBED_API kyhostFunction* linkedFunction(kyxFunctionType entry, const char* name);

}  // namespace kyhost
