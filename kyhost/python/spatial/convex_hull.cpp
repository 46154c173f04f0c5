#include "convex_hull.hpp"

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>

#include "worker_threads.hpp"

namespace kyhost_spatial {

namespace {

using Point = CGAL::Exact_predicates_inexact_constructions_kernel::Point_2;

// Points per thread below which the filter stays on one thread.
constexpr std::int64_t pointsPerThread = 65536;

// The points that support the 8 directions of a square and its diagonals,
// counter-clockwise from straight down. The diagonal sums are rounded, so
// a diagonal's point may not be the true extreme; the polygon is only a
// filter, and its test is exact whatever its corners (see convexHullCorners).
std::vector<std::int64_t> supportPolygon(const double* x, const double* y, std::int64_t n)
{
    std::array<std::int64_t, 8> best{};
    std::array<double, 8> value{};
    const auto keys = [&](std::int64_t i) {
        return std::array<double, 8>{-y[i], x[i] - y[i], x[i], x[i] + y[i], y[i], y[i] - x[i], -x[i], -x[i] - y[i]};
    };
    value = keys(0);
    for (std::int64_t i = 1; i < n; ++i) {
        const std::array<double, 8> k = keys(i);
        for (int d = 0; d < 8; ++d)
            if (k[d] > value[d]) {
                value[d] = k[d];
                best[d] = i;
            }
    }
    std::vector<std::int64_t> polygon;
    for (const std::int64_t i : best) {
        const bool same = !polygon.empty() && x[polygon.back()] == x[i] && y[polygon.back()] == y[i];
        if (!same) polygon.push_back(i);
    }
    while (polygon.size() > 1 && x[polygon.front()] == x[polygon.back()] && y[polygon.front()] == y[polygon.back()])
        polygon.pop_back();
    return polygon;
}

}  // namespace

std::vector<std::int64_t> convexHullCorners(const double* x, const double* y, std::int64_t n, int threads)
{
    if (n == 0) return {};
    // A point strictly left of every edge of a closed polygon of the points
    // is wound around by it, so it lies strictly inside the points' hull:
    // neither a corner nor on an edge. The test is exact.
    const std::vector<std::int64_t> polygon = supportPolygon(x, y, n);
    std::vector<Point> corners;
    for (const std::int64_t i : polygon) corners.emplace_back(x[i], y[i]);
    const bool filters = corners.size() >= 3;
    std::vector<std::vector<std::int64_t>> kept;
    std::mutex keptLock;
    runInParts(n, threads, pointsPerThread, [&](std::int64_t begin, std::int64_t end) {
        std::vector<std::int64_t> mine;
        for (std::int64_t i = begin; i < end; ++i) {
            bool inside = filters;
            if (filters) {
                const Point q(x[i], y[i]);
                for (std::size_t e = 0; e < corners.size() && inside; ++e)
                    inside = CGAL::orientation(corners[e], corners[(e + 1) % corners.size()], q) == CGAL::LEFT_TURN;
            }
            if (!inside) mine.push_back(i);
        }
        const std::lock_guard<std::mutex> lock(keptLock);
        kept.push_back(std::move(mine));
    });
    std::vector<std::int64_t> order;
    for (const auto& part : kept) order.insert(order.end(), part.begin(), part.end());
    // Monotone chain over the candidates by x, then y (then index, so that
    // the first of repeats is kept), exact orientation; a turn that is not
    // strictly left drops the middle point, so points on an edge are left out.
    std::sort(order.begin(), order.end(), [&](std::int64_t a, std::int64_t b) {
        return x[a] < x[b] || (x[a] == x[b] && (y[a] < y[b] || (y[a] == y[b] && a < b)));
    });
    order.erase(std::unique(order.begin(), order.end(),
                            [&](std::int64_t a, std::int64_t b) { return x[a] == x[b] && y[a] == y[b]; }),
                order.end());
    if (order.size() < 3) return order;
    const auto left = [&](std::int64_t a, std::int64_t b, std::int64_t c) {
        return CGAL::orientation(Point(x[a], y[a]), Point(x[b], y[b]), Point(x[c], y[c])) == CGAL::LEFT_TURN;
    };
    std::vector<std::int64_t> hull;
    hull.reserve(order.size() + 1);
    for (const std::int64_t i : order) {  // lower chain, left to right
        while (hull.size() >= 2 && !left(hull[hull.size() - 2], hull.back(), i)) hull.pop_back();
        hull.push_back(i);
    }
    const std::size_t lower = hull.size();
    for (auto it = order.rbegin() + 1; it != order.rend(); ++it) {  // upper chain, right to left
        while (hull.size() > lower && !left(hull[hull.size() - 2], hull.back(), *it)) hull.pop_back();
        hull.push_back(*it);
    }
    hull.pop_back();  // the first point again
    return hull;  // all on one line: its two ends only
}

}  // namespace kyhost_spatial
