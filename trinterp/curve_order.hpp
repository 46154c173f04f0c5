// Orders along a space-filling curve over a box (the Z-order, or Morton,
// curve: a cell's position interleaves the bits of its column and row):
// things that lie together mostly come together, and those in one small
// cell keep their own order. Used for the queries (each
// walk then starts beside its query) and for the rows (so that a walk reads
// memory that lies together).
#pragma once

#include <cstdint>

#include "ky.h"
#include "mesh.hpp"

namespace trinterp {

// The curve over a box, 2^16 cells along each side.
class SpaceCurve {
public:
    explicit SpaceCurve(const Box& box);

    // The position along the curve of the cell holding (x, y); points
    // outside the box count in the nearest cell, NaN in the lowest.
    std::uint32_t position(double x, double y) const;

private:
    Box box_;
    double scaleX_, scaleY_;
};

// The bits per side of the grid of cells that orderByCell sorts into:
// about four cells per item, from 16 by 16 up to 1024 by 1024.
int cellBits(std::int64_t count);

// Puts items 0 to count-1 into `order` by the cell of the curve they lie
// in (a grid of 2^b by 2^b cells, b = cellBits(count), taken along the
// curve), keeping their own order within a cell: a counting sort, in two
// passes over the items and with no more memory than one count per cell.
// positionOf(item, position) sets the item's curve position, or returns
// false to leave the item out. Returns how many items were placed.
template <typename PositionOf>
std::int32_t orderByCell(std::int32_t count, std::int32_t* order, PositionOf&& positionOf)
{
    const int bits = cellBits(count);
    const int shift = 32 - 2 * bits;
    const std::int64_t cells = std::int64_t{1} << (2 * bits);
    auto* start = static_cast<std::int32_t*>(kyCalloc(static_cast<std::size_t>(cells + 1), sizeof(std::int32_t)));
    std::uint32_t position = 0;
    for (std::int32_t item = 0; item < count; ++item)
        if (positionOf(item, position)) ++start[(position >> shift) + 1];
    for (std::int64_t cell = 0; cell < cells; ++cell) start[cell + 1] += start[cell];
    const std::int32_t placed = start[cells];
    for (std::int32_t item = 0; item < count; ++item)
        if (positionOf(item, position)) order[start[position >> shift]++] = item;
    kyFree(start);
    return placed;
}

}  // namespace trinterp
