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
#include "triangulation_check.hpp"

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
    std::vector<double> tri;          // the rows as TRI: column-major, 1-based
    inspect::CheckReport report;      // the full verdict, for the picture
};

// Checks the triangles with kyhost check's exact check (every index in
// range, every point used, every row clockwise, the rows tiling the convex
// hull, every inner edge locally Delaunay); each fault it reports is one
// entry of `faults`.
TriangulationCheck checkTriangulation(const DemoPoints& points, const std::vector<Triangle>& triangles);

}  // namespace ky
