#include "demo_triangulation.hpp"

#include <algorithm>
#include <sstream>
#include <string>

#include "check_report.hpp"
#include "demo_calls.hpp"

namespace ky {

TriangulationRun runSweeptri(const std::filesystem::path& pluginDir, const DemoPoints& points)
{
    TriangulationRun run;
    const auto n = static_cast<std::int32_t>(points.size());
    const kyhost::CallRecord record = callDemoPlugin(pluginDir, "sweeptri", {{1, n, &points.x}, {1, n, &points.y}}, run.error);
    const kyhostCall* call = record.get();
    if (call == nullptr) return run;
    readCallRecord(call, run.warnings, run.error, run.seconds);
    run.peakBytes = kyhostCallPeakBytes(call);
    if (const kyArray* result = kyhostCallResult(call, 0)) {
        const auto* values = static_cast<const double*>(kyhostArrayData(result));
        const auto rows = static_cast<std::size_t>(kyhostArrayRows(result));
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
    check.counterClockwiseRows = report.misorientedRows.size() + report.flatRows.size();
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
