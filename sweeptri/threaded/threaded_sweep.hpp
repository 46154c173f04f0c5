// The sweep as a plain C++ function that any number of threads may run at
// once: the same sources as the plug-in, built with one instance of the
// call state per thread and with the call's memory from a per-call arena.
// The rows are exactly the plug-in's, in its order, 0-based.
#pragma once

#include <cstdint>
#include <vector>

namespace sweeptri::threaded {

struct SweepRows {
    std::vector<std::int32_t> corners;  // 3 per triangle: 0-based positions into x/y, exactly the
                                        // plug-in's rows and row order (clockwise), minus one
    bool collinearWarned = false;       // the plug-in would have printed its collinear warning
};

// Safe to call from any number of threads at once. The caller guarantees
// 0 <= n <= 2^31-1 and finite coordinates; repeated points give
// std::invalid_argument("x-y data must be unique"). Any other failure of the
// plug-in's checks throws std::runtime_error with the plug-in's message;
// running out of memory throws std::bad_alloc.
SweepRows triangulate(const double* x, const double* y, std::int32_t n);

// For threads that run one sweep after another (a tiler's workers): the
// memory of a finished call is kept for the thread's next calls instead of
// going back to the system, and goes back when the thread ends. Fresh pages
// cost the kernel's clearing on first touch, reuse a memset.
void keepMemoryOnThisThread();

}  // namespace sweeptri::threaded
