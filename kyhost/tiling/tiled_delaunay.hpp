// Delaunay triangulation in tiles: the plane is cut into cells by a k-d split
// of the points, each cell's points are triangulated on their own, the
// triangles that no point outside the cell can disturb are kept as they are,
// and the rest (the seams) are completed from triangulations of the points
// of the unfinished triangles, in rounds over ever larger cells. The result is the Delaunay
// triangulation of all points; its rows depend only on the points.
//
// Indices are int64 global positions 0..n-1. Rows are clockwise (the
// sweep's orientation), 3 per triangle. Points must be distinct and finite;
// the callers remove or refuse repeated points first.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "sweep_rows.hpp"

namespace tiling {

// Triangulates n points: rows of 0-based positions, clockwise. Must be safe
// to call from several threads at once.
using TileTriangulator =
    std::function<sweeptri::threaded::SweepRows(const double* x, const double* y, std::int32_t n)>;

// A tile's OPEN region; -inf/+inf on the outer sides.
struct Cell {
    double xmin, ymin, xmax, ymax;
};

// The k-d split by medians, fixed by the points alone.
struct TilePlan {
    std::vector<Cell> cells;  // tile t's open region; tiles numbered in k-d order

    // The tile of a point: x < split goes low, x >= split goes high (the same
    // for y). Equal points always fall in one tile.
    std::int32_t tileOf(double x, double y) const;

