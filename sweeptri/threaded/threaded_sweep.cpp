#include "threaded/threaded_sweep.hpp"

#include <stdexcept>

#include "host_services.hpp"
#include "sweep_state.hpp"
#include "threaded/call_arena.hpp"
#include "triangulate_call.hpp"

namespace sweeptri::threaded {

SweepRows triangulate(const double* x, const double* y, std::int32_t n)
{
    if (n < 0) throw std::invalid_argument("point count must not be negative");
    CallArena arena;
    // The plug-in's own call on the caller's coordinates, borrowed as two
    // n-by-1 inputs: the same checks, ordering, scaling and certified sweep.
    ArenaMatrix xArray{n, 1, const_cast<double*>(x)};
    ArenaMatrix yArray{n, 1, const_cast<double*>(y)};
    const kyArray* inputs[2] = {&xArray, &yArray};
    kyArray* outputs[1] = {nullptr};
    triangulateCall(1, outputs, 2, inputs);

    // Rows column by column, 1-based positions held as doubles.
    const kyArray* result = outputs[0];
    const auto rows = static_cast<std::size_t>(kyGetM(result));
    const double* first = kyGetPr(result);
    const double* second = first + rows;
    const double* third = second + rows;
    SweepRows out;
    out.collinearWarned = collinearWarned;
    // The rows outlive the call (a tile keeps them), so they are fresh
    // memory: on huge pages it faults in 2 MiB at a time, not 4 KiB.
    out.corners.reserve(3 * rows);
    preferHugePages(out.corners.data(), 3 * rows * sizeof(std::int32_t));
    out.corners.resize(3 * rows);
    std::int32_t* corner = out.corners.data();
    for (std::size_t r = 0; r < rows; ++r, corner += 3) {
        corner[0] = static_cast<std::int32_t>(first[r]) - 1;
        corner[1] = static_cast<std::int32_t>(second[r]) - 1;
        corner[2] = static_cast<std::int32_t>(third[r]) - 1;
    }
    return out;
}

void keepMemoryOnThisThread() { keepMappingsOnThisThread(); }

}  // namespace sweeptri::threaded
