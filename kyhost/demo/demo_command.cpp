// kyhost demo: triangulates random points through the real sweeptri
// plug-in, checks the triangles exactly (as kyhost check does), reports the call's
// time, searches a grid of query points with nearwalk on that triangulation,
// checks a sample of the answers by brute force, and draws the result.
#include "demo_command.hpp"

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <vector>

#include "demo_points.hpp"
#include "demo_search.hpp"
#include "demo_triangulation.hpp"
#include "check_report.hpp"
#include "picture_file.hpp"
#include "triangulation_picture.hpp"

namespace ky {

namespace {

void printCheck(const TriangulationRun& run, const TriangulationCheck& check, std::size_t n)
{
    std::printf("sweeptri: %zu triangles in %.3f s (peak host memory %.0f bytes per point)\n", run.triangles.size(),
                run.seconds, n == 0 ? 0.0 : static_cast<double>(run.peakBytes) / static_cast<double>(n));
    for (const std::string& warning : run.warnings) std::printf("sweeptri warning: %s\n", warning.c_str());
    if (check.faults.empty()) {
        std::printf("check: %zu rows = 2n - 2 - h with h = %zu hull points; exact check (kyhost check): %s\n",
                    run.triangles.size(), check.hullPoints, inspect::verdictLine(check.report).c_str());
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

// Largest point count that is still drawn as SVG (a PNG is drawn at any size).
constexpr std::size_t maxSvgPoints = 20000;

// Draws the points, the triangles with any problems the check found, and the
// drawn queries joined to their answers; false when the picture could not
// be written.
bool drawPicture(const DemoOptions& options, const DemoPoints& points, const TriangulationCheck& check,
                 const DrawnQueries* queries)
{
    // A name ending in .png gives a PNG, any other an SVG.
    const inspect::PictureFormat format =
        inspect::pictureFormatFor(options.svgPath).value_or(inspect::PictureFormat::Svg);
    if (format == inspect::PictureFormat::Svg && points.size() > maxSvgPoints) {
        std::printf("picture: skipped, more than %zu points would not show in an SVG (a .png would)\n", maxSvgPoints);
        return true;
    }
    inspect::PictureRequest request;
    request.points = {points.x.data(), points.y.data(), points.size()};
    request.tri = {check.tri.data(), check.tri.size() / 3};
    request.report = &check.report;
    if (queries) request.queries = inspect::QueryAnswers{queries->x.data(), queries->y.data(), queries->answer.data(), queries->x.size()};
    request.title = "kyhost demo: sweeptri on " + std::to_string(points.size()) + " random points, nearwalk queries";
    request.subtitle = "kyhost check: " + inspect::verdictLine(check.report);
    request.format = format;
    try {
        inspect::writePictureFile(options.svgPath, inspect::renderPicture(request).bytes);
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "error: %s\n", error.what());
        return false;
    }
    std::printf("picture: %s\n", options.svgPath.c_str());
    return true;
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
    DrawnQueries drawn;
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
        drawn = drawnQueries(search, drawnAnswersPerAxis);
    }

    if (!drawPicture(options, points, check, run.triangles.empty() ? nullptr : &drawn)) return 1;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "error: cannot write to standard output\n");
        return 1;
    }
    return passed ? 0 : 1;
}

}  // namespace ky
