#include "demo_points.hpp"

#include <algorithm>
#include <random>

namespace ky {

namespace {

std::uint64_t packed(std::int64_t gx, std::int64_t gy) { return static_cast<std::uint64_t>(gx) << 32 | static_cast<std::uint64_t>(gy); }

// Positions of the points whose grid point also occurs earlier in the list.
std::vector<std::size_t> laterRepeats(const DemoPoints& points)
{
    std::vector<std::pair<std::uint64_t, std::size_t>> keys(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) keys[i] = {packed(points.gridX[i], points.gridY[i]), i};
    std::sort(keys.begin(), keys.end());
    std::vector<std::size_t> repeats;
    for (std::size_t i = 1; i < keys.size(); ++i)
        if (keys[i].first == keys[i - 1].first) repeats.push_back(keys[i].second);
    return repeats;
}

}  // namespace

DemoPoints randomDemoPoints(std::size_t count, std::uint64_t seed)
{
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<std::int64_t> coordinate(0, demoGridSize - 1);
    DemoPoints points;
    points.gridX.resize(count);
    points.gridY.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        points.gridX[i] = coordinate(random);
        points.gridY[i] = coordinate(random);
    }
    // Repeats are rare on a 2^26 grid; draw those points again until none is left.
    for (auto repeats = laterRepeats(points); !repeats.empty(); repeats = laterRepeats(points))
        for (std::size_t i : repeats) {
            points.gridX[i] = coordinate(random);
            points.gridY[i] = coordinate(random);
        }
    points.x.resize(count);
    points.y.resize(count);
    const double scale = 1.0 / static_cast<double>(demoGridSize);
    for (std::size_t i = 0; i < count; ++i) {
        points.x[i] = static_cast<double>(points.gridX[i]) * scale;
        points.y[i] = static_cast<double>(points.gridY[i]) * scale;
    }
    return points;
}

}  // namespace ky
