// Times sweeptri through the stand-in host and CGAL's
// Delaunay_triangulation_2 (exact predicates, inexact constructions, range
// insert, triangles copied out to an index array) on the same points, and
// prints for each point set the medians, their ratio, the peak host memory
// of a sweeptri call per point, and the memory CGAL's triangulation holds
// per point once built. The point sets are uniform and clustered points,
// and the structured sets on which a sweep's queue and beach line are
// tested hardest: a shuffled integer grid, points on one circle, concentric
// rings, a parabola and two parallel lines.
//
// Usage: sweeptri_bench [REPEATS [SET ...]]   (default: 7 runs, 3 for 10^6
//        points; every set)
//        sweeptri_bench certificate [REPEATS]
//        sweeptri_bench recompute [REPEATS]
//
// The second form times the call with and without the result certificate
// (the same core, linked in, with its internal switch) on 10^6 uniform
// points, the shuffled 1000 x 1000 integer grid, that grid tilted by 30
// degrees and a grid of step 0.1, prints the added time and peak host
// memory per point, whether the sweep's rows were kept, and the certified
// call's time against CGAL on the same points (the ratio that matters where
// the call recomputes).
//
// The third form times the exact recomputation alone (CGAL's triangulation,
// the rows' order keys, their sort and the rows written out) against CGAL
// building the triangulation of the same points and copying its triangles
// out, on 10^6 uniform, lognormal (sigma 5) and half-on-a-line points and
// the grid tilted by 30 degrees.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <malloc.h>
#include <numbers>
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
#include "call_context.hpp"
#include "certified_sweep.hpp"
#include "exact_recompute.hpp"
#include "triangulate_call.hpp"
#include "host_array.hpp"
#include "plugin_loader.hpp"

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<int, Kernel>;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, CGAL::Triangulation_data_structure_2<VertexBase>>;

struct PointSet {
    std::vector<double> x, y;
};

PointSet shuffled(PointSet points, std::uint64_t seed)
{
    std::mt19937_64 random(seed);
    for (std::size_t i = points.x.size(); i > 1; --i) {
        const std::size_t j = random() % i;
        std::swap(points.x[i - 1], points.x[j]);
        std::swap(points.y[i - 1], points.y[j]);
    }
    return points;
}

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

// An integer grid of side x side points in random order.
PointSet shuffledGrid(int side, std::uint64_t seed)
{
    std::vector<int> order(static_cast<std::size_t>(side) * side);
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::mt19937_64 random(seed);
    std::shuffle(order.begin(), order.end(), random);
    PointSet points;
    for (int i : order) {
        points.x.push_back(i % side);
        points.y.push_back(i / side);
    }
    return points;
}

// rings concentric circles of perRing evenly spaced points each, shuffled.
PointSet rings(int count, int perRing, std::uint64_t seed)
{
    PointSet points;
    for (int r = 1; r <= count; ++r)
        for (int k = 0; k < perRing; ++k) {
            const double t = 2 * std::numbers::pi * k / perRing;
            points.x.push_back(r * std::cos(t));
            points.y.push_back(r * std::sin(t));
        }
    return shuffled(std::move(points), seed);
}

PointSet parabola(int n, std::uint64_t seed)
{
    PointSet points;
    for (int i = 0; i < n; ++i) {
        const double x = static_cast<double>(i - n / 2) / n;
        points.x.push_back(x);
        points.y.push_back(x * x);
    }
    return shuffled(std::move(points), seed);
}

