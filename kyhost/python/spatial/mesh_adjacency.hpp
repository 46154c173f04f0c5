// Adjacency of a triangulation's rows, in linear time: which row lies across
// each edge, which points each point is joined to, and the same graph for
// points on one line (each point joined to the next along the line).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace kyhost_spatial {

// Points joined by an edge, as compressed columns: the neighbours of point p
// are points[start[p]] .. points[start[p + 1] - 1], ascending, each once.
struct NeighbourGraph {
    std::vector<std::int64_t> start;  // n + 1 offsets
    std::vector<std::int32_t> points;

    std::int32_t size() const { return static_cast<std::int32_t>(start.size() - 1); }
};

// A row seen from one of its corners p: in row `row` (clockwise), p is
// followed by a and then b, so the row holds the edges p -> a (opposite b)
// and b -> p (opposite a).
struct CornerView {
    std::int32_t slot;  // 3 * row + corner of p
    std::int32_t a, b;
};

// The rows grouped by corner: the views of point p are
// views[start[p]] .. views[start[p + 1] - 1]. One scatter over the rows; all
// later work reads one point's views together.
struct ViewsByCorner {
    std::vector<std::int64_t> start;
    std::unique_ptr<CornerView[]> views;  // 3m, every one written (no zeroing first)
};
ViewsByCorner groupByCorner(const std::int32_t* rows, std::int64_t m, std::int32_t n);

// across[3r + k]: the row holding the edge of row r opposite corner k (from
// corner k+1 to corner k+2) in the other direction, -1 when none does (a
// hull edge). rows: m clockwise rows of 3 points below n, row by row, each
// directed edge in at most one row (as in any triangulation), 3m < 2^31.
std::vector<std::int32_t> rowNeighbours(const std::int32_t* rows, std::int64_t m, std::int32_t n);

// The points joined to each point by an edge of any row.
NeighbourGraph pointAdjacency(const std::int32_t* rows, std::int64_t m, std::int32_t n);

// The graph of points that all lie on one line: each point joined to the
// points before and after it along the line. order lists the n points in
// their order along it.
NeighbourGraph pathAdjacency(const std::vector<std::int32_t>& order);

// The first entry of rows (m rows of 3) that is not a point from 0 to n - 1,
// or -1 when all are.
std::int64_t firstBadCorner(const std::int32_t* rows, std::int64_t m, std::int32_t n);

}  // namespace kyhost_spatial
