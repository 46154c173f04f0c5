// The demo's triangulation step: runs the sweeptri plug-in on the demo
// points through the host, and checks the triangles it returns.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "demo_points.hpp"

namespace ky {

using Triangle = std::array<std::int32_t, 3>;  // 0-based point positions

struct TriangulationRun {
    std::vector<Triangle> triangles;
    std::vector<std::string> warnings;
    std::optional<std::string> error;
    double seconds = 0;
    std::size_t peakBytes = 0;
};

// Calls sweeptri from the plug-in directory on the points.
TriangulationRun runSweeptri(const std::filesystem::path& pluginDir, const DemoPoints& points);

struct TriangulationCheck {
    std::size_t hullPoints = 0;     // points on the convex hull's boundary
    std::size_t expectedRows = 0;   // 2n - 2 - h
    std::size_t nonDelaunayEdges = 0;
    std::size_t counterClockwiseRows = 0;
    std::vector<std::string> faults;  // empty when the triangulation passed
};

// Checks the row count 2n - 2 - h, that every row runs clockwise, that no
// edge is used twice in one direction, that every point is a corner, and
// that every inner edge is locally Delaunay (the far corner of the
// neighbouring triangle is not inside the circumcircle), all with exact
// predicates. Locally Delaunay everywhere means Delaunay.
TriangulationCheck checkTriangulation(const DemoPoints& points, const std::vector<Triangle>& triangles);

}  // namespace ky
