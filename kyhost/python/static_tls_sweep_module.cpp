// The sweep for the package's threads in a module of its own, built to
// address its per-thread state at a fixed offset from the thread pointer.
// Loaded by sweep_choice.cpp when the tiles first need it; where the
// process has no room left for the module's static TLS the load fails and
// the package uses the sweep linked into it instead, which asks the dynamic
// linker for its state in every call. Both give the same rows.
#include <cstdint>

#include "threaded_sweep.hpp"

#define KY_SWEEP_EXPORT extern "C" __attribute__((visibility("default")))

// The rows go to *rows; failures are the sweep's own exceptions.
KY_SWEEP_EXPORT void kyhost_static_tls_sweep(const double* x, const double* y, std::int32_t n,
                                             sweeptri::threaded::SweepRows* rows)
{
    *rows = sweeptri::threaded::triangulate(x, y, n);
}

KY_SWEEP_EXPORT void kyhost_static_tls_keep_memory() { sweeptri::threaded::keepMemoryOnThisThread(); }
