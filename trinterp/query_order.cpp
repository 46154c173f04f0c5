#include "query_order.hpp"

#include <algorithm>
#include <cmath>

#include "ky.h"

namespace trinterp {

namespace {

// Position along the Hilbert curve of order 16 through the cell (x, y),
// each coordinate from 0 to 65535.
std::uint32_t hilbertIndex(std::uint32_t x, std::uint32_t y)
{
    constexpr std::uint32_t side = 1u << 16;
    std::uint32_t index = 0;
    for (std::uint32_t half = side / 2; half > 0; half /= 2) {
        const std::uint32_t rx = (x & half) != 0;
        const std::uint32_t ry = (y & half) != 0;
        index += half * half * ((3 * rx) ^ ry);
        // Turn the quadrant so that the curve inside it starts and ends
        // where the curve through the quadrants needs it.
        if (ry == 0) {
            if (rx == 1) {
                x = side - 1 - x;
                y = side - 1 - y;
            }
            std::swap(x, y);
        }
    }
    return index;
}

std::uint32_t gridCoordinate(double value, double low, double scale)
{
    const double position = (value - low) * scale;
    if (!(position > 0)) return 0;
    if (position >= 65535) return 65535;
    return static_cast<std::uint32_t>(position);
}

// Sorts keys (Hilbert index in the high half, query position in the low
// half) by their high half, keeping the order of equal indices: two passes
// of 16 bits.
void sortByIndex(std::uint64_t* keys, std::uint64_t* spare, std::int32_t count)
{
    auto* counts = static_cast<std::int32_t*>(kyCalloc(65536 + 1, sizeof(std::int32_t)));
    for (const int shift : {32, 48}) {
        std::fill_n(counts, 65536 + 1, 0);
        for (std::int32_t k = 0; k < count; ++k) ++counts[((keys[k] >> shift) & 0xffff) + 1];
        for (int b = 0; b < 65536; ++b) counts[b + 1] += counts[b];
        for (std::int32_t k = 0; k < count; ++k) spare[counts[(keys[k] >> shift) & 0xffff]++] = keys[k];
        std::swap(keys, spare);
    }
    kyFree(counts);
    // Two passes: the sorted keys are back in the first array.
}

}  // namespace

QueryOrder orderQueries(const double* xi, const double* yi, std::int32_t queryCount, const Box& box,
                        int scaleExponent)
{
    const auto scaled = [scaleExponent](double v) { return scaleExponent == 0 ? v : std::ldexp(v, scaleExponent); };
    QueryOrder order{0, nullptr, nullptr};
    auto* keys = static_cast<std::uint64_t*>(kyCalloc(static_cast<std::size_t>(std::max(queryCount, 1)), sizeof(std::uint64_t)));
    const double scaleX = box.highX > box.lowX ? 65536 / (box.highX - box.lowX) : 0;
    const double scaleY = box.highY > box.lowY ? 65536 / (box.highY - box.lowY) : 0;
    for (std::int32_t q = 0; q < queryCount; ++q) {
        const double x = scaled(xi[q]), y = scaled(yi[q]);
        if (!box.holds(x, y)) continue;  // NaN fails too
        const std::uint32_t index =
            hilbertIndex(gridCoordinate(x, box.lowX, scaleX), gridCoordinate(y, box.lowY, scaleY));
        keys[order.count++] = (std::uint64_t{index} << 32) | static_cast<std::uint32_t>(q);
    }
    auto* spare = static_cast<std::uint64_t*>(kyCalloc(static_cast<std::size_t>(std::max(order.count, 1)), sizeof(std::uint64_t)));
    sortByIndex(keys, spare, order.count);
    kyFree(spare);
    order.original = static_cast<std::int32_t*>(kyCalloc(static_cast<std::size_t>(std::max(order.count, 1)), sizeof(std::int32_t)));
    order.xy = static_cast<double*>(kyCalloc(2 * static_cast<std::size_t>(std::max(order.count, 1)), sizeof(double)));
    for (std::int32_t k = 0; k < order.count; ++k) {
        const auto q = static_cast<std::int32_t>(keys[k] & 0xffffffffu);
        order.original[k] = q;
        order.xy[2 * k] = scaled(xi[q]);
        order.xy[2 * k + 1] = scaled(yi[q]);
    }
    kyFree(keys);
    return order;
}

}  // namespace trinterp
