#include "point_faults.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "shortest_text.hpp"

namespace ky::inspect {

namespace {

std::string place(const double* x, const double* y, std::size_t i)
{
    return "(" + shortestText(x[i]) + ", " + shortestText(y[i]) + ")";
}

std::string firstNotFinite(const double* x, const double* y, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(x[i]) || !std::isfinite(y[i]))
            return "point " + std::to_string(i + 1) + " has a coordinate that is not finite: " + place(x, y, i);
    return "";
}

// The repeat with the lowest position, and the first point at its place.
std::string firstRepeat(const double* x, const double* y, std::size_t n)
{
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return y[a] < y[b] || (y[a] == y[b] && x[a] < x[b]);
    });
    std::size_t later = n, earlier = n;
    for (std::size_t k = 0; k < n;) {
        std::size_t end = k + 1;
        while (end < n && x[order[end]] == x[order[k]] && y[order[end]] == y[order[k]]) ++end;
        // Stable sort: order[k] is the group's first point, order[k + 1]
        // its first repeat.
        if (end - k > 1 && order[k + 1] < later) {
            later = order[k + 1];
            earlier = order[k];
        }
        k = end;
    }
    if (later == n) return "";
    return "point " + std::to_string(later + 1) + " " + place(x, y, later) + " is at the place of point " +
           std::to_string(earlier + 1);
}

}  // namespace

std::string describePointFault(const std::string& error, const double* x, const double* y, std::size_t n)
{
    if (error == notFiniteError) return firstNotFinite(x, y, n);
    // The order of the search needs comparable values.
    if (error == repeatedPointsError && firstNotFinite(x, y, n).empty()) return firstRepeat(x, y, n);
    return "";
}

std::string describePointFault(const std::string& error, const kyArray* x, const kyArray* y)
{
    if (x == nullptr || y == nullptr || x->arrayClass != ArrayClass::Double || y->arrayClass != ArrayClass::Double)
        return "";
    if (elementCount(x) != elementCount(y)) return "";
    return describePointFault(error, static_cast<const double*>(x->data), static_cast<const double*>(y->data),
                              static_cast<std::size_t>(elementCount(x)));
}

}  // namespace ky::inspect
