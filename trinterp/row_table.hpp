// The rows of TRI as the queries read them (see mesh.hpp): turned
// counter-clockwise, joined to their neighbours, and judged whether they
// form a triangulation of a convex region. All on the calling thread, in
// memory from kyCalloc.
#pragma once

#include <cstdint>

#include "mesh.hpp"

namespace trinterp {

// 0-based corners of TRI's rows (whole numbers from 1 to n, checked
// before), each row turned counter-clockwise by an exact orientation test:
// a clockwise row has its last two corners swapped. Flat rows get -1.
std::int32_t* orientRows(const double* tri, std::int32_t rowCount, const double* xy);

// What joining the rows found.
struct RowJoin {
    std::int32_t* across;   // 3M rows across each side, -1 for none
    bool sidesPaired;       // no side runs from one point to another in two rows
};

// Joins each side u -> v to the row that has the side v -> u. Where
// several rows have it (TRI is then no triangulation) the lowest-numbered
// one is taken, and only a pair that takes each other is joined, so that
// across is symmetric.
RowJoin joinRows(const std::int32_t* corners, std::int32_t rowCount, std::int32_t pointCount);

// True when the sides without a row across form one loop that turns left
// (or runs straight on) at each point and goes round once: then rows whose
// sides are paired cover the inside of that convex loop exactly once.
bool boundaryIsConvexLoop(const Mesh& mesh);

}  // namespace trinterp
