// Owning handles for C++ front ends of the embedding interface.
#pragma once

#include <memory>

#include "kyhost_embed.h"

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

}  // namespace kyhost