    // The split tree, in k-d order (filled by planTiles; tileOf walks it).
    struct Split {
        bool byX;           // the coordinate compared
        double at;          // the split value: >= at goes high
        std::int32_t low;   // child node index, or -(tile + 1) for a leaf
        std::int32_t high;
    };
    std::vector<Split> splits;  // empty when there is one tile
};

// Splits chosen from a deterministic sample (every ceil(n / 2^20)-th point by
// position), until tiles hold about `tilePoints` points. Depends only on the
// points and tilePoints: never on the number of workers or the memory limit.
TilePlan planTiles(const double* x, const double* y, std::int64_t n, std::int64_t tilePoints = 1 << 19);
// The sample's stride: planTiles reads points 0, s, 2s, ... of n.
std::int64_t planSampleStride(std::int64_t n);

struct TileResult {
    std::vector<std::int64_t> finalRows;      // 3 per final triangle, global ids, in sweep row order
    std::vector<std::int32_t> narrowRows;     // the same as int32, instead, from finishTileOf
    std::vector<std::int64_t> seamPoints;     // U's members from this tile: global ids, ascending
    std::vector<std::int64_t> boundaryEdges;  // pairs (a, b): edges of final triangles not shared by
                                              // two final triangles, directed so that the final
                                              // triangle lies to the LEFT of a->b in the plane
    bool collinearWarned = false;             // the tile's sweep warned (its points are collinear)
};

// ids[i] is the global id of the tile's i-th point; points given in ascending
// id order. x[i], y[i] are the tile's own coordinates (m of them).
TileResult finishTile(const Cell& cell, const double* x, const double* y, const std::int64_t* ids,
                      std::int32_t m, const TileTriangulator& triangulate);
// Buffers a thread can keep from one tile for the next: freed, glibc gives
// blocks this large back to the kernel, and every tile would fault them in
// afresh (their contents never carry over).
struct TileScratch {
    std::vector<double> tx, ty, sx, sy;
    std::vector<std::int64_t> sid, turn;
    std::vector<std::int32_t> cell, order;
    std::vector<char> final, inU, covered;
};
// The same, with x and y the coordinates of all points (fewer than 2^31):
// the tile's i-th point is (x[ids[i]], y[ids[i]]). The final rows come in
// narrowRows, half the memory of finalRows.
TileResult finishTileOf(const Cell& cell, const double* x, const double* y, const std::int64_t* ids,
                        std::int32_t m, const TileTriangulator& triangulate, TileScratch* scratch = nullptr);

// The rows of DT(P) not final in any tile, from DT(U) and the tiles'
// boundary edges. ux, uy, uids: U's points and their global ids (any order;
// the rows come out in an order fixed by U's points and ids alone).
std::vector<std::int64_t> seamRows(const double* ux, const double* uy, const std::int64_t* uids,
                                   std::int64_t nu, const std::vector<std::int64_t>& boundaryEdges,
                                   const TileTriangulator& triangulate);
// The same, taking U and the boundary edges over (their memory is given
// back as soon as it is no longer needed): for large seams.
struct SeamSet {
    std::vector<double> x, y;
    std::vector<std::int64_t> ids;
};
std::vector<std::int64_t> seamRows(SeamSet&& u, std::vector<std::int64_t>&& boundaryEdges, const TileTriangulator& triangulate);

// One round of the seams inside cell (nullptr: the whole plane, the last
// round): the Delaunay triangles of the cell's points that no earlier round
// finished and whose closed disk lies inside the cell's open region, and
// what the cell leaves to the next round. Row order fixed by U alone.
struct SeamJoin {
    std::vector<std::int64_t> rows;           // 3 per triangle final here, global ids, clockwise
    SeamSet up;                               // the cell's seam points for the next round, ids ascending
    std::vector<std::int64_t> boundaryEdges;  // where the cell's final region ends, final side on the left
};
SeamJoin joinSeams(const Cell* cell, SeamSet&& u, std::vector<std::int64_t>&& boundaryEdges, const TileTriangulator& triangulate);

// The seams in rounds up the plan's split tree: a round at every node whose
// height (in splits above its lowest tile) is a multiple of levelsPerRound,
// and the last at the root; between rounds the parts' seam points are only
// gathered. tilePart(t) hands over tile t's seam points and boundary edges;
// beforeRound(points, edges) sees each round's size before it runs (and may
// throw to refuse it); emit receives each round's rows, in the post-order
// of the tree. The rows depend on the points alone.
struct SeamPart {
    SeamSet u;
    std::vector<std::int64_t> boundaryEdges;
};
constexpr int seamRoundLevels = 8;  // a first round joins up to 256 tiles
void joinSeamsInRounds(const TilePlan& plan, const std::function<SeamPart(std::int32_t tile)>& tilePart,
                       const std::function<void(std::int64_t points, std::int64_t edges)>& beforeRound,
                       const std::function<void(std::vector<std::int64_t>&& rows)>& emit,
                       const TileTriangulator& triangulate, int levelsPerRound = seamRoundLevels);
// For each tile, the node of its first round (the root is node 0): the
// tiles of one first round are joined together.
std::vector<std::int32_t> firstRoundOf(const TilePlan& plan, int levelsPerRound = seamRoundLevels);

// In memory: plan, tiles on `workers` threads (-1 all cores), seams, fallback
// to one sweep. Row order: tile 0's final rows, tile 1's, ..., then each seam
// round's rows (joinSeamsInRounds); identical for every workers. The rows stay in those pieces until
// the caller copies them out, so that they are never held twice.
struct TiledResult {
    std::vector<std::vector<std::int32_t>> pieces;  // the rows, piece after piece
    bool collinearWarned = false;  // the single sweep warned (fallback), or some tile's sweep did
    bool fellBack = false;         // one sweep of all points made the rows
    std::int64_t seamPointCount = 0;  // |U| (all points when there was one tile or too few points)
    std::int32_t tileCount = 0;
    int threads = 1;               // the threads the tiles ran on, for the copy

    std::int64_t cornerCount() const;
    // Every corner in row order, as 0-based int32 (the in-memory path has
    // fewer than 2^31 points), copied piece by piece on the tiles' threads.
    void copyCorners(std::int32_t* to) const;
    std::vector<std::int64_t> rows() const;
};
// What every thread the tiles run on does first. By default, where the
// thread-safe sweep is linked in, it keeps the sweep's memory from one tile
// for the next; a caller whose tiles run another build of the sweep names
// that build's own. Null: nothing.
void setTileThreadStart(void (*start)());

TiledResult triangulateTiled(const double* x, const double* y, std::int64_t n, int workers,
                             const TileTriangulator& triangulate, std::int64_t tilePoints = 1 << 19,
                             int levelsPerRound = seamRoundLevels);

}  // namespace tiling
