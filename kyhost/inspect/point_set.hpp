// The points a triangulation is checked or drawn against: n coordinate
// pairs, borrowed from the caller. Kept apart from the exact predicates so
// that code which only passes points along does not compile them.
#pragma once

#include <cstddef>

namespace ky::inspect {

struct PointSet {
    const double* x = nullptr;
    const double* y = nullptr;
    std::size_t n = 0;
};

}  // namespace ky::inspect
