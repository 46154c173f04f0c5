// Times trinterp in-process against CGAL's natural-neighbour interpolation
// on the same points and queries, triangulation included on both sides:
// sweeptri then trinterp (on one thread and on all), against CGAL's
// Delaunay triangulation and natural_neighbor_coordinates_2 with
// linear_interpolation (cgal_natural_peer.hpp). Also times "linear" on the
// same data. Runs alternate between the contenders; prints medians, the
// ratios to CGAL, and how far the answers differ.
//
// Usage: trinterp_bench [REPEATS [SET ...]]
//   sets: uniform (10^5 points), grid (317 x 317, every cell's corners on
//   one circle), clusters (10^5 points in 100 tight clusters), uniform-1e6
//   (10^6 points); each onto a 1000 x 1000 grid of queries over the points'
//   bounding box, in rows. Default: 5 uniform grid clusters.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "call_runner.hpp"
#include "call_state.hpp"
#include "cgal_natural_peer.hpp"
#include "internal_switches.hpp"
#include "plugin_loader.hpp"

namespace {

constexpr int gridSide = 1000;

struct DataSet {
    std::vector<double> x, y, z;
};

DataSet makeSet(const std::string& name)
{
    DataSet set;
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    if (name == "uniform" || name == "uniform-1e6") {
        const int n = name == "uniform" ? 100000 : 1000000;
        for (int i = 0; i < n; ++i) {
            set.x.push_back(unit(random));
            set.y.push_back(unit(random));
        }
    } else if (name == "grid") {
        for (int j = 0; j < 317; ++j)
            for (int i = 0; i < 317; ++i) {
                set.x.push_back(i);
                set.y.push_back(j);
            }
    } else if (name == "clusters") {
        std::normal_distribution<double> spread(0.0, 0.01);
        std::vector<std::pair<double, double>> centres;
        for (int c = 0; c < 100; ++c) centres.emplace_back(unit(random), unit(random));
        for (int i = 0; i < 100000; ++i) {
            const auto& [cx, cy] = centres[static_cast<std::size_t>(i % 100)];
            set.x.push_back(cx + spread(random));
            set.y.push_back(cy + spread(random));
        }
    } else {
        std::fprintf(stderr, "unknown set %s (uniform, grid, clusters, uniform-1e6)\n", name.c_str());
        std::exit(2);
    }
    for (std::size_t i = 0; i < set.x.size(); ++i) set.z.push_back(std::sin(3 * set.x[i]) * std::cos(2 * set.y[i]));
    return set;
}

ky::ArrayHandle matrixOf(std::int32_t m, std::int32_t n, const std::vector<double>& values)
{
    ky::ArrayHandle array(ky::createDouble(m, n));
    std::copy(values.begin(), values.end(), static_cast<double*>(array->data));
    return array;
}

double seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// sweeptri, then trinterp on its rows; the answers and the wall time of both.
std::vector<double> interpolateOurs(kyxFunctionType sweeptri, const kyArray* x, const kyArray* y, const kyArray* z,
                                    const kyArray* xi, const kyArray* yi, const kyArray* method, double& wall)
{
    const double start = seconds();
    const kyArray* triangulateInputs[] = {x, y};
    ky::CallOutcome rows = ky::runCall(sweeptri, 1, triangulateInputs);
    if (rows.error) {
        std::fprintf(stderr, "sweeptri failed: %s\n", rows.error->c_str());
        std::exit(1);
    }
    const kyArray* inputs[] = {x, y, z, rows.result.get(), xi, yi, method};
    ky::CallOutcome answers = ky::runCall(&trinterp::interpolate, 1, inputs);
    wall = seconds() - start;
    if (answers.error) {
        std::fprintf(stderr, "trinterp failed: %s\n", answers.error->c_str());
        std::exit(1);
    }
    const auto* values = static_cast<const double*>(answers.result->data);
    return std::vector<double>(values, values + std::int64_t{answers.result->m} * answers.result->n);
}

void benchmark(const std::string& name, int repeats, kyxFunctionType sweeptri)
{
    const DataSet set = makeSet(name);
    const auto [xLow, xHigh] = std::minmax_element(set.x.begin(), set.x.end());
    const auto [yLow, yHigh] = std::minmax_element(set.y.begin(), set.y.end());
    std::vector<double> qx, qy;  // in rows: x runs fastest
    for (int j = 0; j < gridSide; ++j)
        for (int i = 0; i < gridSide; ++i) {
            qx.push_back(*xLow + (*xHigh - *xLow) * i / (gridSide - 1));
            qy.push_back(*yLow + (*yHigh - *yLow) * j / (gridSide - 1));
        }
    const auto n = static_cast<std::int32_t>(set.x.size());
    const ky::ArrayHandle x = matrixOf(1, n, set.x), y = matrixOf(1, n, set.y), z = matrixOf(1, n, set.z);
    const ky::ArrayHandle xi = matrixOf(gridSide, gridSide, qx), yi = matrixOf(gridSide, gridSide, qy);
    const ky::ArrayHandle natural(ky::createChar("natural")), linear(ky::createChar("linear"));

    std::vector<double> naturalAll, naturalOne, linearAll, linearOne, cgal;
    std::vector<double> ours, theirs;
    for (int r = 0; r < repeats; ++r) {
        double wall = 0;
        trinterp::setWorkerCount(0);
        ours = interpolateOurs(sweeptri, x.get(), y.get(), z.get(), xi.get(), yi.get(), natural.get(), wall);
        naturalAll.push_back(wall);
        const double start = seconds();
        theirs = trinterp::bench::cgalNaturalNeighbour(set.x, set.y, set.z, qx, qy);
        cgal.push_back(seconds() - start);
        trinterp::setWorkerCount(1);
        interpolateOurs(sweeptri, x.get(), y.get(), z.get(), xi.get(), yi.get(), natural.get(), wall);
        naturalOne.push_back(wall);
        interpolateOurs(sweeptri, x.get(), y.get(), z.get(), xi.get(), yi.get(), linear.get(), wall);
        linearOne.push_back(wall);
        trinterp::setWorkerCount(0);
        interpolateOurs(sweeptri, x.get(), y.get(), z.get(), xi.get(), yi.get(), linear.get(), wall);
        linearAll.push_back(wall);
    }
    double largest = 0;
    std::size_t nanDifferences = 0;
    for (std::size_t q = 0; q < ours.size(); ++q) {
        if (std::isnan(ours[q]) != std::isnan(theirs[q])) ++nanDifferences;
        else if (!std::isnan(ours[q])) largest = std::max(largest, std::fabs(ours[q] - theirs[q]));
    }
    const double peer = median(cgal);
    std::printf("%-12s %8d points  natural: all threads %.3f s (%.2fx CGAL), one thread %.3f s (%.2fx), CGAL %.3f s\n",
                name.c_str(), n, median(naturalAll), median(naturalAll) / peer, median(naturalOne),
                median(naturalOne) / peer, peer);
    std::printf("%-12s %8s          linear:  all threads %.3f s, one thread %.3f s\n", "", "", median(linearAll),
                median(linearOne));
    std::printf("%-12s %8s          natural against CGAL: largest difference %.3g, NaN masks differ at %zu queries\n",
                "", "", largest, nanDifferences);
}

}  // namespace

int main(int argc, char** argv)
{
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<std::string> sets;
    for (int a = 2; a < argc; ++a) sets.emplace_back(argv[a]);
    if (sets.empty()) sets = {"uniform", "grid", "clusters"};
    const kyxFunctionType sweeptri =
        ky::loadPlugin(std::string(TRINTERP_BENCH_PLUGIN_DIR) + "/sweeptri" + ky::pluginSuffix);
    std::printf("medians of %d runs each, taken in turn; 1000 x 1000 queries; sweeptri's triangulation included\n",
                repeats);
    for (const std::string& name : sets) benchmark(name, repeats, sweeptri);
    return 0;
}
