// Point sets for the threaded sweep's tests, with no dependency beyond the
// standard library (the ThreadSanitizer build links nothing else): uniform,
// exact grids, cocircular lattice points, collinear rows, extreme
// magnitudes, and the smallest sizes.
#pragma once

#include <string>
#include <vector>

namespace sweeptri::testing {

struct NamedPoints {
    std::string name;
    std::vector<double> x, y;
};

// Every kind once; `size` is about the point count of the larger sets.
std::vector<NamedPoints> threadedSweepSets(int size);

}  // namespace sweeptri::testing
