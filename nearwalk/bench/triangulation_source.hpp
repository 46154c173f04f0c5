// The triangle matrix the benchmark searches: sweeptri's, from the built
// plug-in through the host.
#pragma once

#include "host_array.hpp"

namespace nearwalk::bench {

struct Triangulation {
    ky::ArrayHandle tri;  // M-by-3, 1-based
    double seconds = 0;   // the sweeptri call
};

Triangulation triangulate(const kyArray* x, const kyArray* y);

}  // namespace nearwalk::bench
