// Running one call of a plug-in or host function the way the host does:
// output slots, ownership, warnings and the error that ends a call.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "call_context.hpp"
#include "host_array.hpp"
#include "kyx.h"

namespace ky {

struct CallOutcome {
    ArrayHandle result;                 // output slot 0, now host-owned (may be empty)
    std::vector<ArrayHandle> moreResults;  // slots 1 to outputCount-1 (entries may be empty)
    std::vector<std::string> warnings;  // in the order issued
    std::optional<std::string> error;   // set when the call ended in an error
    double seconds = 0;                 // wall time of the call
    std::size_t peakBytes = 0;          // most host memory the call held at once
};

// Calls entry with outputCount requested outputs (at least one slot is
// always given) and the inputs, which stay the caller's. Warnings are also
// passed to onWarning as they are issued; when the memory of a borrowed
// input differs after onWarning has returned, the call ends with an error.
// Nothing the call allocated outlives it except the results in the slots.
// An exception of any kind that leaves the entry point ends the call as an
// error; it never reaches the caller. The one exception thrown is
// InputChanged (mapped_input_guard.hpp), when a guarded input mapping or
// the memory of a borrowed input lost its file's pages during the call.
CallOutcome runCall(kyxFunctionType entry, int outputCount, std::span<const kyArray* const> inputs,
                    const WarningSink& onWarning = {});

}  // namespace ky
