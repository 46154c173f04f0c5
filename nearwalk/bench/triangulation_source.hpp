// The triangle matrix the benchmark searches: sweeptri's, from the built
// plug-in. Until that plug-in is part of the build, CGAL's Delaunay
// triangulation of the same points stands in (and the benchmark says so).
#pragma once

#include <string>
#include <vector>

#include "host_array.hpp"

namespace nearwalk::bench {

struct Triangulation {
    ky::ArrayHandle tri;   // M-by-3, 1-based
    std::string source;    // which triangulator made it
    double seconds = 0;
};

Triangulation triangulate(const kyArray* x, const kyArray* y);

}  // namespace nearwalk::bench
