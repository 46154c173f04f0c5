// kyhost check's exact verdict next to CGAL's Delaunay_triangulation_2 on
// the same random points (10^5 and 10^6); prints the medians' ratio.
#include <benchmark/benchmark.h>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <cstdio>
#include <map>
#include <random>

#include "exact_geometry.hpp"
#include "triangulation_check.hpp"

namespace {

using namespace ky::inspect;
using Vertex = CGAL::Triangulation_vertex_base_with_info_2<int, Kernel>;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, CGAL::Triangulation_data_structure_2<Vertex>>;

struct Data {
    std::vector<double> x, y, tri;
    std::size_t rows = 0;
};

const Data& data(std::size_t n)
{
    static std::map<std::size_t, Data> cache;
    Data& d = cache[n];
    if (!d.x.empty()) return d;
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<std::pair<Point, int>> points;
    for (std::size_t i = 0; i < n; ++i) {
        d.x.push_back(unit(random));
        d.y.push_back(unit(random));
        points.emplace_back(Point(d.x.back(), d.y.back()), static_cast<int>(i) + 1);
    }
    const Delaunay dt(points.begin(), points.end());
    std::vector<std::array<double, 3>> rows;
    for (auto f = dt.finite_faces_begin(); f != dt.finite_faces_end(); ++f)
        rows.push_back({double(f->vertex(0)->info()), double(f->vertex(2)->info()), double(f->vertex(1)->info())});
    d.rows = rows.size();
    d.tri.resize(3 * d.rows);
    for (std::size_t r = 0; r < d.rows; ++r)
        for (std::size_t k = 0; k < 3; ++k) d.tri[k * d.rows + r] = rows[r][k];
    return d;
}

void exactCheck(benchmark::State& state)
{
    const Data& d = data(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        const CheckReport report = checkTriangulation({d.x.data(), d.y.data(), d.x.size()}, {d.tri.data(), d.rows});
        if (!report.isDelaunay()) state.SkipWithError("CGAL's triangulation failed the check");
        benchmark::DoNotOptimize(report.rows);
    }
}

void cgalDelaunay(benchmark::State& state)
{
    const Data& d = data(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::vector<std::pair<Point, int>> points;
        for (std::size_t i = 0; i < d.x.size(); ++i) points.emplace_back(Point(d.x[i], d.y[i]), static_cast<int>(i));
        const Delaunay dt(points.begin(), points.end());
        benchmark::DoNotOptimize(dt.number_of_faces());
    }
}

BENCHMARK(exactCheck)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(cgalDelaunay)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Collects the medians to print their ratio after the run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.aggregate_name == "median") medians[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* n : {"100000", "1000000"}) {
        const std::string suffix = std::string("/") + n + "/repeats:5_median";
        const auto check = reporter.medians.find("exactCheck" + suffix);
        const auto cgal = reporter.medians.find("cgalDelaunay" + suffix);
        if (check != reporter.medians.end() && cgal != reporter.medians.end())
            std::printf("n = %s: exact check %.1f ms, CGAL Delaunay %.1f ms, ratio check/CGAL %.2f (medians)\n", n,
                        check->second, cgal->second, check->second / cgal->second);
    }
    benchmark::Shutdown();
}
