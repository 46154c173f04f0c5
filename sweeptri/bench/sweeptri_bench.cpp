// Times sweeptri through the stand-in host and CGAL's
// Delaunay_triangulation_2 (exact predicates, inexact constructions, range
// insert, triangles copied out to an index array) on the same points, and
// prints the medians and their ratio, and the peak host memory of the
// largest sweeptri call.
//
// Usage: sweeptri_bench [REPEATS]   (default: 15, 7 and 5 runs per size)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include "call_runner.hpp"
#include "host_array.hpp"
#include "plugin_loader.hpp"

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<int, Kernel>;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, CGAL::Triangulation_data_structure_2<VertexBase>>;

struct PointSet {
    std::vector<double> x, y;
};

PointSet uniformPoints(int n, std::uint64_t seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    PointSet points;
    for (int i = 0; i < n; ++i) {
        points.x.push_back(unit(random));
        points.y.push_back(unit(random));
    }
    return points;
}

// Gaussian clusters of different spreads around uniform centres.
PointSet clusteredPoints(int n, std::uint64_t seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> normal(0.0, 1.0);
    const int clusters = 50;
    std::vector<double> cx(clusters), cy(clusters), spread(clusters);
    for (int c = 0; c < clusters; ++c) {
        cx[c] = unit(random);
        cy[c] = unit(random);
        spread[c] = 0.002 + 0.03 * unit(random);
    }
    PointSet points;
    for (int i = 0; i < n; ++i) {
        const int c = static_cast<int>(random() % clusters);
        points.x.push_back(cx[c] + spread[c] * normal(random));
        points.y.push_back(cy[c] + spread[c] * normal(random));
    }
    return points;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct SweeptriTiming {
    double seconds;
    std::size_t peakBytes;
    int rows;
};

SweeptriTiming timeSweeptri(kyxFunctionType sweeptri, const PointSet& points, int repeats)
{
    const auto n = static_cast<std::int32_t>(points.x.size());
    ky::ArrayHandle x(ky::createDouble(1, n)), y(ky::createDouble(1, n));
    std::copy(points.x.begin(), points.x.end(), static_cast<double*>(x->data));
    std::copy(points.y.begin(), points.y.end(), static_cast<double*>(y->data));
    const kyArray* inputs[] = {x.get(), y.get()};
    std::vector<double> seconds;
    SweeptriTiming timing{};
    for (int r = 0; r < repeats; ++r) {
        const ky::CallOutcome outcome = ky::runCall(sweeptri, 1, inputs);
        if (outcome.error) {
            std::fprintf(stderr, "sweeptri failed: %s\n", outcome.error->c_str());
            std::exit(1);
        }
        seconds.push_back(outcome.seconds);
        timing.peakBytes = outcome.peakBytes;
        timing.rows = outcome.result->m;
    }
    timing.seconds = median(seconds);
    return timing;
}

double timeCgal(const PointSet& points, int repeats, std::size_t& rows)
{
    std::vector<std::pair<Kernel::Point_2, int>> input;
    for (std::size_t i = 0; i < points.x.size(); ++i) input.emplace_back(Kernel::Point_2(points.x[i], points.y[i]), static_cast<int>(i));
    std::vector<double> seconds;
    for (int r = 0; r < repeats; ++r) {
        const auto start = std::chrono::steady_clock::now();
        Delaunay triangulation;
        triangulation.insert(input.begin(), input.end());
        std::vector<int> triangles;
        triangles.reserve(3 * static_cast<std::size_t>(triangulation.number_of_faces()));
        for (auto face = triangulation.finite_faces_begin(); face != triangulation.finite_faces_end(); ++face)
            for (int k = 0; k < 3; ++k) triangles.push_back(face->vertex(k)->info());
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        rows = triangles.size() / 3;
    }
    return median(seconds);
}

}  // namespace

int main(int argc, char** argv)
{
    const int repeatOverride = argc > 1 ? std::atoi(argv[1]) : 0;
    const kyxFunctionType sweeptri = ky::loadPlugin(std::string(SWEEPTRI_PLUGIN_DIR) + "/sweeptri" + ky::pluginSuffix);
    std::printf("%-10s %9s %12s %12s %8s %10s\n", "points", "n", "sweeptri s", "CGAL s", "ratio", "B/point");
    for (const char* distribution : {"uniform", "clusters"}) {
        for (int n : {10000, 100000, 1000000}) {
            const int repeats = repeatOverride > 0 ? repeatOverride : (n == 10000 ? 15 : n == 100000 ? 7 : 5);
            const PointSet points = std::string(distribution) == "uniform" ? uniformPoints(n, 1) : clusteredPoints(n, 2);
            const SweeptriTiming ours = timeSweeptri(sweeptri, points, repeats);
            std::size_t cgalRows = 0;
            const double cgal = timeCgal(points, repeats, cgalRows);
            if (static_cast<std::size_t>(ours.rows) != cgalRows)
                std::printf("note: %d rows from sweeptri, %zu from CGAL\n", ours.rows, cgalRows);
            std::printf("%-10s %9d %12.4f %12.4f %8.2f %10.1f\n", distribution, n, ours.seconds, cgal,
                        ours.seconds / cgal, static_cast<double>(ours.peakBytes) / n);
            std::fflush(stdout);
        }
    }
    return 0;
}
