// The output matrix while the sweep fills it: capacity rows of three
// columns, trimmed to the rows written once the sweep is done.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host_services.hpp"

namespace sweeptri {

// Largest point count whose triangle matrix, 2n + 100 rows of 3 columns,
// has an element count that fits a 32-bit count: 357,913,891 points.
inline constexpr std::int64_t maxSiteCount = (INT32_MAX / 3 - 100) / 2;

// Bytes of the capacity-by-3 matrix.
inline std::size_t triangleBufferBytes(std::int32_t capacity)
{
    return static_cast<std::size_t>(capacity) * 3 * sizeof(double);
}
// Creates the capacity-by-3 matrix and points the write position at it.
kyArray* createTriangleBuffer(std::int32_t capacity);
// Moves columns 2 and 3 up against column 1 and sets the row count.
void trimTriangleBuffer(kyArray* buffer, std::int32_t capacity, std::int32_t count);

}  // namespace sweeptri
