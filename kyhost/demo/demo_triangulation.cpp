#include "demo_triangulation.hpp"

#include <algorithm>
#include <string>

#include "demo_calls.hpp"
#include "demo_predicates.hpp"

namespace ky {

namespace {

GridPoint gridPoint(const DemoPoints& points, std::int32_t k) { return {points.gridX[k], points.gridY[k]}; }

// Corners of the convex hull (monotone chain), counter-clockwise.
std::vector<std::int32_t> hullCorners(const DemoPoints& points)
{
    std::vector<std::int32_t> order(points.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::int32_t>(i);
    std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
        return points.gridX[a] != points.gridX[b] ? points.gridX[a] < points.gridX[b] : points.gridY[a] < points.gridY[b];
    });
    if (order.size() < 3) return order;
    std::vector<std::int32_t> hull(2 * order.size());
    std::size_t k = 0;
    const auto extend = [&](std::int32_t p, std::size_t floor) {
        while (k >= floor && orientation(gridPoint(points, hull[k - 2]), gridPoint(points, hull[k - 1]), gridPoint(points, p)) <= 0)
            --k;
        hull[k++] = p;
    };
    for (std::int32_t p : order) extend(p, 2);
    const std::size_t lowerSize = k + 1;
    for (std::size_t i = order.size() - 1; i-- > 0;) extend(order[i], lowerSize);
    hull.resize(k - 1);
    return hull;
}

// Points on the hull's boundary: its corners and the points on its edges.
std::size_t hullBoundaryPoints(const DemoPoints& points, const std::vector<std::int32_t>& corners)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const GridPoint p = gridPoint(points, static_cast<std::int32_t>(i));
        for (std::size_t c = 0; c < corners.size(); ++c) {
            const GridPoint a = gridPoint(points, corners[c]);
            const GridPoint b = gridPoint(points, corners[(c + 1) % corners.size()]);
            if (orientation(a, b, p) == 0 && std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) &&
                std::min(a.y, b.y) <= p.y && p.y <= std::max(a.y, b.y)) {
                ++count;
                break;
            }
        }
    }
    return count;
}

// Directed edges u -> v of all triangles, grouped by u (compressed rows):
// for each, the triangle and its corner opposite the edge.
struct EdgeIndex {
    std::vector<std::size_t> start;  // per point, n + 1
    std::vector<std::int32_t> to, opposite;
};

EdgeIndex indexEdges(std::size_t n, const std::vector<Triangle>& triangles)
{
    EdgeIndex index;
    index.start.assign(n + 1, 0);
    for (const Triangle& t : triangles)
        for (std::int32_t corner : t) ++index.start[static_cast<std::size_t>(corner) + 1];
    for (std::size_t i = 0; i < n; ++i) index.start[i + 1] += index.start[i];
    std::vector<std::size_t> fill(index.start.begin(), index.start.end() - 1);
    index.to.resize(3 * triangles.size());
    index.opposite.resize(3 * triangles.size());
    for (const Triangle& t : triangles)
        for (int c = 0; c < 3; ++c) {
            const std::size_t slot = fill[static_cast<std::size_t>(t[c])]++;
            index.to[slot] = t[(c + 1) % 3];
            index.opposite[slot] = t[(c + 2) % 3];
        }
    return index;
}

}  // namespace

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
    const std::size_t n = points.size();
    const std::vector<std::int32_t> corners = hullCorners(points);
    if (corners.size() < 3) {  // fewer than three points, or all on one line: no triangle
        check.hullPoints = n;
        check.expectedRows = 0;
    } else {
        check.hullPoints = hullBoundaryPoints(points, corners);
        check.expectedRows = 2 * n - 2 - check.hullPoints;
    }
    if (triangles.size() != check.expectedRows)
        check.faults.push_back(std::to_string(triangles.size()) + " rows where 2n - 2 - h gives " +
                               std::to_string(check.expectedRows));

    for (const Triangle& t : triangles)
        for (std::int32_t corner : t)
            if (corner < 0 || static_cast<std::size_t>(corner) >= n) {
                check.faults.push_back("a row names a point that does not exist");
                return check;
            }

    for (const Triangle& t : triangles)
        if (orientation(gridPoint(points, t[0]), gridPoint(points, t[1]), gridPoint(points, t[2])) >= 0)
            ++check.counterClockwiseRows;
    if (check.counterClockwiseRows != 0)
        check.faults.push_back(std::to_string(check.counterClockwiseRows) + " rows do not run clockwise");

    const EdgeIndex index = indexEdges(n, triangles);
    std::size_t unusedPoints = 0, repeatedEdges = 0;
    for (std::size_t u = 0; u < n; ++u) {
        if (index.start[u] == index.start[u + 1] && !triangles.empty()) ++unusedPoints;
        for (std::size_t e = index.start[u]; e < index.start[u + 1]; ++e) {
            const std::int32_t v = index.to[e];
            for (std::size_t f = e + 1; f < index.start[u + 1]; ++f)
                if (index.to[f] == v) ++repeatedEdges;
            // The triangle on the other side holds the edge as v -> u.
            const auto vs = static_cast<std::size_t>(v);
            for (std::size_t f = index.start[vs]; f < index.start[vs + 1]; ++f) {
                if (index.to[f] != static_cast<std::int32_t>(u)) continue;
                // Clockwise u, v, w is counter-clockwise u, w, v.
                const GridPoint a = gridPoint(points, static_cast<std::int32_t>(u));
                const GridPoint b = gridPoint(points, index.opposite[e]);
                const GridPoint c = gridPoint(points, v);
                if (inCircle(a, b, c, gridPoint(points, index.opposite[f])) > 0) ++check.nonDelaunayEdges;
            }
        }
    }
    if (unusedPoints != 0) check.faults.push_back(std::to_string(unusedPoints) + " points are in no triangle");
    if (repeatedEdges != 0) check.faults.push_back(std::to_string(repeatedEdges) + " edges are used twice in one direction");
    if (check.nonDelaunayEdges != 0)
        check.faults.push_back(std::to_string(check.nonDelaunayEdges) + " edges are not locally Delaunay");
    return check;
}

}  // namespace ky
