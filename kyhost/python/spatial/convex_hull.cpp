#include "convex_hull.hpp"

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <algorithm>
#include <array>
#include <cmath>
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
// a diagonal's point may not be the true extreme; the polygon of them is
// only a filter, and its test is exact whatever its corners (see
// convexHullCorners).
std::array<std::int64_t, 8> supportPoints(const double* x, const double* y, std::int64_t n)
{
    std::array<std::int64_t, 8> best{};
    const auto keys = [&](std::int64_t i) {
        return std::array<double, 8>{-y[i], x[i] - y[i], x[i], x[i] + y[i], y[i], y[i] - x[i], -x[i], -x[i] - y[i]};
    };
    std::array<double, 8> value = keys(0);
    for (std::int64_t i = 1; i < n; ++i) {
        const std::array<double, 8> k = keys(i);
        for (int d = 0; d < 8; ++d)
            if (k[d] > value[d]) {
                value[d] = k[d];
                best[d] = i;
            }
    }
    return best;
}

// q strictly left of the line from a to b: the determinant in double where
// its error bound (Shewchuk's for orient2d, (3 + 16u)u times the sum of
// the products' magnitudes) decides, CGAL's exact predicate otherwise (and
// where the products could underflow, which the bound leaves out).
bool strictlyLeft(const Point& a, const Point& b, double qx, double qy)
{
    const double left = (b.x() - a.x()) * (qy - a.y());
    const double right = (b.y() - a.y()) * (qx - a.x());
    const double det = left - right;
    const double magnitude = std::fabs(left) + std::fabs(right);
    if (magnitude > 0x1p-900 && std::fabs(det) > 3.3306690738754716e-16 * magnitude) return det > 0;
    return CGAL::orientation(a, b, Point(qx, qy)) == CGAL::LEFT_TURN;
}

}  // namespace

std::vector<std::int64_t> convexHullCorners(const double* x, const double* y, std::int64_t n, int threads)
{
    if (n == 0) return {};
    // A point strictly left of every edge of a closed polygon of the points
    // is wound around by it, so it lies strictly inside the points' hull:
    // neither a corner nor on an edge. The test is exact.
    const std::array<std::int64_t, 8> support = supportPoints(x, y, n);
    std::vector<Point> corners;  // the support points, each place once
    for (const std::int64_t i : support)
        if (corners.empty() || corners.back() != Point(x[i], y[i])) corners.emplace_back(x[i], y[i]);
    while (corners.size() > 1 && corners.front() == corners.back()) corners.pop_back();
    const bool filters = corners.size() >= 3;
    // A box inside the polygon, from its corners' coordinates, to pass most
    // interior points with four comparisons: kept only if its own corners
    // are strictly left of every edge (then so is all of it, each side of
    // an edge's line being convex).
    double boxLow[2] = {0, 0}, boxHigh[2] = {-1, -1};
    if (filters) {
        // Left chain: top-left, left, bottom-left; right chain: bottom-right,
        // right, top-right; likewise below and above.
        const auto px = [&](int k) { return x[support[k]]; };
        const auto py = [&](int k) { return y[support[k]]; };
        boxLow[0] = std::max({px(5), px(6), px(7)});
        boxHigh[0] = std::min({px(1), px(2), px(3)});
        boxLow[1] = std::max({py(7), py(0), py(1)});
        boxHigh[1] = std::min({py(3), py(4), py(5)});
        // Shrunk a little: a box corner on the polygon is no use.
        const double shrinkX = (boxHigh[0] - boxLow[0]) * 0x1p-20, shrinkY = (boxHigh[1] - boxLow[1]) * 0x1p-20;
        boxLow[0] += shrinkX, boxHigh[0] -= shrinkX, boxLow[1] += shrinkY, boxHigh[1] -= shrinkY;
        bool inside = boxLow[0] < boxHigh[0] && boxLow[1] < boxHigh[1];
        for (int c = 0; c < 4 && inside; ++c) {
            const Point q(c & 1 ? boxHigh[0] : boxLow[0], c & 2 ? boxHigh[1] : boxLow[1]);
            for (std::size_t e = 0; e < corners.size() && inside; ++e)
                inside = CGAL::orientation(corners[e], corners[(e + 1) % corners.size()], q) == CGAL::LEFT_TURN;
        }
        if (!inside) boxLow[0] = boxLow[1] = 0, boxHigh[0] = boxHigh[1] = -1;
    }
    std::vector<std::vector<std::int64_t>> kept;
    std::mutex keptLock;
    runInParts(n, threads, pointsPerThread, [&](std::int64_t begin, std::int64_t end) {
        std::vector<std::int64_t> mine;
        for (std::int64_t i = begin; i < end; ++i) {
            if (x[i] > boxLow[0] && x[i] < boxHigh[0] && y[i] > boxLow[1] && y[i] < boxHigh[1]) continue;
            bool inside = filters;
            for (std::size_t e = 0; e < corners.size() && inside; ++e)
                inside = strictlyLeft(corners[e], corners[(e + 1) % corners.size()], x[i], y[i]);
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
