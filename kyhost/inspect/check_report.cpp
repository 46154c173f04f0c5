#include "check_report.hpp"

#include <functional>

#include "shortest_text.hpp"

namespace ky::inspect {

namespace {

// A row or point number (0-based inside the check) as TRI counts it.
std::string counted(std::int64_t position, int base) { return std::to_string(position + base); }

std::string rowText(const TriangleRows& tri, std::int32_t row)
{
    const auto r = static_cast<std::size_t>(row);
    return "row " + counted(row, tri.base) + " (" + shortestText(tri.at(r, 0)) + "," + shortestText(tri.at(r, 1)) + "," +
           shortestText(tri.at(r, 2)) + ")";
}

std::string edgeText(const EdgeFault& e, int base)
{
    std::string text = "edge " + counted(e.u, base) + "-" + counted(e.v, base);
    if (e.row >= 0 && e.otherRow >= 0)
        text += " (rows " + counted(e.row, base) + " and " + counted(e.otherRow, base) + ")";
    else if (e.row >= 0)
        text += " (row " + counted(e.row, base) + ")";
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

RowOrientation opposite(RowOrientation orientation)
{
    return orientation == RowOrientation::Clockwise ? RowOrientation::CounterClockwise : RowOrientation::Clockwise;
}

// The orientation line: the rows that run the other way. With either way
// accepted, it says which way the rows were found to run.
void orientationLine(std::ostream& out, const CheckReport& report,
                     const std::function<std::string(const std::int32_t&)>& row)
{
    const std::string way = orientationText(report.orientation);
    const std::string otherWay = orientationText(opposite(report.orientation));
    if (report.requested != RowOrientation::Either) {
        line(out, report.misorientedRows, "rows " + otherWay, "no row " + otherWay, row);
        return;
    }
    line(out, report.misorientedRows, "rows " + otherWay + ", against the " + way + " majority",
         "no row " + otherWay + ": the rows run " + way + " (either way is accepted)", row);
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

    const int base = tri.base;
    const std::function<std::string(const std::int32_t&)> row = [&](const std::int32_t& r) { return rowText(tri, r); };
    const std::function<std::string(const std::int32_t&)> point = [base](const std::int32_t& p) {
        return "point " + counted(p, base);
    };
    const std::function<std::string(const EdgeFault&)> edge = [base](const EdgeFault& e) { return edgeText(e, base); };
    const std::string range = counted(0, base) + " to " + counted(static_cast<std::int64_t>(report.points) - 1, base);
    line(out, report.badIndexRows, "rows with an index that is not a whole number from " + range,
         "every index is a whole number from " + range, row);
    line(out, report.repeatedCornerRows, "rows naming one point twice", "no row names a point twice", row);
    orientationLine(out, report, row);
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
            << (report.areaComparison < 0 ? std::string(" (a hole, or rows ") + orientationText(opposite(report.orientation)) + ")"
                                        : std::string(" (overlapping rows)")) << '\n';
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
