// Repair of rows that form a valid triangulation but have sides that are
// not locally Delaunay: exact edge flips until every side is.
//
// The rows are first checked exactly to be a triangulation of the points
// (every row strictly clockwise, every directed side in one row only, the
// sides without a reverse exactly the hull's boundary edges, 2n - 2 - h
// rows), while a neighbour table (three row numbers per row) is built
// through a temporary list of the rows around each point. Then every side
// is tested with the exact in-circle predicate, and a side whose far corner
// lies strictly inside the other row's circle is flipped; the four outer
// sides of a flipped pair are tested again, so the work after the first
// pass grows with the damage.
//
// A flip keeps the two rows' positions: a row [f, u, v] (f its corner
// opposite the flipped side u -> v, then clockwise) becomes [f, u, g],
// with g the far corner of the row across, written with f in column 1;
// the row across, [g, v, u], becomes [g, v, f] the same way. Both stay
// clockwise. Rows no flip touches keep their place and their columns.
#pragma once

#include <cstdint>
#include <vector>

#include "hull_cycle.hpp"

namespace sweeptri {

// A side that may not be locally Delaunay: the one joining points a and b
// (0-based) in row `row`.
struct SuspectSide {
    std::int32_t row;
    std::int32_t a;
    std::int32_t b;
};

// rows: count rows of three 1-based point numbers as doubles, column-major
// with count rows per column. Points (x[i], y[i]) * 2^exponent, i < n.
// Returns true when the rows were a triangulation and are now Delaunay;
// false when they are no triangulation or more than 4n flips would be
// needed (the rows may then be partly flipped).
// suspects, when given, vouches that every side of the rows as given is
// locally Delaunay except those listed; the pass then tests only those and
// the sides of rewritten rows, and flips exactly what it would flip when
// testing all.
bool repairByFlips(double* rows, std::int32_t count, const double* x, const double* y, std::int32_t n, int exponent,
                   const HullCycle& hull, const std::vector<SuspectSide>* suspects = nullptr);

// As repairByFlips, and also for rows that triangulate only part of the
// hull (each row strictly clockwise, each side matched at most once in the
// opposite direction, fewer rows than 2n - 2 - h): the region they leave
// uncovered (pockets along the hull, holes) is triangulated with exact
// predicates, those rows are appended after the given ones, and all are
// checked as a triangulation again before the flips. rows has room for
// `capacity` rows; the result is count-by-3 with count rows per column.
// suspects, when given, vouches for every side of the given rows that is
// matched but not listed; sides of appended rows are always tested.
// Returns the new row count, or -1 when the rows are not repaired.
std::int32_t completeAndRepair(double* rows, std::int32_t count, std::int32_t capacity, const double* x,
                               const double* y, std::int32_t n, int exponent, const HullCycle& hull,
                               const std::vector<SuspectSide>* suspects = nullptr);

}  // namespace sweeptri
