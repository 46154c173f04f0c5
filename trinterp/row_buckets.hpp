// A search index over all rows, for rows that do not form a triangulation
// of a convex region (where walking can miss) and for walks that run out of
// steps: a grid of cells over the corners' bounding box, each listing, in
// TRI's order, the rows whose bounding box meets it. The first row in a
// point's cell that holds the point is the lowest-numbered row in TRI
// holding it. Built on the calling thread, read by any.
#pragma once

#include <algorithm>
#include <cstdint>

#include "mesh.hpp"

namespace trinterp {

struct RowBuckets {
    Box box;
    std::int32_t columns, cellRows_;  // cells across and up
    double scaleX, scaleY;            // cells per unit of x and y
    const std::int32_t* cellStart;    // columns*cellRows_ + 1 starts into cellRows
    const std::int32_t* cellRows;

    // Column and row of a coordinate: monotone in the coordinate, so a
    // point inside a row's bounding box lies in a cell the row is listed in.
    std::int32_t column(double x) const { return clampCell((x - box.lowX) * scaleX, columns); }
    std::int32_t line(double y) const { return clampCell((y - box.lowY) * scaleY, cellRows_); }
    std::int64_t cellOf(double x, double y) const { return std::int64_t{line(y)} * columns + column(x); }

    static std::int32_t clampCell(double position, std::int32_t count)
    {
        if (!(position > 0)) return 0;
        if (position >= count) return count - 1;
        return static_cast<std::int32_t>(position);
    }
};

// Builds the buckets in kyCalloc memory. About one cell per row; where
// long rows would be listed in too many cells, fewer cells, so that the
// lists hold at most about 16 entries per row in all.
const RowBuckets* buildRowBuckets(const Mesh& mesh);

}  // namespace trinterp
