// Random points for the demo: distinct points of a fine integer grid,
// scaled into the unit square by a power of two so that every coordinate is
// exact and repeats are easy to find.
#pragma once

#include <cstdint>
#include <vector>

namespace ky {

// Grid points per axis: coordinates are integers 0 .. demoGridSize-1.
inline constexpr std::int64_t demoGridSize = std::int64_t{1} << 26;

struct DemoPoints {
    std::vector<std::int64_t> gridX, gridY;  // integer grid coordinates
    std::vector<double> x, y;                // the same, divided by demoGridSize
    std::size_t size() const { return x.size(); }
};

// count distinct points, uniform over the grid, in random order.
DemoPoints randomDemoPoints(std::size_t count, std::uint64_t seed);

}  // namespace ky
