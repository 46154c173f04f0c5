// The demo's search step: runs the nearwalk plug-in over a grid of query
// points spanning the data's bounding box, checks a sample of its answers
// against brute force and draws a few of them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "demo_points.hpp"
#include "demo_triangulation.hpp"

namespace ky {

struct SearchRun {
    std::int32_t gridSide = 0;           // queries per axis
    std::vector<double> queryX, queryY;  // column-major grid, as the call takes them
    std::vector<std::int32_t> found;     // 0-based data point per query
    std::vector<std::string> warnings;
    std::optional<std::string> error;
    double seconds = 0;  // the whole call, neighbour matrix included
};

// Calls nearwalk from the plug-in directory with the triangles as TRI.
SearchRun runNearwalk(const std::filesystem::path& pluginDir, const DemoPoints& points,
                      const std::vector<Triangle>& triangles, std::int32_t gridSide);

struct SearchCheck {
    std::size_t sampled = 0;
    std::size_t notNearest = 0;  // sampled answers farther than the nearest point
};

// Compares sampleCount answers, picked at random, with a brute-force search.
SearchCheck checkSearch(const DemoPoints& points, const SearchRun& run, std::size_t sampleCount);

// The queries to draw: a perAxis-by-perAxis lattice inside the grid, as
// XI, YI and K (1-based answers) for the picture.
struct DrawnQueries {
    std::vector<double> x, y, answer;
};
DrawnQueries drawnQueries(const SearchRun& run, std::int32_t perAxis);

}  // namespace ky
