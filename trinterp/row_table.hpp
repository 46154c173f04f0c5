// The rows of TRI as the queries read them (see mesh.hpp): put in the
// mesh's order, turned counter-clockwise, joined to their neighbours, and
// judged whether they form a triangulation of a convex region. All on the
// calling thread, in memory from kyCalloc.
#pragma once

#include <cstdint>

#include "mesh.hpp"

namespace trinterp {

// TRI's rows (corners whole numbers from 1 to n, checked before) ordered
// by the cell of their first corner along the space-filling curve over
// curveBox (TRI's order within a cell), and the points numbered by the
// cells they lie in along the same curve.
struct NumberedRows {
    MeshRow* rows;
    std::int32_t* rowNumber;      // per mesh row, its 0-based row in TRI
    std::int32_t* originalPoint;  // per mesh point, its 0-based position in X and Y
    std::int32_t pointCount;      // all n points
};
NumberedRows numberRows(const double* tri, std::int32_t rowCount, const double* x, const double* y,
                        std::int32_t n, const Box& curveBox);

// Turns each row counter-clockwise by an exact orientation test (a
// clockwise row has its last two corners swapped); flat rows get -1.
void orientRows(MeshRow* rows, std::int32_t rowCount, const double* xy);

// Joins each side u -> v to the row that has the side v -> u (across).
// Where several rows have it (TRI is then no triangulation) the one first
// in TRI is taken, and only a pair that takes each other is joined, so that
// across is symmetric. A row with the corners of a row earlier in TRI (in
// the same turn) is dropped as a flat row is: it holds nothing the earlier
// one does not. Returns whether every side was unrepeated among the rows
// kept: no side runs from one point to another in two rows.
bool joinRows(MeshRow* rows, const std::int32_t* rowNumber, std::int32_t rowCount, std::int32_t pointCount);

// True when the sides without a row across form one loop that turns left
// (or runs straight on) at each point and goes round once: then rows whose
// sides are paired cover the inside of that convex loop exactly once.
bool boundaryIsConvexLoop(const Mesh& mesh);

}  // namespace trinterp
