// The state of the running search call, held at module level: the entry
// point fills it before the first walk and the walks read it. It borrows the
// host's storage of the call's arguments and of the neighbour matrix (or,
// for coordinates scaled into the safe range, copies from kyCalloc that the
// call's end reclaims) and owns nothing; between calls its fields are stale.
#pragma once

#include <cstdint>

namespace nearwalk {

struct SearchState {
    std::int32_t pointCount;            // n, the data points
    const double* x;                    // n x coordinates
    const double* y;                    // n y coordinates
    const double* xy;                   // n points, x and y side by side, as the walk reads them
    std::int32_t triangleCount;         // M, the rows of TRI
    const double* tri;                  // 3M corner indices (1-based), column-major
    const double* xi;                   // query x coordinates
    const double* yi;                   // query y coordinates
    const std::int32_t* rowIndex;       // neighbour matrix: 0-based row of every stored entry
    const std::int32_t* columnStart;    // neighbour matrix: column j's entries are [columnStart[j], columnStart[j+1])
    bool warned;                        // the non-convergence warning has been issued in this call
};

extern SearchState searchState;

}  // namespace nearwalk
