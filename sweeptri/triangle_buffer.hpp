// The output matrix while the sweep fills it: capacity rows of three
// columns, trimmed to the rows written once the sweep is done.
#pragma once

#include <cstdint>

#include "ky.h"

namespace sweeptri {

// Largest point count whose triangle capacity 2n + 100 fits a 32-bit count.
inline constexpr std::int64_t maxSiteCount = (INT32_MAX - 100) / 2;

// Creates the capacity-by-3 matrix and points the write position at it.
kyArray* createTriangleBuffer(std::int32_t capacity);
// Moves columns 2 and 3 up against column 1 and sets the row count.
void trimTriangleBuffer(kyArray* buffer, std::int32_t capacity, std::int32_t count);

}  // namespace sweeptri
