// Orders along a space-filling curve over a box (the Z-order, or Morton,
// curve: a cell's position interleaves the bits of its column and row):
// things that lie together mostly come together. Used for the queries (each
// walk then starts beside its query) and for the rows (so that a walk reads
// memory that lies together).
#pragma once

#include <cstdint>

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

// Sorts keys by their upper 32 bits (a curve position), keeping the order
// of equal positions; spare has room for count keys. kyCalloc memory.
void sortByPosition(std::uint64_t* keys, std::uint64_t* spare, std::int64_t count);

inline std::uint64_t positionKey(std::uint32_t position, std::int32_t item)
{
    return (std::uint64_t{position} << 32) | static_cast<std::uint32_t>(item);
}

inline std::int32_t keyItem(std::uint64_t key) { return static_cast<std::int32_t>(key & 0xffffffffu); }

}  // namespace trinterp
