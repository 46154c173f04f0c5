// An exact verdict on a triangulation of planar points: whether the rows of
// TRI (M-by-3, 1-based point positions stored as doubles, each row
// clockwise) form a triangulation of the points' convex hull that uses every
// point, and whether it is Delaunay. Rows may be asked to run
// counter-clockwise instead, or either way as long as all run the same way.
//
// The rows form a triangulation when every index is a whole number from 1
// to n, every row runs clockwise (its orientation is exactly negative), no
// directed edge occurs in two rows, and the edges that only one row holds
// are exactly the hull's boundary, point by point. Counter-clockwise rows
// are checked as the clockwise rows they are with two corners swapped. Then the number of rows
// covering a spot can only change across the hull's boundary: the rows tile
// the hull, which the exact area sum confirms (and, when the boundary is
// wrong, tells a hole from an overlap). Every point must be a corner. The
// triangulation is Delaunay when every inner edge is locally Delaunay: the
// far corner of either row does not lie strictly inside the circle through
// the other row (points on the circle are allowed, so any triangulation of
// cocircular points passes).
//
// Fewer than three distinct points, or points all on one line, have no
// triangle: zero rows is then the one valid answer. Repeated points are a
// fault of their own, since no triangulation can use two points at one
// place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <optional>
#include <string_view>

#include "point_set.hpp"

namespace ky::inspect {

// A TRI entry as a 0-based point position: a whole number from base to
// n - 1 + base gives that number - base, anything else (NaN too) -1.
std::int32_t pointIndex(double value, std::size_t n, int base = 1);

// The triangle matrix as stored: column-major M-by-3 doubles, point
// positions counted from base (1 as sweeptri returns them, or 0).
struct TriangleRows {
    const double* values = nullptr;
    std::size_t rows = 0;
    int base = 1;
    double at(std::size_t row, int column) const { return values[static_cast<std::size_t>(column) * rows + row]; }
    // The 0-based point at a corner, or -1 when the entry names none.
    std::int32_t corner(std::size_t row, int column, std::size_t n) const { return pointIndex(at(row, column), n, base); }
};

// The way the rows must run. Either: all rows one way, the way most of
// them run (clockwise when as many run each way).
enum class RowOrientation { Clockwise, CounterClockwise, Either };

// "clockwise", "counterclockwise" or "either", as options name them.
std::optional<RowOrientation> rowOrientationNamed(std::string_view name);
// "clockwise" or "counter-clockwise", as reports say it (Either: "either way").
const char* orientationText(RowOrientation orientation);

// An edge between points u and v (0-based), with the rows that hold it
// (0-based; -1 where there is none).
struct EdgeFault {
    std::int32_t u = 0, v = 0;
    std::int32_t row = -1, otherRow = -1;
};

struct CheckReport {
    std::size_t points = 0, rows = 0;
    RowOrientation requested = RowOrientation::Clockwise;
    // The way the rows were checked to run: as requested, or for Either the
    // way most rows run. Never Either.
    RowOrientation orientation = RowOrientation::Clockwise;
    std::size_t hullCorners = 0;
    std::size_t hullBoundaryPoints = 0;  // h: corners and points on hull edges
    bool hullHasArea = false;

    // Faults, each list complete (0-based rows or points).
    std::vector<std::int32_t> badIndexRows;    // an index that is not a whole number 1..n
    std::vector<std::int32_t> repeatedCornerRows;  // a point twice in one row
    std::vector<std::int32_t> misorientedRows;  // running the other way than orientation
    std::vector<std::int32_t> flatRows;        // three distinct corners on one line
    std::vector<std::int32_t> unusedPoints;    // in no row (only when the hull has area)
    std::vector<std::int32_t> repeatedPoints;  // equal to another point
    std::vector<EdgeFault> repeatedEdges;      // one directed edge in two rows
    std::vector<EdgeFault> crowdedEdges;       // an edge in more than two rows
    std::vector<EdgeFault> strayBoundaryEdges; // held by one row, not on the hull's boundary
    std::vector<EdgeFault> uncoveredHullEdges; // a hull boundary edge that no row holds
    std::vector<EdgeFault> nonDelaunayEdges;   // inner edges not locally Delaunay

    // Twice the summed areas of the rows (the orientation counting positive) and of
    // the hull, compared exactly: -1 the rows cover less, 0 the same, +1 more.
    int areaComparison = 0;
    std::string rowsArea, hullArea;  // the same areas (not doubled), to 7 digits

    bool isTriangulation() const;
    bool isDelaunay() const { return isTriangulation() && nonDelaunayEdges.empty(); }
};

// Checks the rows against the points. The coordinates must be finite
// (throws std::invalid_argument naming the first that is not).
CheckReport checkTriangulation(const PointSet& points, const TriangleRows& tri,
                               RowOrientation orientation = RowOrientation::Clockwise);

}  // namespace ky::inspect
