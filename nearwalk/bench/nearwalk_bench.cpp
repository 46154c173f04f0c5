// Times nearwalk against nanoflann on uniform random points: the neighbour
// matrix ("sparse") alone, the whole call, the walks alone (S passed), each
// over a 1000 x 1000 query grid in column-major order and over the same
// queries in random order; then nanoflann's KD-tree build and queries on
// the same data. Prints medians and ratios.
//
// --family picks the data: uniform (the default, in [0, 1)^2); two-scales
// (half the points in [0, 1e-300)^2, half in [0, 1e300)^2, half the grid's
// queries in each box); far-point (all but one point
// in [0, 1e-10)^2, one at (1e300, -1e300), the grid over the small box).
// The last two span far more than double's range of squared distances.
// --versus PATH also times another nearwalk library (an earlier build, say)
// on the same data, alternating run by run with this build's, and prints
// the ratio of its whole-call median to this build's.
//
// Usage: nearwalk_bench [--grid-only] [--grid SIDE] [--family NAME] [--versus PATH] [point count ...]
//        (default 100000 1000000; --grid-only skips the slow random order;
//        --grid sets the query grid's side, default 1000)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "call_runner.hpp"
#include "host_functions.hpp"
#include "kd_tree_peer.hpp"
#include "median_timer.hpp"
#include "plugin_loader.hpp"
#include "triangulation_source.hpp"

namespace {

using namespace nearwalk::bench;

int gridSide = 1000;  // --grid SIDE

struct Queries {
    std::vector<double> x, y;
};

enum class Family { uniform, twoScales, farPoint };

struct Points {
    std::vector<double> x, y;
};

Points dataPoints(Family family, std::int32_t n, std::mt19937_64& random)
{
    std::uniform_real_distribution<double> coordinate(0.0, 1.0);
    Points points;
    for (std::int32_t k = 0; k < n; ++k) {
        double scale = 1.0;
        if (family == Family::twoScales) scale = k % 2 == 0 ? 1e-300 : 1e300;
        if (family == Family::farPoint) scale = 1e-10;
        points.x.push_back(scale * coordinate(random));
        points.y.push_back(scale * coordinate(random));
    }
    if (family == Family::farPoint) points.x.back() = 1e300, points.y.back() = -1e300;
    return points;
}

// Column-major grid over the box of the data: consecutive queries are
// neighbours, as when gridding data. For two scales, the first half of the
// grid's columns spans the small box, the second half the large one.
Queries gridQueries(Family family, const std::vector<double>& x, const std::vector<double>& y)
{
    auto [xmin, xmax] = std::minmax_element(x.begin(), x.end());
    auto [ymin, ymax] = std::minmax_element(y.begin(), y.end());
    double x0 = *xmin, x1 = *xmax, y0 = *ymin, y1 = *ymax;
    if (family == Family::farPoint) x0 = y0 = 0, x1 = y1 = 1e-10;
    Queries grid;
    for (int j = 0; j < gridSide; ++j)
        for (int i = 0; i < gridSide; ++i) {
            const double fx = double(j) / (gridSide - 1), fy = double(i) / (gridSide - 1);
            if (family == Family::twoScales) {
                const double side = j < gridSide / 2 ? 1e-300 : 1e300;
                grid.x.push_back(side * fx);
                grid.y.push_back(side * fy);
                continue;
            }
            grid.x.push_back(x0 + (x1 - x0) * fx);
            grid.y.push_back(y0 + (y1 - y0) * fy);
        }
    return grid;
}

Queries shuffled(const Queries& queries, std::uint64_t seed)
{
    std::vector<std::size_t> order(queries.x.size());
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), std::mt19937_64(seed));
    Queries result;
    for (const std::size_t q : order) {
        result.x.push_back(queries.x[q]);
        result.y.push_back(queries.y[q]);
    }
    return result;
}

ky::ArrayHandle column(const std::vector<double>& values)
{
    ky::ArrayHandle array(ky::createDouble(static_cast<std::int32_t>(values.size()), 1));
    std::copy(values.begin(), values.end(), static_cast<double*>(array->data));
    return array;
}

ky::ArrayHandle scalar(double value) { return column({value}); }

// The row and column index matrices the plug-in hands to "sparse".
struct SparseInputs {
    ky::ArrayHandle rows, cols, value, nr, nc;
};

SparseInputs sparseInputs(const kyArray* tri, std::int32_t n)
{
    const std::int32_t m = tri->m;
    SparseInputs in{ky::ArrayHandle(ky::createDouble(m, 6)), ky::ArrayHandle(ky::createDouble(m, 6)), scalar(1.0),
                    scalar(n), scalar(n)};
    const auto* t = static_cast<const double*>(tri->data);
    auto* rows = static_cast<double*>(in.rows->data);
    auto* cols = static_cast<double*>(in.cols->data);
    const int rowColumns[6] = {0, 0, 1, 1, 2, 2}, colColumns[6] = {1, 2, 0, 2, 0, 1};
    for (int c = 0; c < 6; ++c) {
        std::copy(t + std::int64_t(rowColumns[c]) * m, t + std::int64_t(rowColumns[c] + 1) * m, rows + std::int64_t(c) * m);
        std::copy(t + std::int64_t(colColumns[c]) * m, t + std::int64_t(colColumns[c] + 1) * m, cols + std::int64_t(c) * m);
    }
    return in;
}

