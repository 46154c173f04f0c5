#include "demo_search.hpp"

#include <algorithm>
#include <limits>
#include <random>
#include <ostream>

#include "demo_calls.hpp"

namespace ky {

namespace {

double squaredDistance(const DemoPoints& points, std::size_t k, double qx, double qy)
{
    const double dx = points.x[k] - qx;
    const double dy = points.y[k] - qy;
    return dy * dy + dx * dx;
}

// Indices of `count` queries drawn at random (with a fixed seed) from all.
std::vector<std::size_t> sampleQueries(std::size_t total, std::size_t count)
{
    std::vector<std::size_t> chosen;
    if (total == 0) return chosen;
    std::mt19937_64 random(20261207);
    std::uniform_int_distribution<std::size_t> pick(0, total - 1);
    for (std::size_t i = 0; i < count; ++i) chosen.push_back(pick(random));
    return chosen;
}

// Indices of the queries on a perAxis-by-perAxis lattice inside the grid.
std::vector<std::size_t> latticeQueries(std::int32_t gridSide, std::int32_t perAxis)
{
    std::vector<std::size_t> chosen;
    for (std::int32_t a = 0; a < perAxis; ++a)
        for (std::int32_t b = 0; b < perAxis; ++b) {
            const std::int64_t j = (2 * a + 1) * std::int64_t{gridSide} / (2 * perAxis);
            const std::int64_t i = (2 * b + 1) * std::int64_t{gridSide} / (2 * perAxis);
            chosen.push_back(static_cast<std::size_t>(i + j * gridSide));
        }
    return chosen;
}

}  // namespace

SearchRun runNearwalk(const std::filesystem::path& pluginDir, const DemoPoints& points,
                      const std::vector<Triangle>& triangles, std::int32_t gridSide)
{
    SearchRun run;
    run.gridSide = gridSide;
    const auto [xmin, xmax] = std::minmax_element(points.x.begin(), points.x.end());
    const auto [ymin, ymax] = std::minmax_element(points.y.begin(), points.y.end());
    // XI(i, j) runs along x with the column j, YI(i, j) along y with the row
    // i: consecutive queries in column-major order are neighbours.
    for (std::int32_t j = 0; j < gridSide; ++j)
        for (std::int32_t i = 0; i < gridSide; ++i) {
            const double s = gridSide > 1 ? double(j) / (gridSide - 1) : 0.5;
            const double t = gridSide > 1 ? double(i) / (gridSide - 1) : 0.5;
            run.queryX.push_back(*xmin + (*xmax - *xmin) * s);
            run.queryY.push_back(*ymin + (*ymax - *ymin) * t);
        }

    const auto n = static_cast<std::int32_t>(points.size());
    const auto m = static_cast<std::int32_t>(triangles.size());
    std::vector<double> tri(3 * triangles.size());
    for (std::size_t r = 0; r < triangles.size(); ++r)
        for (std::size_t c = 0; c < 3; ++c) tri[c * triangles.size() + r] = triangles[r][c] + 1.0;
    const kyhost::CallRecord record = callDemoPlugin(
        pluginDir, "nearwalk",
        {{1, n, &points.x}, {1, n, &points.y}, {m, 3, &tri}, {gridSide, gridSide, &run.queryX}, {gridSide, gridSide, &run.queryY}},
        run.error);
    if (!record) return run;
    readCallRecord(record.get(), run.warnings, run.error, run.seconds);
    if (const kyArray* result = kyhostCallResult(record.get(), 0)) {
        const auto* values = static_cast<const double*>(kyhostArrayData(result));
        for (std::size_t q = 0; q < run.queryX.size(); ++q) run.found.push_back(static_cast<std::int32_t>(values[q]) - 1);
    }
    return run;
}

SearchCheck checkSearch(const DemoPoints& points, const SearchRun& run, std::size_t sampleCount)
{
    SearchCheck check;
    for (const std::size_t q : sampleQueries(run.found.size(), sampleCount)) {
        double nearest = std::numeric_limits<double>::infinity();
        for (std::size_t k = 0; k < points.size(); ++k)
            nearest = std::min(nearest, squaredDistance(points, k, run.queryX[q], run.queryY[q]));
        const auto k = static_cast<std::size_t>(run.found[q]);
        ++check.sampled;
        if (k >= points.size() || squaredDistance(points, k, run.queryX[q], run.queryY[q]) != nearest)
            ++check.notNearest;
    }
    return check;
}

SvgMarks searchMarks(const DemoPoints& points, const SearchRun& run, std::int32_t perAxis)
{
    std::vector<std::size_t> queries = latticeQueries(run.gridSide, perAxis);
    return [&points, &run, queries](std::ostream& out, const SvgFrame& frame) {
        out << "<g stroke=\"#108030\" stroke-width=\"1.5\" fill=\"none\">\n";
        for (const std::size_t q : queries) {
            if (q >= run.found.size()) continue;
            const auto k = static_cast<std::size_t>(run.found[q]);
            if (k >= points.size()) continue;
            const double qx = frame.px(run.queryX[q]), qy = frame.py(run.queryY[q]);
            out << "<path d=\"M" << qx - 4 << ' ' << qy - 4 << 'L' << qx + 4 << ' ' << qy + 4 << 'M' << qx - 4 << ' '
                << qy + 4 << 'L' << qx + 4 << ' ' << qy - 4 << "\"/>\n"
                << "<line x1=\"" << qx << "\" y1=\"" << qy << "\" x2=\"" << frame.px(points.x[k]) << "\" y2=\""
                << frame.py(points.y[k]) << "\"/>\n"
                << "<circle cx=\"" << frame.px(points.x[k]) << "\" cy=\"" << frame.py(points.y[k])
                << "\" r=\"4\"/>\n";
        }
        out << "</g>\n";
    };
}

}  // namespace ky
