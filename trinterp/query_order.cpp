#include "query_order.hpp"

#include <algorithm>
#include <cmath>

#include "curve_order.hpp"
#include "ky.h"
#include "working_memory.hpp"

namespace trinterp {

QueryOrder orderQueries(const double* xi, const double* yi, std::int32_t queryCount, const Box& box,
                        const Box& curveBox)
{
    const SpaceCurve curve(curveBox);
    QueryOrder order{0, nullptr, nullptr};
    order.original = takeWritten<std::int32_t>(queryCount);
    order.count = orderByCell(queryCount, order.original, [&](std::int32_t q, std::uint32_t& position) {
        const double x = xi[q], y = yi[q];
        if (!box.holds(x, y)) return false;  // NaN fails too
        position = curve.position(x, y);
        return true;
    });
    order.xy = takeWritten<double>(2 * std::int64_t{order.count});
    for (std::int32_t k = 0; k < order.count; ++k) {
        const std::int32_t q = order.original[k];
        order.xy[2 * std::int64_t{k}] = xi[q];
        order.xy[2 * std::int64_t{k} + 1] = yi[q];
    }
    return order;
}

}  // namespace trinterp