ky::CallOutcome checked(ky::CallOutcome outcome, const char* what)
{
    if (outcome.error) {
        std::fprintf(stderr, "%s failed: %s\n", what, outcome.error->c_str());
        std::exit(1);
    }
    return outcome;
}

// Queries whose nearwalk answer is farther than nanoflann's.
std::size_t disagreements(const std::vector<double>& x, const std::vector<double>& y, const Queries& queries,
                          const kyArray* walked, const std::vector<std::uint32_t>& kd)
{
    const auto* found = static_cast<const double*>(walked->data);
    std::size_t count = 0;
    for (std::size_t q = 0; q < queries.x.size(); ++q) {
        const auto a = static_cast<std::size_t>(found[q]) - 1, b = std::size_t(kd[q]);
        const double da = (x[a] - queries.x[q]) * (x[a] - queries.x[q]) + (y[a] - queries.y[q]) * (y[a] - queries.y[q]);
        const double db = (x[b] - queries.x[q]) * (x[b] - queries.x[q]) + (y[b] - queries.y[q]) * (y[b] - queries.y[q]);
        if (da != db) ++count;
    }
    return count;
}

// Median seconds of two calls timed alternately, run by run.
template <typename First, typename Second>
std::pair<double, double> alternatingMedians(int runs, First&& first, Second&& second)
{
    std::vector<double> a, b;
    for (int r = 0; r < runs; ++r) {
        a.push_back(medianSeconds(1, first));
        b.push_back(medianSeconds(1, second));
    }
    return {medianSeconds(runs, [&, k = 0]() mutable { return a[std::size_t(k++)]; }),
            medianSeconds(runs, [&, k = 0]() mutable { return b[std::size_t(k++)]; })};
}

