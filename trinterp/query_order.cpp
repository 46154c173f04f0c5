#include "query_order.hpp"

#include <algorithm>
#include <cmath>

#include "curve_order.hpp"
#include "ky.h"

namespace trinterp {

QueryOrder orderQueries(const double* xi, const double* yi, std::int32_t queryCount, const Box& box,
                        const Box& curveBox, int scaleExponent)
{
    const auto scaled = [scaleExponent](double v) { return scaleExponent == 0 ? v : std::ldexp(v, scaleExponent); };
    QueryOrder order{0, nullptr, nullptr};
    auto* keys = static_cast<std::uint64_t*>(kyCalloc(static_cast<std::size_t>(std::max(queryCount, 1)), sizeof(std::uint64_t)));
    const SpaceCurve curve(curveBox);
    for (std::int32_t q = 0; q < queryCount; ++q) {
        const double x = scaled(xi[q]), y = scaled(yi[q]);
        if (!box.holds(x, y)) continue;  // NaN fails too
        keys[order.count++] = positionKey(curve.position(x, y), q);
    }
    auto* spare = static_cast<std::uint64_t*>(kyCalloc(static_cast<std::size_t>(std::max(order.count, 1)), sizeof(std::uint64_t)));
    sortByPosition(keys, spare, order.count);
    kyFree(spare);
    order.original = static_cast<std::int32_t*>(kyCalloc(static_cast<std::size_t>(std::max(order.count, 1)), sizeof(std::int32_t)));
    order.xy = static_cast<double*>(kyCalloc(2 * static_cast<std::size_t>(std::max(order.count, 1)), sizeof(double)));
    for (std::int32_t k = 0; k < order.count; ++k) {
        const std::int32_t q = keyItem(keys[k]);
        order.original[k] = q;
        order.xy[2 * k] = scaled(xi[q]);
        order.xy[2 * k + 1] = scaled(yi[q]);
    }
    kyFree(keys);
    return order;
}

}  // namespace trinterp
