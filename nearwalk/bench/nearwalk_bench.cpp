// Times nearwalk against nanoflann on uniform random points: the neighbour
// matrix ("sparse") alone, the whole call, the walks alone (S passed), each
// over a 1000 x 1000 query grid in column-major order and over the same
// queries in random order; then nanoflann's KD-tree build and queries on
// the same data. Prints medians and ratios.
//
// Usage: nearwalk_bench [--grid-only] [point count ...]
//        (default 100000 1000000; --grid-only skips the slow random order)
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

constexpr int gridSide = 1000;

struct Queries {
    std::vector<double> x, y;
};

// Column-major grid over the bounding box: consecutive queries are
// neighbours, as when gridding data.
Queries gridQueries(const std::vector<double>& x, const std::vector<double>& y)
{
    const auto [xmin, xmax] = std::minmax_element(x.begin(), x.end());
    const auto [ymin, ymax] = std::minmax_element(y.begin(), y.end());
    Queries grid;
    for (int j = 0; j < gridSide; ++j)
        for (int i = 0; i < gridSide; ++i) {
            grid.x.push_back(*xmin + (*xmax - *xmin) * j / (gridSide - 1));
            grid.y.push_back(*ymin + (*ymax - *ymin) * i / (gridSide - 1));
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

void benchmark(std::int32_t n, kyxFunctionType nearwalk, bool withRandomOrder)
{
    const int runs = n >= 1000000 ? 5 : 9;
    // A random-order walk crosses about sqrt(n) triangles: far slower, so
    // fewer runs.
    const int randomRuns = n >= 1000000 ? 1 : 3;
    std::mt19937_64 random(20261207 + std::uint64_t(n));
    std::uniform_real_distribution<double> coordinate(0.0, 1.0);
    std::vector<double> x(std::size_t(n), 0.0), y(std::size_t(n), 0.0);
    for (std::int32_t k = 0; k < n; ++k) {
        x[std::size_t(k)] = coordinate(random);
        y[std::size_t(k)] = coordinate(random);
    }
    const ky::ArrayHandle X = column(x), Y = column(y);
    const Triangulation triangulation = triangulate(X.get(), Y.get());
    const kyArray* tri = triangulation.tri.get();
    const Queries grid = gridQueries(x, y), random_ = shuffled(grid, 7);
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
    for (int a = 1; a < argc; ++a) {
        if (std::string(argv[a]) == "--grid-only")
            withRandomOrder = false;
        else
            sizes.push_back(static_cast<std::int32_t>(std::atol(argv[a])));
    }
    if (sizes.empty()) sizes = {100000, 1000000};
    const kyxFunctionType nearwalk =
        ky::loadPlugin(std::string(NEARWALK_BENCH_PLUGIN_DIR) + "/nearwalk" + ky::pluginSuffix);
    for (const std::int32_t n : sizes) benchmark(n, nearwalk, withRandomOrder);
    return 0;
}
