// The rows one sweep gives for a set of points, as the tiler takes them.
// When the thread-safe sweep core is in the tree its own declaration is used;
// otherwise the same struct is declared here, so that the tiler builds and
// is tested with any triangulator that returns these rows.
#pragma once

#if __has_include("../../sweeptri/threaded/threaded_sweep.hpp")
#include "../../sweeptri/threaded/threaded_sweep.hpp"
#else
#include <cstdint>
#include <vector>

namespace sweeptri::threaded {
struct SweepRows {
    std::vector<std::int32_t> corners;  // 3 per triangle: 0-based positions, clockwise
    bool collinearWarned = false;       // the sweep would have warned that the points are collinear
};
}  // namespace sweeptri::threaded
#endif