void benchmark(std::int32_t n, Family family, kyxFunctionType nearwalk, kyxFunctionType versus, bool withRandomOrder)
{
    const int runs = n >= 1000000 ? 5 : 9;
    // A random-order walk crosses about sqrt(n) triangles: far slower, so
    // fewer runs.
    const int randomRuns = n >= 1000000 ? 1 : 3;
    std::mt19937_64 random(20261207 + std::uint64_t(n));
    const Points data = dataPoints(family, n, random);
    const std::vector<double>& x = data.x;
    const std::vector<double>& y = data.y;
    const ky::ArrayHandle X = column(x), Y = column(y);
    const Triangulation triangulation = triangulate(X.get(), Y.get());
    const kyArray* tri = triangulation.tri.get();
    const Queries grid = gridQueries(family, x, y), random_ = shuffled(grid, 7);
    const ky::ArrayHandle gridX = column(grid.x), gridY = column(grid.y);
    const ky::ArrayHandle randomX = column(random_.x), randomY = column(random_.y);
    std::printf("\nn = %d data points, %d triangles (sweeptri, %.3f s), %zu queries, median of %d runs (random order %d)\n",
                n, tri->m, triangulation.seconds, grid.x.size(), runs, randomRuns);

    // (a) The neighbour matrix: the "sparse" call alone.
    const ky::HostFunction sparse = ky::findHostFunction("sparse");
    ky::ArrayHandle S;
    std::size_t sparsePeak = 0;
    const double sparseSeconds = medianSeconds(runs, [&] {
        const SparseInputs in = sparseInputs(tri, n);
        const kyArray* args[] = {in.rows.get(), in.cols.get(), in.value.get(), in.nr.get(), in.nc.get()};
        ky::CallOutcome outcome = checked(ky::runCall(sparse, 1, args), "sparse");
        S = std::move(outcome.result);
        sparsePeak = outcome.peakBytes;
        return outcome.seconds;
    });

    // (b), (c) nearwalk: whole call and walks alone (S passed).
    ky::ArrayHandle gridAnswers, randomAnswers;
    std::size_t wholePeak = 0;
    auto nearwalkSeconds = [&](const ky::ArrayHandle& qx, const ky::ArrayHandle& qy, bool passS,
                               ky::ArrayHandle& answers) {
        return medianSeconds(qx.get() == gridX.get() ? runs : randomRuns, [&] {
            std::vector<const kyArray*> args{X.get(), Y.get(), tri, qx.get(), qy.get()};
            if (passS) args.push_back(S.get());
            ky::CallOutcome outcome = checked(ky::runCall(nearwalk, 1, args), "nearwalk");
            if (!outcome.warnings.empty()) std::printf("  warning: %s\n", outcome.warnings.front().c_str());
            if (!passS) wholePeak = outcome.peakBytes;
            answers = std::move(outcome.result);
            return outcome.seconds;
        });
    };
    const double wholeGrid = nearwalkSeconds(gridX, gridY, false, gridAnswers);
    // The other build on the same call, alternating with this one.
    std::pair<double, double> versusGrid{0.0, 0.0};
    if (versus != nullptr) {
        const std::vector<const kyArray*> args{X.get(), Y.get(), tri, gridX.get(), gridY.get()};
        const auto timed = [&](kyxFunctionType entry) {
            return [&args, entry] { return checked(ky::runCall(entry, 1, args), "nearwalk").seconds; };
        };
        versusGrid = alternatingMedians(runs, timed(nearwalk), timed(versus));
    }
    const double walksGrid = nearwalkSeconds(gridX, gridY, true, gridAnswers);
    // In random order the walks dominate: the whole call alone is timed.
    const double wholeRandom = withRandomOrder ? nearwalkSeconds(randomX, randomY, false, randomAnswers) : 0.0;

    // The peer on the same data and queries.
    const PlanarPoints points{x, y};
    const double kdBuild =
        medianSeconds(runs, [&] { return secondsOf([&] { const KdTree tree = buildKdTree(points); }); });
    const KdTree tree = buildKdTree(points);
    std::vector<std::uint32_t> kdGrid, kdRandom;
    const double kdGridQueries = medianSeconds(runs, [&] { return secondsOf([&] { answerQueries(tree, grid.x, grid.y, kdGrid); }); });
    const double kdRandomQueries =
        withRandomOrder
            ? medianSeconds(randomRuns,
                            [&] { return secondsOf([&] { answerQueries(tree, random_.x, random_.y, kdRandom); }); })
            : 0.0;

    std::printf("  sparse (neighbour matrix, %lld stored of %lld pairs) %8.4f s  peak %.0f MB\n",
                static_cast<long long>(S->jc[S->n]), 6LL * tri->m, sparseSeconds, sparsePeak / 1e6);
    std::printf("  %-28s %10s %10s\n", "", "grid", withRandomOrder ? "random" : "");
    std::printf("  %-28s %8.4f s %8.4f s   (peak %.0f MB)\n", "nearwalk whole call", wholeGrid, wholeRandom,
                wholePeak / 1e6);
    std::printf("  %-28s %8.4f s\n", "nearwalk walks alone (S)", walksGrid);
    std::printf("  %-28s %8.4f s\n", "nanoflann build", kdBuild);
    std::printf("  %-28s %8.4f s %8.4f s\n", "nanoflann queries", kdGridQueries, kdRandomQueries);
    std::printf("  %-28s %8.4f s %8.4f s\n", "nanoflann build + queries", kdBuild + kdGridQueries,
                kdBuild + kdRandomQueries);
    std::printf("  ratio (nanoflann build+queries) / (nearwalk whole call): grid %.2f", (kdBuild + kdGridQueries) / wholeGrid);
    if (withRandomOrder) std::printf("  random %.2f", (kdBuild + kdRandomQueries) / wholeRandom);
    std::printf("\n");
    std::printf("  ratio (nanoflann queries) / (nearwalk walks alone):      grid %.2f\n", kdGridQueries / walksGrid);
    if (versus != nullptr)
        std::printf("  versus: this build %.4f s, the other %.4f s (alternating); ratio other / this %.3f\n",
                    versusGrid.first, versusGrid.second, versusGrid.second / versusGrid.first);
    std::printf("  answers farther than nanoflann's: grid %zu", disagreements(x, y, grid, gridAnswers.get(), kdGrid));
    if (withRandomOrder)
        std::printf(", random %zu", disagreements(x, y, random_, randomAnswers.get(), kdRandom));
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<std::int32_t> sizes;
    bool withRandomOrder = true;
    Family family = Family::uniform;
    const char* versusPath = nullptr;
    for (int a = 1; a < argc; ++a) {
        const std::string argument = argv[a];
        if (argument == "--grid-only") {
            withRandomOrder = false;
        } else if (argument == "--family" && a + 1 < argc) {
            const std::string name = argv[++a];
            if (name == "uniform") family = Family::uniform;
            else if (name == "two-scales") family = Family::twoScales;
            else if (name == "far-point") family = Family::farPoint;
            else {
                std::fprintf(stderr, "unknown family %s (uniform, two-scales, far-point)\n", name.c_str());
                return 2;
            }
        } else if (argument == "--grid" && a + 1 < argc) {
            gridSide = std::max(2, std::atoi(argv[++a]));
        } else if (argument == "--versus" && a + 1 < argc) {
            versusPath = argv[++a];
        } else {
            sizes.push_back(static_cast<std::int32_t>(std::atol(argv[a])));
        }
    }
    if (sizes.empty()) sizes = {100000, 1000000};
    const kyxFunctionType nearwalk =
        ky::loadPlugin(std::string(NEARWALK_BENCH_PLUGIN_DIR) + "/nearwalk" + ky::pluginSuffix);
    const kyxFunctionType versus = versusPath != nullptr ? ky::loadPlugin(versusPath) : nullptr;
    for (const std::int32_t n : sizes) benchmark(n, family, nearwalk, versus, withRandomOrder);
    return 0;
}
