// The rows of a call as the queries read them: a copy of the data points
// and of TRI, made on the calling thread, with the rows turned
// counter-clockwise and joined to their neighbours. Nothing in it refers to
// the call's arguments, so worker threads may read it while the host's
// arrays stay untouched.
//
// The mesh keeps the rows in an order of its own, along a space-filling
// curve through their first corners, and numbers only the points that rows
// use, in the order in which its rows first use them: a walk from row to
// row then reads memory that lies together, whatever the order of TRI, X
// and Y. rowNumber
// and originalPoint map back to TRI's rows and to positions in X and Y;
// wherever their order decides anything (the lowest-numbered row holding a
// query, sums in ascending point order), it is theirs.
//
// Each row has its corners (0-based point numbers), counter-clockwise. Side
// j of a row is the side opposite its corner j: it runs from corner j+1 to
// corner j+2 (modulo 3), so the row lies on its left; across[j] is the row
// on the other side of side j, -1 where there is none. A flat row (three
// corners on one line, or a repeat of a row earlier in TRI) holds nothing:
// its corners are all -1 and no row lies across from it.
#pragma once

#include <cstdint>

namespace trinterp {

struct Box {
    double lowX, lowY, highX, highY;

    bool holds(double x, double y) const { return x >= lowX && x <= highX && y >= lowY && y <= highY; }
};

// A row's corners and its neighbours, side by side: a walk reads both.
struct MeshRow {
    std::int32_t corner[3];
    std::int32_t across[3];
};

struct RowBuckets;

struct Mesh {
    std::int32_t pointCount;            // the points rows use
    const double* xy;                   // their coordinates, x and y side by side, as given
    const std::int32_t* originalPoint;  // each one's position in X and Y
    std::int32_t rowCount;
    const MeshRow* rows;                // in the mesh's order
    const std::int32_t* rowNumber;      // each one's row in TRI
    std::int32_t firstRow;              // a row that is not flat, -1 if all are
    Box box;                            // the corners' bounding box
    Box curveBox;                       // the box of the space-filling curve the rows and queries are ordered along
    // The rows form a triangulation of a convex region: every side of
    // every row is matched by the opposite side of at most one other row,
    // and the unmatched sides form one convex loop. Then a walk that leaves
    // through an unmatched side has left the region, and the rows holding a
    // point are those around it.
    bool convex;
    // For natural weights: the rows are convex and every inner side is
    // locally Delaunay (else false, also when not checked); and, when they
    // were worked out beforehand, each row's three side terms (see
    // natural_weights.cpp), else null.
    bool delaunay;
    const double* sideTerms;
    const RowBuckets* buckets;          // the search index over all rows, when it is built

    const double* point(std::int32_t p) const { return xy + 2 * static_cast<std::int64_t>(p); }
    const std::int32_t* row(std::int32_t r) const { return rows[r].corner; }
    std::int32_t neighbour(std::int32_t r, int side) const { return rows[r].across[side]; }
    bool flat(std::int32_t r) const { return rows[r].corner[0] < 0; }
    // True when row a comes before row b in TRI.
    bool before(std::int32_t a, std::int32_t b) const { return rowNumber[a] < rowNumber[b]; }
};

inline int nextCorner(int j) { return j == 2 ? 0 : j + 1; }
inline int previousCorner(int j) { return j == 0 ? 2 : j - 1; }

}  // namespace trinterp
