// Delaunay triangulations for the tests, from the built sweeptri plug-in
// through the host: the triangle matrix nearwalk takes, M-by-3, 1-based,
// column-major.
#pragma once

#include <vector>

namespace nearwalk::testing {

std::vector<double> sweeptriTriangles(const std::vector<double>& x, const std::vector<double>& y);

}  // namespace nearwalk::testing
