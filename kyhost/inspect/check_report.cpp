#include "check_report.hpp"

#include <functional>

#include "shortest_text.hpp"

namespace ky::inspect {

namespace {

std::string rowText(const TriangleRows& tri, std::int32_t row)
{
    const auto r = static_cast<std::size_t>(row);
    return "row " + std::to_string(r + 1) + " (" + shortestText(tri.at(r, 0)) + "," + shortestText(tri.at(r, 1)) + "," +
           shortestText(tri.at(r, 2)) + ")";
}

std::string edgeText(const EdgeFault& e)
{
    std::string text = "edge " + std::to_string(e.u + 1) + "-" + std::to_string(e.v + 1);
    if (e.row >= 0 && e.otherRow >= 0)
        text += " (rows " + std::to_string(e.row + 1) + " and " + std::to_string(e.otherRow + 1) + ")";
    else if (e.row >= 0)
        text += " (row " + std::to_string(e.row + 1) + ")";
    return text;
}

template <typename T>
void line(std::ostream& out, const std::vector<T>& offenders, const std::string& what, const std::string& passed,
          const std::function<std::string(const T&)>& describe)
{
    if (offenders.empty()) {
        out << "ok    " << passed << '\n';
        return;
    }
    out << "FAIL  " << what << ": " << offenders.size();
    for (std::size_t i = 0; i < offenders.size() && i < listedOffenders; ++i)
        out << (i == 0 ? ": " : ", ") << describe(offenders[i]);
    if (offenders.size() > listedOffenders) out << ", ...";
    out << '\n';
}

}  // namespace

void writeCheckReport(std::ostream& out, const CheckReport& report, const TriangleRows& tri)
{
    out << "points " << report.points << ", rows " << report.rows;
    if (report.hullHasArea)
        out << ", hull with " << report.hullCorners << " corners and h = " << report.hullBoundaryPoints
            << " boundary points: a triangulation has 2n - 2 - h = "
            << 2 * report.points - 2 - report.hullBoundaryPoints << " rows\n";
    else
        out << ": fewer than three distinct points, or all on one line, so no triangle (0 rows is the answer)\n";

    const std::function<std::string(const std::int32_t&)> row = [&](const std::int32_t& r) { return rowText(tri, r); };
    const std::function<std::string(const std::int32_t&)> point = [](const std::int32_t& p) {
        return "point " + std::to_string(p + 1);
    };
    const std::function<std::string(const EdgeFault&)> edge = edgeText;
    const std::string n = std::to_string(report.points);
    line(out, report.badIndexRows, "rows with an index that is not a whole number from 1 to " + n,
         "every index is a whole number from 1 to " + n, row);
    line(out, report.repeatedCornerRows, "rows naming one point twice", "no row names a point twice", row);
    line(out, report.counterClockwiseRows, "rows counter-clockwise", "no row counter-clockwise", row);
    line(out, report.flatRows, "rows with their corners on one line", "no row with its corners on one line", row);
    line(out, report.repeatedPoints, "points equal to an earlier point", "no repeated point", point);
    if (report.hullHasArea) line(out, report.unusedPoints, "points in no row", "every point is in a row", point);
    line(out, report.repeatedEdges, "directed edges in two rows", "no directed edge in two rows", edge);
    line(out, report.crowdedEdges, "edges in more than two rows", "no edge in more than two rows", edge);
    if (report.hullHasArea) {
        line(out, report.strayBoundaryEdges, "edges with no row on their other side, off the hull's boundary",
             "every edge with no row on its other side is on the hull's boundary", edge);
        line(out, report.uncoveredHullEdges, "hull boundary edges in no row", "every hull boundary edge is in a row",
             edge);
    }
    if (report.areaComparison == 0)
        out << "ok    the rows' areas sum exactly to the hull's area (" << report.hullArea << ")\n";
    else
        out << "FAIL  the rows' areas sum to " << report.rowsArea << ", the hull's area is " << report.hullArea
            << (report.areaComparison < 0 ? " (a hole, or rows counter-clockwise)" : " (overlapping rows)") << '\n';
    line(out, report.nonDelaunayEdges, "inner edges not locally Delaunay", "every inner edge is locally Delaunay", edge);
    out << verdictLine(report) << '\n';
}

std::string verdictLine(const CheckReport& report)
{
    const std::string points = std::to_string(report.points) + " points";
    if (report.isDelaunay()) {
        if (!report.hullHasArea) return "valid: no triangles, as the " + points + " span no area";
        return "valid: a Delaunay triangulation of the " + points + " (" + std::to_string(report.rows) + " rows)";
    }
    if (report.isTriangulation())
        return "invalid: a triangulation of the " + points + ", but not Delaunay (" +
               std::to_string(report.nonDelaunayEdges.size()) +
               (report.nonDelaunayEdges.size() == 1 ? " edge" : " edges") + " not locally Delaunay)";
    return "invalid: not a triangulation of the " + points + " (see the FAIL lines)";
}

}  // namespace ky::inspect