// Two horizontal lines of n / 2 evenly spaced points each.
PointSet twoLines(int n, std::uint64_t seed)
{
    PointSet points;
    for (int line = 0; line < 2; ++line)
        for (int i = 0; i < n / 2; ++i) {
            points.x.push_back(static_cast<double>(i) / (n / 2));
            points.y.push_back(line);
        }
    return shuffled(std::move(points), seed);
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

struct CgalTiming {
    double seconds;
    std::size_t heldBytes;  // heap memory the built triangulation holds
    std::size_t rows;
};

CgalTiming timeCgal(const PointSet& points, int repeats)
{
    CgalTiming timing{};
    std::vector<std::pair<Kernel::Point_2, int>> input;
    for (std::size_t i = 0; i < points.x.size(); ++i) input.emplace_back(Kernel::Point_2(points.x[i], points.y[i]), static_cast<int>(i));
    std::vector<double> seconds;
    for (int r = 0; r < repeats; ++r) {
        const std::size_t before = mallinfo2().uordblks;
        const auto start = std::chrono::steady_clock::now();
        Delaunay triangulation;
        triangulation.insert(input.begin(), input.end());
        timing.heldBytes = mallinfo2().uordblks - before;
        std::vector<int> triangles;
        triangles.reserve(3 * static_cast<std::size_t>(triangulation.number_of_faces()));
        for (auto face = triangulation.finite_faces_begin(); face != triangulation.finite_faces_end(); ++face)
            for (int k = 0; k < 3; ++k) triangles.push_back(face->vertex(k)->info());
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        timing.rows = triangles.size() / 3;
    }
    timing.seconds = median(seconds);
    return timing;
}

struct NamedSet {
    const char* name;
    int n;
    PointSet (*make)(int n);
};

const NamedSet pointSets[] = {
    {"uniform", 100000, [](int n) { return uniformPoints(n, 1); }},
    {"uniform", 1000000, [](int n) { return uniformPoints(n, 1); }},
    {"clusters", 100000, [](int n) { return clusteredPoints(n, 2); }},
    {"clusters", 1000000, [](int n) { return clusteredPoints(n, 2); }},
    {"grid", 1000000, [](int) { return shuffledGrid(1000, 3); }},
    {"circle", 20000, [](int n) { return rings(1, n, 4); }},
    {"circle", 100000, [](int n) { return rings(1, n, 4); }},
    {"rings", 20000, [](int n) { return rings(50, n / 50, 5); }},
    {"parabola", 100000, [](int n) { return parabola(n, 6); }},
    {"two-lines", 100000, [](int n) { return twoLines(n, 7); }},
};

// The grid of side x side points with step `step`, turned by `degrees`,
// shuffled.
PointSet turnedGrid(int side, double step, double degrees, std::uint64_t seed)
{
    PointSet grid = shuffledGrid(side, seed);
    const double c = std::cos(degrees * std::numbers::pi / 180), s = std::sin(degrees * std::numbers::pi / 180);
    for (std::size_t i = 0; i < grid.x.size(); ++i) {
        const double x = grid.x[i] * step, y = grid.y[i] * step;
        grid.x[i] = degrees == 0 ? x : c * x - s * y;
        grid.y[i] = degrees == 0 ? y : s * x + c * y;
    }
    return grid;
}

void coreEntry(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[])
{
    sweeptri::triangulateCall(outputCount, outputs, inputCount, inputs);
}

struct CoreRun {
    SweeptriTiming timing;
    std::vector<double> rows;
};

CoreRun timeCore(const PointSet& points, int repeats, bool certify)
{
    sweeptri::certificateEnabled = certify;
    CoreRun run{timeSweeptri(coreEntry, points, repeats), {}};
    const auto n = static_cast<std::int32_t>(points.x.size());
    ky::ArrayHandle x(ky::createDouble(1, n)), y(ky::createDouble(1, n));
    std::copy(points.x.begin(), points.x.end(), static_cast<double*>(x->data));
    std::copy(points.y.begin(), points.y.end(), static_cast<double*>(y->data));
    const kyArray* inputs[] = {x.get(), y.get()};
    const ky::CallOutcome outcome = ky::runCall(coreEntry, 1, inputs);
    const auto* values = static_cast<const double*>(outcome.result->data);
    run.rows.assign(values, values + 3 * static_cast<std::size_t>(outcome.result->m));
    sweeptri::certificateEnabled = true;
    return run;
}

void certificateCost(int repeats)
{
    struct Set {
        const char* name;
        PointSet points;
    };
    const Set sets[] = {{"uniform", uniformPoints(1000000, 1)},
                        {"grid", shuffledGrid(1000, 3)},
                        {"tilted-30", turnedGrid(1000, 1.0, 30.0, 8)},
                        {"grid-0.1", turnedGrid(1000, 0.1, 0.0, 9)}};
    std::printf("%-10s %9s %10s %10s %8s %10s %10s %6s %10s %8s\n", "points", "n", "plain s", "certif. s", "added",
                "plain B/p", "added B/p", "kept", "CGAL s", "vs CGAL");
    for (const Set& set : sets) {
        const int n = static_cast<int>(set.points.x.size());
        const CoreRun plain = timeCore(set.points, repeats, false);
        const CoreRun certified = timeCore(set.points, repeats, true);
        const CgalTiming cgal = timeCgal(set.points, repeats);
        std::printf("%-10s %9d %10.4f %10.4f %7.1f%% %10.1f %10.1f %6s %10.4f %8.2f\n", set.name, n,
                    plain.timing.seconds, certified.timing.seconds,
                    100.0 * (certified.timing.seconds / plain.timing.seconds - 1.0),
                    static_cast<double>(plain.timing.peakBytes) / n,
                    (static_cast<double>(certified.timing.peakBytes) - static_cast<double>(plain.timing.peakBytes)) / n,
                    plain.rows == certified.rows ? "yes" : "no", cgal.seconds, certified.timing.seconds / cgal.seconds);
        std::fflush(stdout);
    }
}

// Lognormal coordinates (sigma 5): sweeps of these stop early, and the
// call is the recomputation.
PointSet lognormalPoints(int n, std::uint64_t seed)
{
    std::mt19937_64 random(seed);
    std::lognormal_distribution<double> lognormal(0.0, 5.0);
    PointSet points;
    for (int i = 0; i < n; ++i) {
        points.x.push_back(lognormal(random));
        points.y.push_back(lognormal(random));
    }
    return points;
}

// Half the points on the line y = 0.5, half uniform.
PointSet halfOnALine(int n, std::uint64_t seed)
{
    PointSet points = uniformPoints(n, seed);
    for (int i = 0; i < n; i += 2) points.y[static_cast<std::size_t>(i)] = 0.5;
    return points;
}

// Points evenly spaced on the unit circle: every triangle's circle is
// nearly the same, the hardest case for insertion.
PointSet onACircle(int n)
{
    PointSet points;
    for (int i = 0; i < n; ++i) {
        const double angle = 2 * std::numbers::pi * i / n;
        points.x.push_back(std::cos(angle));
        points.y.push_back(std::sin(angle));
    }
    return points;
}

void recomputationCost(int repeats)
{
    struct Set {
        const char* name;
        PointSet points;
    };
    const Set sets[] = {{"uniform", uniformPoints(1000000, 1)},
                        {"lognormal", lognormalPoints(1000000, 10)},
                        {"half-line", halfOnALine(1000000, 11)},
                        {"tilted-30", turnedGrid(1000, 1.0, 30.0, 8)},
                        {"circle", onACircle(1000000)}};
    std::printf("%-10s %9s %14s %10s %8s\n", "points", "n", "recompute s", "CGAL s", "ratio");
    for (const Set& set : sets) {
        const auto n = static_cast<std::int32_t>(set.points.x.size());
        std::vector<double> rows(3 * (2 * static_cast<std::size_t>(n) + 100));
        std::vector<double> seconds;
        for (int r = 0; r < repeats; ++r) {
            ky::CallScope call([](const std::string&) {});
            const auto start = std::chrono::steady_clock::now();
            sweeptri::recomputeExactly(set.points.x.data(), set.points.y.data(), n, 0, rows.data());
            seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        const CgalTiming cgal = timeCgal(set.points, repeats);
        const double ours = median(seconds);
        std::printf("%-10s %9d %14.4f %10.4f %8.2f\n", set.name, n, ours, cgal.seconds, ours / cgal.seconds);
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "recompute") {
        recomputationCost(argc > 2 ? std::max(1, std::atoi(argv[2])) : 5);
        return 0;
    }
    if (argc > 1 && std::string(argv[1]) == "certificate") {
        certificateCost(argc > 2 ? std::max(1, std::atoi(argv[2])) : 3);
        return 0;
    }
    const int repeatOverride = argc > 1 ? std::atoi(argv[1]) : 0;
    const std::vector<std::string> chosen(argv + std::min(argc, 2), argv + argc);
    const kyxFunctionType sweeptri = ky::loadPlugin(std::string(SWEEPTRI_PLUGIN_DIR) + "/sweeptri" + ky::pluginSuffix);
    std::printf("%-10s %9s %12s %12s %8s %12s %12s\n", "points", "n", "sweeptri s", "CGAL s", "ratio", "sweeptri B/p",
                "CGAL B/p");
    for (const NamedSet& set : pointSets) {
        if (!chosen.empty() && std::find(chosen.begin(), chosen.end(), set.name) == chosen.end()) continue;
        const int repeats = repeatOverride > 0 ? repeatOverride : (set.n >= 1000000 ? 3 : 7);
        const PointSet points = set.make(set.n);
        const int n = static_cast<int>(points.x.size());
        const SweeptriTiming ours = timeSweeptri(sweeptri, points, repeats);
        const CgalTiming cgal = timeCgal(points, repeats);
        if (static_cast<std::size_t>(ours.rows) != cgal.rows)
            std::printf("note: %d rows from sweeptri, %zu from CGAL\n", ours.rows, cgal.rows);
        std::printf("%-10s %9d %12.4f %12.4f %8.2f %12.1f %12.1f\n", set.name, n, ours.seconds, cgal.seconds,
                    ours.seconds / cgal.seconds, static_cast<double>(ours.peakBytes) / n,
                    static_cast<double>(cgal.heldBytes) / n);
        std::fflush(stdout);
    }
    return 0;
}
