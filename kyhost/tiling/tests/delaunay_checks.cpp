#include "delaunay_checks.hpp"

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <algorithm>
#include <map>
#include <utility>

namespace tiling::testing {

namespace {
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Point = Kernel::Point_2;
}  // namespace

std::string delaunayFault(const std::vector<double>& x, const std::vector<double>& y,
                          const std::vector<std::int64_t>& rows)
{
    const auto n = static_cast<std::int64_t>(x.size());
    const auto point = [&](std::int64_t i) { return Point(x[static_cast<std::size_t>(i)], y[static_cast<std::size_t>(i)]); };
    if (rows.size() % 3 != 0) return "a partial row";
    for (const std::int64_t c : rows)
        if (c < 0 || c >= n) return "a corner out of range";
    // Directed edges with their triangle on the left, and the corner opposite.
    std::map<std::pair<std::int64_t, std::int64_t>, std::int64_t> opposite;
    for (std::size_t t = 0; t < rows.size(); t += 3) {
        const std::int64_t p = rows[t], q = rows[t + 1], r = rows[t + 2];
        if (CGAL::orientation(point(p), point(q), point(r)) != CGAL::RIGHT_TURN)
            return "triangle " + std::to_string(t / 3) + " is not clockwise";
        for (const auto& [edge, apex] : {std::pair{std::pair{q, p}, r}, std::pair{std::pair{r, q}, p}, std::pair{std::pair{p, r}, q}})
            if (!opposite.emplace(edge, apex).second) return "an edge is used twice in one direction";
    }
    std::int64_t outer = 0;
    for (const auto& [edge, apex] : opposite) {
        const auto reverse = opposite.find({edge.second, edge.first});
        if (reverse != opposite.end()) {
            // Counter-clockwise a, b, apex: the apex beyond must not be inside.
            if (CGAL::side_of_oriented_circle(point(edge.first), point(edge.second), point(apex), point(reverse->second)) ==
                CGAL::ON_POSITIVE_SIDE)
                return "an inner edge is not locally Delaunay";
            continue;
        }
        ++outer;
        for (std::int64_t i = 0; i < n; ++i)
            if (CGAL::orientation(point(edge.first), point(edge.second), point(i)) == CGAL::RIGHT_TURN)
                return "an outer edge is not on the convex hull";
    }
    // A triangulation of n points with b of them on the hull's boundary has
    // 2n - 2 - b triangles (none when they are all on a line).
    const auto triangles = static_cast<std::int64_t>(rows.size() / 3);
    if (triangles == 0) {
        for (std::int64_t i = 2; i < n; ++i)
            if (CGAL::orientation(point(0), point(1), point(i)) != CGAL::COLLINEAR) return "no triangles";
        return "";
    }
    if (triangles != 2 * n - 2 - outer)
        return "triangle count " + std::to_string(triangles) + " but expected " + std::to_string(2 * n - 2 - outer);
    return "";
}

std::vector<std::array<std::int64_t, 3>> canonical(const std::vector<std::int64_t>& rows)
{
    std::vector<std::array<std::int64_t, 3>> out;
    for (std::size_t t = 0; t + 2 < rows.size(); t += 3) {
        std::array<std::int64_t, 3> r{rows[t], rows[t + 1], rows[t + 2]};
        std::rotate(r.begin(), std::min_element(r.begin(), r.end()), r.end());
        out.push_back(r);
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace tiling::testing
