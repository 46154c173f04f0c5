#include "curve_order.hpp"

#include <algorithm>
#include <utility>

#include "ky.h"

namespace trinterp {

namespace {

constexpr std::uint32_t side = 1u << 16;

std::uint32_t gridCoordinate(double value, double low, double scale)
{
    const double position = (value - low) * scale;
    if (!(position > 0)) return 0;
    if (position >= side - 1) return side - 1;
    return static_cast<std::uint32_t>(position);
}

}  // namespace

SpaceCurve::SpaceCurve(const Box& box)
    : box_(box),
      scaleX_(box.highX > box.lowX ? side / (box.highX - box.lowX) : 0),
      scaleY_(box.highY > box.lowY ? side / (box.highY - box.lowY) : 0)
{
}

std::uint32_t SpaceCurve::position(double x, double y) const
{
    // Spreads the 16 bits of v to the even bits of the result.
    const auto spread = [](std::uint32_t v) {
        v = (v | (v << 8)) & 0x00ff00ffu;
        v = (v | (v << 4)) & 0x0f0f0f0fu;
        v = (v | (v << 2)) & 0x33333333u;
        v = (v | (v << 1)) & 0x55555555u;
        return v;
    };
    return spread(gridCoordinate(x, box_.lowX, scaleX_)) | (spread(gridCoordinate(y, box_.lowY, scaleY_)) << 1);
}

void sortByPosition(std::uint64_t* keys, std::uint64_t* spare, std::int64_t count)
{
    // The item in the low half breaks ties as a stable sort would: a plain
    // sort of few keys gives the same order as the passes below.
    if (count < 65536) {
        std::sort(keys, keys + count);
        return;
    }
    // Two stable passes of 16 bits each; the sorted keys end up in keys.
    auto* counts = static_cast<std::int64_t*>(kyCalloc(65536 + 1, sizeof(std::int64_t)));
    std::uint64_t* from = keys;
    std::uint64_t* to = spare;
    for (const int shift : {32, 48}) {
        std::fill_n(counts, 65536 + 1, 0);
        for (std::int64_t k = 0; k < count; ++k) ++counts[((from[k] >> shift) & 0xffff) + 1];
        for (int b = 0; b < 65536; ++b) counts[b + 1] += counts[b];
        for (std::int64_t k = 0; k < count; ++k) to[counts[(from[k] >> shift) & 0xffff]++] = from[k];
        std::swap(from, to);
    }
    kyFree(counts);
}

}  // namespace trinterp
