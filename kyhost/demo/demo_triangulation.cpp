#include "demo_triangulation.hpp"

#include <algorithm>
#include <sstream>
#include <string>

#include "call_runner.hpp"
#include "check_report.hpp"
#include "host_array.hpp"
#include "plugin_loader.hpp"

namespace ky {

TriangulationRun runSweeptri(const std::filesystem::path& pluginDir, const DemoPoints& points)
{
    const kyxFunctionType sweeptri = loadPlugin(pluginDir / (std::string("sweeptri") + pluginSuffix));
    const auto n = static_cast<std::int32_t>(points.size());
    ArrayHandle x(createDouble(1, n));
    ArrayHandle y(createDouble(1, n));
    std::copy(points.x.begin(), points.x.end(), static_cast<double*>(x->data));
    std::copy(points.y.begin(), points.y.end(), static_cast<double*>(y->data));
    const kyArray* inputs[] = {x.get(), y.get()};
    CallOutcome outcome = runCall(sweeptri, 1, inputs);

    TriangulationRun run;
    run.warnings = std::move(outcome.warnings);
    run.error = std::move(outcome.error);
    run.seconds = outcome.seconds;
    run.peakBytes = outcome.peakBytes;
    if (outcome.result) {
        const auto* values = static_cast<const double*>(outcome.result->data);
        const auto rows = static_cast<std::size_t>(outcome.result->m);
        run.triangles.resize(rows);
        for (std::size_t r = 0; r < rows; ++r)
            for (std::size_t c = 0; c < 3; ++c)
                run.triangles[r][c] = static_cast<std::int32_t>(values[c * rows + r]) - 1;
    }
    return run;
}

TriangulationCheck checkTriangulation(const DemoPoints& points, const std::vector<Triangle>& triangles)
{
    TriangulationCheck check;
    const std::size_t m = triangles.size();
    check.tri.resize(3 * m);
    for (std::size_t r = 0; r < m; ++r)
        for (std::size_t c = 0; c < 3; ++c) check.tri[c * m + r] = triangles[r][c] + 1.0;
    const inspect::PointSet pointSet{points.x.data(), points.y.data(), points.size()};
    const inspect::TriangleRows rows{check.tri.data(), m};
    check.report = inspect::checkTriangulation(pointSet, rows);
    const inspect::CheckReport& report = check.report;
    check.hullPoints = report.hullHasArea ? report.hullBoundaryPoints : points.size();
    check.expectedRows = report.hullHasArea ? 2 * points.size() - 2 - report.hullBoundaryPoints : 0;
    check.nonDelaunayEdges = report.nonDelaunayEdges.size();
    check.counterClockwiseRows = report.counterClockwiseRows.size() + report.flatRows.size();
    std::ostringstream text;
    inspect::writeCheckReport(text, report, rows);
    std::istringstream lines(text.str());
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("FAIL  ", 0) == 0) check.faults.push_back(line.substr(6));
    if (triangles.size() != check.expectedRows)
        check.faults.push_back(std::to_string(triangles.size()) + " rows where 2n - 2 - h gives " +
                               std::to_string(check.expectedRows));
    return check;
}

}  // namespace ky
