// kyhost demo: triangulates random points through the real sweeptri
// plug-in, checks the triangles with exact predicates, reports the call's
// time, searches a grid of query points with nearwalk on that triangulation,
// checks a sample of the answers by brute force, and draws the result.
#include "demo_command.hpp"

#include <cstdio>
#include <vector>

#include "demo_points.hpp"
#include "demo_search.hpp"
#include "demo_svg.hpp"
#include "demo_triangulation.hpp"

namespace ky {

namespace {

void printCheck(const TriangulationRun& run, const TriangulationCheck& check, std::size_t n)
{
    std::printf("sweeptri: %zu triangles in %.3f s (peak host memory %.0f bytes per point)\n", run.triangles.size(),
                run.seconds, n == 0 ? 0.0 : static_cast<double>(run.peakBytes) / static_cast<double>(n));
    for (const std::string& warning : run.warnings) std::printf("sweeptri warning: %s\n", warning.c_str());
    if (check.faults.empty()) {
        std::printf("check: %zu rows = 2n - 2 - h with h = %zu hull points; every row clockwise; "
                    "every edge locally Delaunay (exact predicates): passed\n",
                    run.triangles.size(), check.hullPoints);
        return;
    }
    for (const std::string& fault : check.faults) std::printf("check FAILED: %s\n", fault.c_str());
}

// Query grid of the search step, and how many answers are checked and drawn.
constexpr std::int32_t searchGridSide = 300;
constexpr std::size_t checkedAnswers = 500;
constexpr std::int32_t drawnAnswersPerAxis = 4;

void printSearch(const SearchRun& run, const SearchCheck& check)
{
    const double queries = static_cast<double>(run.found.size());
    std::printf("nearwalk: %d-by-%d query grid, %.0f queries in %.3f s (%.2f million queries/s, neighbour matrix "
                "included)\n",
                run.gridSide, run.gridSide, queries, run.seconds, run.seconds > 0 ? queries / run.seconds / 1e6 : 0.0);
    for (const std::string& warning : run.warnings) std::printf("nearwalk warning: %s\n", warning.c_str());
    if (check.notNearest == 0)
        std::printf("check: %zu sampled answers are nearest points (brute force): passed\n", check.sampled);
    else
        std::printf("check FAILED: %zu of %zu sampled answers are not nearest points\n", check.notNearest,
                    check.sampled);
}

}  // namespace

int runDemo(const DemoOptions& options)
{
    const auto n = static_cast<std::size_t>(options.points);
    std::printf("kyhost demo: %zu random points (seed %llu)\n", n, static_cast<unsigned long long>(options.seed));
    const DemoPoints points = randomDemoPoints(n, options.seed);

    const TriangulationRun run = runSweeptri(options.pluginDir, points);
    if (run.error) {
        std::printf("sweeptri failed: %s\n", run.error->c_str());
        return 1;
    }
    const TriangulationCheck check = checkTriangulation(points, run.triangles);
    printCheck(run, check, n);

    bool passed = check.faults.empty();
    SearchRun search;
    std::vector<SvgMarks> marks;
    if (run.triangles.empty()) {
        std::printf("nearwalk: skipped, no triangles to search\n");
    } else {
        search = runNearwalk(options.pluginDir, points, run.triangles, searchGridSide);
        if (search.error) {
            std::printf("nearwalk failed: %s\n", search.error->c_str());
            return 1;
        }
        const SearchCheck searchCheck = checkSearch(points, search, checkedAnswers);
        printSearch(search, searchCheck);
        passed = passed && searchCheck.notNearest == 0 && search.warnings.empty();
        marks.push_back(searchMarks(points, search, drawnAnswersPerAxis));
    }

    if (n > maxDrawnPoints) {
        std::printf("picture: skipped, more than %zu points would not show\n", maxDrawnPoints);
    } else if (writeTriangulationSvg(options.svgPath, points, run.triangles, marks)) {
        std::printf("picture: %s\n", options.svgPath.c_str());
    } else {
        std::printf("picture: cannot write %s\n", options.svgPath.c_str());
        return 1;
    }
    return passed ? 0 : 1;
}

}  // namespace ky
