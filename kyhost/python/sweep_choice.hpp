// Which build of the thread-safe sweep the package's tiles run: the one in
// the module of its own (static TLS, faster) when it loads, the one linked
// into the package otherwise.
#pragma once

#include <cstdint>

#include "threaded_sweep.hpp"

namespace kyhost_python {

struct SweepChoice {
    sweeptri::threaded::SweepRows (*triangulate)(const double* x, const double* y, std::int32_t n);
    void (*keepMemoryOnThisThread)();
    const char* build;  // "static-tls" or "dynamic-tls"
};

// Chosen once per process. KY_STATIC_TLS_SWEEP=0 chooses the linked-in
// build (for comparisons).
const SweepChoice& sweepChoice();

}  // namespace kyhost_python
