// The queries in the order they are answered: those that can lie in a row
// (both coordinates finite, inside the corners' bounding box) along a
// space-filling curve over that box, so that each walk starts next to its query.
// The others are answered NaN without a search.
#pragma once

#include <cstdint>

#include "mesh.hpp"

namespace trinterp {

struct QueryOrder {
    std::int32_t count;        // queries kept
    std::int32_t* original;    // their positions in XI, in the order answered
    double* xy;                // their coordinates, x and y side by side
};

// Keeps the queries inside the box and sorts them along the space-filling curve over curveBox (the
// rows' curve); memory from kyCalloc.
QueryOrder orderQueries(const double* xi, const double* yi, std::int32_t queryCount, const Box& box,
                        const Box& curveBox);

}  // namespace trinterp
