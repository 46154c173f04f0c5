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
    std::vector<IndexedRow> indexed;  // rows with valid, distinct corners, turned clockwise when mirrored
    std::vector<bool> clockwise;      // per row of TRI: runs the checked way (clockwise once turned)
    bool mirrored = false;            // rows counter-clockwise: two corners swapped
};

// The way rows are checked to run: most rows' way for Either, clockwise
// on a tie.
RowOrientation chosenOrientation(RowOrientation requested, std::size_t clockwiseRows, std::size_t counterClockwiseRows)
{
    if (requested != RowOrientation::Either) return requested;
    return counterClockwiseRows > clockwiseRows ? RowOrientation::CounterClockwise : RowOrientation::Clockwise;
}

RowScan scanRows(const PointSet& points, const TriangleRows& tri, RowOrientation requested, CheckReport& report)
{
    RowScan scan;
    scan.clockwise.assign(tri.rows, false);
    scan.indexed.reserve(tri.rows);
    std::vector<std::int8_t> turns;  // per row of scan.indexed: -1 clockwise, 0 flat, 1 counter-clockwise
    turns.reserve(tri.rows);
    std::size_t clockwiseRows = 0, counterClockwiseRows = 0;
    for (std::size_t r = 0; r < tri.rows; ++r) {
        IndexedRow row{{tri.corner(r, 0, points.n), tri.corner(r, 1, points.n), tri.corner(r, 2, points.n)},
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
        clockwiseRows += turn < 0;
        counterClockwiseRows += turn > 0;
        turns.push_back(static_cast<std::int8_t>(turn < 0 ? -1 : turn > 0));
        scan.indexed.push_back(row);
    }
    report.orientation = chosenOrientation(requested, clockwiseRows, counterClockwiseRows);
    scan.mirrored = report.orientation == RowOrientation::CounterClockwise;
    const std::int8_t wanted = scan.mirrored ? 1 : -1;
    for (std::size_t k = 0; k < scan.indexed.size(); ++k) {
        IndexedRow& row = scan.indexed[k];
        if (turns[k] == wanted)
            scan.clockwise[static_cast<std::size_t>(row.row)] = true;
        else
            (turns[k] == 0 ? report.flatRows : report.misorientedRows).push_back(row.row);
        if (scan.mirrored) std::swap(row.corners[1], row.corners[2]);
    }
    return scan;
}

// Mirrored rows were checked with two corners swapped, so their directed
// edges ran backwards: the faults that name a direction name it as TRI
// holds it.
void unmirrorEdges(CheckReport& report)
{
    for (auto* faults : {&report.repeatedEdges, &report.strayBoundaryEdges, &report.uncoveredHullEdges})
        for (EdgeFault& fault : *faults) std::swap(fault.u, fault.v);
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
    index.forEachEdge([&](std::int32_t u, std::int32_t v, std::span<const EdgeUse> up, std::span<const EdgeUse> down) {
        for (std::size_t k = 1; k < up.size(); ++k) report.repeatedEdges.push_back({u, v, up[0].row, up[k].row});
        for (std::size_t k = 1; k < down.size(); ++k) report.repeatedEdges.push_back({v, u, down[0].row, down[k].row});
        if (up.size() + down.size() > 2) {
            const std::int32_t first = up.empty() ? down[0].row : up[0].row;
            const std::int32_t second = up.size() >= 2 ? up[1].row : down[up.empty() ? 1 : 0].row;
            report.crowdedEdges.push_back({u, v, first, second});
        }
        const long net = static_cast<long>(up.size()) - static_cast<long>(down.size());
        if (net != 0)
            doubledSignedArea +=
                mpq_class(net) * crossProduct(points, static_cast<std::size_t>(u), static_cast<std::size_t>(v));
        if (down.empty()) {
            for (const EdgeUse& e : up) unpaired.push_back({u, v, e.row, -1});
            return;
        }
        if (up.empty()) {
            for (const EdgeUse& e : down) unpaired.push_back({v, u, e.row, -1});
            return;
        }
        if (up.size() != 1 || down.size() != 1) return;
        if (!scan.clockwise[static_cast<std::size_t>(up[0].row)] || !scan.clockwise[static_cast<std::size_t>(down[0].row)])
            return;
        if (strictlyInsideCircle(points, static_cast<std::size_t>(u), static_cast<std::size_t>(v),
                                 static_cast<std::size_t>(up[0].opposite), static_cast<std::size_t>(down[0].opposite)))
            report.nonDelaunayEdges.push_back(
                {u, v, std::min(up[0].row, down[0].row), std::max(up[0].row, down[0].row)});
    });
    std::sort(report.repeatedEdges.begin(), report.repeatedEdges.end(),
              [](const EdgeFault& a, const EdgeFault& b) { return a.otherRow < b.otherRow; });
    return unpaired;
}

}  // namespace

std::int32_t pointIndex(double value, std::size_t n, int base)
{
    const double first = base;
    if (!(value >= first && value <= static_cast<double>(n) - 1 + first) || value != std::floor(value)) return -1;
    return static_cast<std::int32_t>(value) - base;
}

std::optional<RowOrientation> rowOrientationNamed(std::string_view name)
{
    if (name == "clockwise") return RowOrientation::Clockwise;
    if (name == "counterclockwise") return RowOrientation::CounterClockwise;
    if (name == "either") return RowOrientation::Either;
    return std::nullopt;
}

const char* orientationText(RowOrientation orientation)
{
    switch (orientation) {
    case RowOrientation::Clockwise: return "clockwise";
    case RowOrientation::CounterClockwise: return "counter-clockwise";
    case RowOrientation::Either: break;
    }
    return "either way";
}

bool CheckReport::isTriangulation() const
{
    return badIndexRows.empty() && repeatedCornerRows.empty() && misorientedRows.empty() && flatRows.empty() &&
           unusedPoints.empty() && repeatedPoints.empty() && repeatedEdges.empty() && crowdedEdges.empty() &&
           strayBoundaryEdges.empty() && uncoveredHullEdges.empty() && areaComparison == 0 &&
           (hullHasArea || rows == 0);
}

CheckReport checkTriangulation(const PointSet& points, const TriangleRows& tri, RowOrientation orientation)
{
    requireFinite(points);
    CheckReport report;
    report.points = points.n;
    report.rows = tri.rows;
    report.requested = orientation;

    const HullBoundary hull = findHullBoundary(points);
    report.hullHasArea = hull.hasArea();
    report.hullCorners = hull.corners.size();
    report.hullBoundaryPoints = hull.boundary.size();
    report.repeatedPoints = hull.repeats;

    const RowScan scan = scanRows(points, tri, orientation, report);
    if (hull.hasArea()) findUnusedPoints(points.n, scan, hull, report);

    mpq_class doubledSignedArea = 0;
    std::vector<EdgeFault> unpaired = walkEdges(points, scan, report, doubledSignedArea);
    // Clockwise rows (mirrored ones too) have negative signed area.
    const mpq_class rowsArea = -doubledSignedArea;
    const mpq_class hullArea = doubledHullArea(points, hull);
    if (hull.hasArea()) compareBoundary(std::move(unpaired), hull, report);
    if (scan.mirrored) unmirrorEdges(report);
    report.areaComparison = cmp(rowsArea, hullArea) < 0 ? -1 : (cmp(rowsArea, hullArea) > 0 ? 1 : 0);
    report.rowsArea = areaText(rowsArea / 2);
    report.hullArea = areaText(hullArea / 2);
    return report;
}

}  // namespace ky::inspect
