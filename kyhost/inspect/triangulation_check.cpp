#include "triangulation_check.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "edge_index.hpp"
#include "hull_boundary.hpp"

namespace ky::inspect {

namespace {

void requireFinite(const PointSet& points)
{
    for (std::size_t i = 0; i < points.n; ++i) {
        if (!std::isfinite(points.x[i]))
            throw std::invalid_argument("X(" + std::to_string(i + 1) + ") is not a finite number");
        if (!std::isfinite(points.y[i]))
            throw std::invalid_argument("Y(" + std::to_string(i + 1) + ") is not a finite number");
    }
}

struct RowScan {
    std::vector<IndexedRow> indexed;  // rows with valid, distinct corners
    std::vector<bool> clockwise;      // per row of TRI
};

RowScan scanRows(const PointSet& points, const TriangleRows& tri, CheckReport& report)
{
    RowScan scan;
    scan.clockwise.assign(tri.rows, false);
    scan.indexed.reserve(tri.rows);
    for (std::size_t r = 0; r < tri.rows; ++r) {
        IndexedRow row{{pointIndex(tri.at(r, 0), points.n), pointIndex(tri.at(r, 1), points.n),
                        pointIndex(tri.at(r, 2), points.n)},
                       static_cast<std::int32_t>(r)};
        const auto [a, b, c] = row.corners;
        if (a < 0 || b < 0 || c < 0) {
            report.badIndexRows.push_back(row.row);
            continue;
        }
        if (a == b || b == c || c == a) {
            report.repeatedCornerRows.push_back(row.row);
            continue;
        }
        const int turn = orientation(points, static_cast<std::size_t>(a), static_cast<std::size_t>(b),
                                     static_cast<std::size_t>(c));
        if (turn < 0)
            scan.clockwise[r] = true;
        else
            (turn > 0 ? report.counterClockwiseRows : report.flatRows).push_back(row.row);
        scan.indexed.push_back(row);
    }
    return scan;
}

void findUnusedPoints(std::size_t n, const RowScan& scan, const HullBoundary& hull, CheckReport& report)
{
    std::vector<bool> used(n, false);
    for (const IndexedRow& row : scan.indexed)
        for (std::int32_t corner : row.corners) used[static_cast<std::size_t>(corner)] = true;
    for (std::int32_t repeat : hull.repeats) used[static_cast<std::size_t>(repeat)] = true;  // reported as repeats
    for (std::size_t i = 0; i < n; ++i)
        if (!used[i]) report.unusedPoints.push_back(static_cast<std::int32_t>(i));
}

// An exact area to 7 significant digits; its exponent may lie far outside
// a double's range (points near 1e300 enclose areas near 1e600).
std::string areaText(const mpq_class& area)
{
    const mpf_class value(area, 64);
    char text[64];
    gmp_snprintf(text, sizeof text, "%.7Fg", value.get_mpf_t());
    return text;
}

bool edgeOrder(const EdgeFault& a, const EdgeFault& b) { return a.u != b.u ? a.u < b.u : a.v < b.v; }

// Compares the edges that only one row holds with the hull's boundary run
// clockwise, as the rows next to it run.
void compareBoundary(std::vector<EdgeFault> unpaired, const HullBoundary& hull, CheckReport& report)
{
    std::vector<EdgeFault> expected;
    const std::size_t m = hull.boundary.size();
    for (std::size_t i = 0; i < m; ++i) expected.push_back({hull.boundary[(i + 1) % m], hull.boundary[i], -1, -1});
    std::sort(expected.begin(), expected.end(), edgeOrder);
    std::sort(unpaired.begin(), unpaired.end(), edgeOrder);
    std::size_t i = 0, j = 0;
    while (i < unpaired.size() || j < expected.size()) {
        if (j == expected.size() || (i < unpaired.size() && edgeOrder(unpaired[i], expected[j]))) {
            report.strayBoundaryEdges.push_back(unpaired[i++]);
        } else if (i == unpaired.size() || edgeOrder(expected[j], unpaired[i])) {
            report.uncoveredHullEdges.push_back(expected[j++]);
        } else {
            ++i;
            ++j;
        }
    }
    std::sort(report.strayBoundaryEdges.begin(), report.strayBoundaryEdges.end(),
              [](const EdgeFault& a, const EdgeFault& b) { return a.row < b.row; });
}

// Walks every edge once: repeated and crowded edges, the edges without a
// reverse, local Delaunay tests, and the rows' doubled area. An edge held in
// both directions adds nothing to the area sum (its two terms cancel), so
// only the unbalanced edges are summed, exactly.
std::vector<EdgeFault> walkEdges(const PointSet& points, const RowScan& scan, CheckReport& report,
                                 mpq_class& doubledSignedArea)
{
    const EdgeIndex index(points.n, scan.indexed);
    std::vector<EdgeFault> unpaired;
    for (std::size_t u = 0; u < points.n; ++u) {
        const std::span<const DirectedEdge> all = index.from(u);
        const auto iu = static_cast<std::int32_t>(u);
        for (std::size_t g = 0; g < all.size();) {
            const std::int32_t v = all[g].to;
            std::size_t end = g;
            while (end < all.size() && all[end].to == v) ++end;
            const std::span<const DirectedEdge> forward = all.subspan(g, end - g);
            g = end;
            for (std::size_t k = 1; k < forward.size(); ++k)
                report.repeatedEdges.push_back({iu, v, forward[0].row, forward[k].row});
            const std::span<const DirectedEdge> backward = index.between(static_cast<std::size_t>(v), iu);
            if (!backward.empty() && iu > v) continue;  // seen from v
            if (forward.size() + backward.size() > 2)
                report.crowdedEdges.push_back(
                    {iu, v, forward[0].row, backward.empty() ? forward[1].row : backward[0].row});
            const long net = static_cast<long>(forward.size()) - static_cast<long>(backward.size());
            if (net != 0) doubledSignedArea += mpq_class(net) * crossProduct(points, u, static_cast<std::size_t>(v));
            if (backward.empty()) {
                for (const DirectedEdge& e : forward) unpaired.push_back({iu, v, e.row, -1});
                continue;
            }
            if (forward.size() != 1 || backward.size() != 1) continue;
            const DirectedEdge& here = forward[0];
            const DirectedEdge& there = backward[0];
            if (!scan.clockwise[static_cast<std::size_t>(here.row)] || !scan.clockwise[static_cast<std::size_t>(there.row)])
                continue;
            if (strictlyInsideCircle(points, u, static_cast<std::size_t>(v), static_cast<std::size_t>(here.opposite),
                                     static_cast<std::size_t>(there.opposite)))
                report.nonDelaunayEdges.push_back({iu, v, here.row, there.row});
        }
    }
    return unpaired;
}

}  // namespace

std::int32_t pointIndex(double value, std::size_t n)
{
    if (!(value >= 1.0 && value <= static_cast<double>(n)) || value != std::floor(value)) return -1;
    return static_cast<std::int32_t>(value) - 1;
}

bool CheckReport::isTriangulation() const
{
    return badIndexRows.empty() && repeatedCornerRows.empty() && counterClockwiseRows.empty() && flatRows.empty() &&
           unusedPoints.empty() && repeatedPoints.empty() && repeatedEdges.empty() && crowdedEdges.empty() &&
           strayBoundaryEdges.empty() && uncoveredHullEdges.empty() && areaComparison == 0 &&
           (hullHasArea || rows == 0);
}

CheckReport checkTriangulation(const PointSet& points, const TriangleRows& tri)
{
    requireFinite(points);
    CheckReport report;
    report.points = points.n;
    report.rows = tri.rows;

    const HullBoundary hull = findHullBoundary(points);
    report.hullHasArea = hull.hasArea();
    report.hullCorners = hull.corners.size();
    report.hullBoundaryPoints = hull.boundary.size();
    report.repeatedPoints = hull.repeats;

    const RowScan scan = scanRows(points, tri, report);
    if (hull.hasArea()) findUnusedPoints(points.n, scan, hull, report);

    mpq_class doubledSignedArea = 0;
    std::vector<EdgeFault> unpaired = walkEdges(points, scan, report, doubledSignedArea);
    // Clockwise rows have negative signed area.
    const mpq_class rowsArea = -doubledSignedArea;
    const mpq_class hullArea = doubledHullArea(points, hull);
    if (hull.hasArea()) compareBoundary(std::move(unpaired), hull, report);
    report.areaComparison = cmp(rowsArea, hullArea) < 0 ? -1 : (cmp(rowsArea, hullArea) > 0 ? 1 : 0);
    report.rowsArea = areaText(rowsArea / 2);
    report.hullArea = areaText(hullArea / 2);
    return report;
}

}  // namespace ky::inspect
