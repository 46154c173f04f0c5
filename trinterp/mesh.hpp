// The rows of a call as the queries read them: a copy of the data points
// and of TRI, made on the calling thread, with the rows turned
// counter-clockwise and joined to their neighbours. Nothing in it refers to
// the call's arguments, so worker threads may read it while the host's
// arrays stay untouched.
//
// Row r has corners corners[3r], corners[3r+1], corners[3r+2] (0-based
// point numbers), counter-clockwise. Side j of a row is the side opposite
// its corner j: it runs from corner j+1 to corner j+2 (modulo 3), so the
// row lies on its left. across[3r+j] is the row on the other side of side
// j, -1 where there is none. A flat row (three corners on one line, or a
// corner repeated) holds nothing: its corners are all -1 and no row lies
// across from it.
#pragma once

#include <cstdint>

namespace trinterp {

struct Box {
    double lowX, lowY, highX, highY;

    bool holds(double x, double y) const { return x >= lowX && x <= highX && y >= lowY && y <= highY; }
};

struct RowBuckets;

struct Mesh {
    std::int32_t pointCount;
    const double* xy;               // 2n coordinates, x and y of a point side by side (scaled, see state)
    std::int32_t rowCount;
    const std::int32_t* corners;    // 3M corners, counter-clockwise; -1 for flat rows
    const std::int32_t* across;     // 3M rows across each side, -1 for none
    std::int32_t firstRow;          // the lowest-numbered row that is not flat, -1 if all are
    Box box;                        // the corners' bounding box
    // The rows form a triangulation of a convex region: every side of
    // every row is matched by the opposite side of at most one other row,
    // and the unmatched sides form one convex loop. Then a walk that leaves
    // through an unmatched side has left the region, and the rows holding a
    // point are those around it.
    bool convex;
    const RowBuckets* buckets;      // the search index over all rows, when it is built

    const double* point(std::int32_t p) const { return xy + 2 * static_cast<std::int64_t>(p); }
    const std::int32_t* row(std::int32_t r) const { return corners + 3 * static_cast<std::int64_t>(r); }
    std::int32_t neighbour(std::int32_t r, int side) const { return across[3 * static_cast<std::int64_t>(r) + side]; }
};

inline int nextCorner(int j) { return j == 2 ? 0 : j + 1; }
inline int previousCorner(int j) { return j == 0 ? 2 : j - 1; }

}  // namespace trinterp
