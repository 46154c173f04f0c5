#include "duplicate_points.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace ky {

namespace {

bool isRealVector(const kyArray* a)
{
    return a->arrayClass == ArrayClass::Double && (a->m == 1 || a->n == 1);
}

ArrayHandle keptCopy(const kyArray* from, const std::vector<std::int32_t>& kept)
{
    const auto count = static_cast<std::int32_t>(kept.size());
    ArrayHandle to(from->m == 1 ? createDouble(1, count) : createDouble(count, 1));
    const auto* source = static_cast<const double*>(from->data);
    auto* target = static_cast<double*>(to->data);
    for (std::size_t k = 0; k < kept.size(); ++k) target[k] = source[kept[k]];
    return to;
}

}  // namespace

MergedPoints mergeDuplicatePoints(const kyArray* x, const kyArray* y)
{
    MergedPoints result;
    if (!isRealVector(x) || !isRealVector(y) || elementCount(x) != elementCount(y)) return result;
    const auto n = static_cast<std::size_t>(elementCount(x));
    const auto* px = static_cast<const double*>(x->data);
    const auto* py = static_cast<const double*>(y->data);
    // Points with a NaN equal no point: only the others are sorted (NaN has
    // no place in an order). Equal places end up side by side, the first
    // given first.
    std::vector<std::int32_t> order;
    order.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isnan(px[i]) && !std::isnan(py[i])) order.push_back(static_cast<std::int32_t>(i));
    std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
        if (py[a] != py[b]) return py[a] < py[b];
        if (px[a] != px[b]) return px[a] < px[b];
        return a < b;
    });
    std::vector<bool> repeat(n, false);
    bool any = false;
    for (std::size_t k = 1; k < order.size(); ++k) {
        const std::int32_t a = order[k - 1], b = order[k];
        if (px[a] == px[b] && py[a] == py[b]) repeat[static_cast<std::size_t>(b)] = any = true;
    }
    if (!any) return result;
    result.given = n;
    for (std::size_t i = 0; i < n; ++i)
        if (!repeat[i]) result.kept.push_back(static_cast<std::int32_t>(i));
    result.x = keptCopy(x, result.kept);
    result.y = keptCopy(y, result.kept);
    return result;
}

ArrayHandle renumberRows(const kyArray* rows, const std::vector<std::int32_t>& kept)
{
    ArrayHandle copy(createDouble(rows->m, rows->n));
    const auto* source = static_cast<const double*>(rows->data);
    auto* target = static_cast<double*>(copy->data);
    const auto count = static_cast<std::size_t>(elementCount(rows));
    for (std::size_t k = 0; k < count; ++k) {
        const double entry = source[k];
        const bool names = entry >= 1 && entry <= static_cast<double>(kept.size()) && std::floor(entry) == entry;
        target[k] = names ? static_cast<double>(kept[static_cast<std::size_t>(entry) - 1]) + 1 : entry;
    }
    return copy;
}

}  // namespace ky
