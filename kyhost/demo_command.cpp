// kyhost demo: triangulates random points through the real sweeptri
// plug-in, checks the triangles with exact predicates, reports the call's
// time and draws the result.
#include "demo_command.hpp"

#include <cstdio>

#include "demo_points.hpp"
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

    if (n > maxDrawnPoints) {
        std::printf("picture: skipped, more than %zu points would not show\n", maxDrawnPoints);
    } else if (writeTriangulationSvg(options.svgPath, points, run.triangles)) {
        std::printf("picture: %s\n", options.svgPath.c_str());
    } else {
        std::printf("picture: cannot write %s\n", options.svgPath.c_str());
        return 1;
    }
    return check.faults.empty() ? 0 : 1;
}

}  // namespace ky
