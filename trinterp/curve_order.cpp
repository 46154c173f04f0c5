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

int cellBits(std::int64_t count)
{
    int bits = 4;
    while (bits < 10 && (std::int64_t{1} << (2 * bits)) < 4 * count) ++bits;
    return bits;
}

}  // namespace trinterp
