// sweeptri --merge-duplicates: points given more than once are triangulated
// once, as the Python Triangulation(merge_duplicates=True) does: the first
// point at each place is kept, its repeats are left out, and the rows name
// the points by their positions as given.
#pragma once

#include <cstdint>
#include <vector>

#include "host_array.hpp"

namespace ky {

struct MergedPoints {
    ArrayHandle x, y;                 // the kept points, shaped as the input
    std::vector<std::int32_t> kept;   // their 0-based positions as given, ascending
    std::size_t given = 0;            // the points as given
};

// The kept points of real vectors X and Y of one length, or nothing (x and
// y null) when the inputs are not such vectors or hold no repeat: the call
// then takes them as they are. A place is a pair of equal coordinates (so
// -0 and 0 are one place; NaN is equal to nothing, so is never merged).
MergedPoints mergeDuplicatePoints(const kyArray* x, const kyArray* y);

// A copy of the rows with each entry k (1-based, of the kept points)
// replaced by the position as given of kept point k, 1-based. Entries that
// name no kept point are copied as they are.
ArrayHandle renumberRows(const kyArray* rows, const std::vector<std::int32_t>& kept);

}  // namespace ky
