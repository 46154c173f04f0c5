#include "voronoi_diagram.hpp"

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <thread>

#include "geometry/exact_circumcentre.hpp"
#include "mesh_adjacency.hpp"

namespace kyhost_voronoi {

using ky::geometry::CircumcentreWork;
using ky::geometry::RoundedPoint;

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Point = Kernel::Point_2;

std::int32_t findRoot(std::vector<std::int32_t>& parent, std::int32_t r)
{
    while (parent[r] != r) {
        parent[r] = parent[parent[r]];
        r = parent[r];
    }
    return r;
}

// The corner of row s that holds point p (-1 when none does).
int cornerOf(const std::int32_t* rows, std::int32_t s, std::int32_t p)
{
    for (int c = 0; c < 3; ++c)
        if (rows[3 * static_cast<std::int64_t>(s) + c] == p) return c;
    return -1;
}

// Rows whose circumcircles are the same circle, as one class each: across
// every interior edge, the exact in-circle test of the far point.
std::vector<std::int32_t> circleClasses(const double* x, const double* y, const std::int32_t* rows, std::int64_t m,
                                        const std::vector<std::int32_t>& across)
{
    std::vector<std::int32_t> parent(static_cast<std::size_t>(m));
    std::iota(parent.begin(), parent.end(), 0);
    const auto at = [&](std::int32_t p) { return Point(x[p], y[p]); };
    for (std::int64_t t = 0; t < m; ++t)
        for (int k = 0; k < 3; ++k) {
            const std::int32_t s = across[3 * t + k];
            if (s <= t) continue;
            const std::int32_t* row = rows + 3 * t;
            const std::int32_t u = row[(k + 1) % 3], v = row[(k + 2) % 3];
            const std::int32_t* other = rows + 3 * static_cast<std::int64_t>(s);
            std::int32_t far = -1;
            for (int c = 0; c < 3; ++c)
                if (other[c] != u && other[c] != v) far = other[c];
            if (far < 0) throw std::invalid_argument("two rows across an edge share all three points");
            if (CGAL::side_of_oriented_circle(at(row[0]), at(row[1]), at(row[2]), at(far)) ==
                CGAL::ON_ORIENTED_BOUNDARY) {
                const std::int32_t a = findRoot(parent, static_cast<std::int32_t>(t)), b = findRoot(parent, s);
                parent[std::max(a, b)] = std::min(a, b);
            }
        }
    for (std::int64_t t = 0; t < m; ++t) parent[t] = findRoot(parent, static_cast<std::int32_t>(t));
    return parent;
}

void roundCentres(const double* x, const double* y, const std::int32_t* rows, const std::vector<std::int32_t>& first,
                  std::vector<double>& vertices, int threads)
{
    const std::size_t count = first.size();
    vertices.resize(2 * count);
    const auto work = [&](std::size_t begin, std::size_t end) {
        CircumcentreWork centre;
        for (std::size_t i = begin; i < end; ++i) {
            const std::int32_t* row = rows + 3 * static_cast<std::int64_t>(first[i]);
            const RoundedPoint c = centre.rounded(x[row[0]], y[row[0]], x[row[1]], y[row[1]], x[row[2]], y[row[2]]);
            vertices[2 * i] = c.x;
            vertices[2 * i + 1] = c.y;
        }
    };
    const std::size_t parts = std::max<std::size_t>(1, std::min<std::size_t>(threads, count / 4096 + 1));
    std::vector<std::thread> helpers;
    for (std::size_t part = 1; part < parts; ++part)
        helpers.emplace_back(work, count * part / parts, count * (part + 1) / parts);
    work(0, count / parts);
    for (auto& helper : helpers) helper.join();
}

}  // namespace

Diagram voronoiDiagram(const double* x, const double* y, std::int32_t n, const std::int32_t* rows, std::int64_t m,
                       int threads)
{
    Diagram d;
    const std::vector<std::int32_t> across = kyhost_spatial::rowNeighbours(rows, m, n);
    const std::vector<std::int32_t> circle = circleClasses(x, y, rows, m, across);

    // One vertex per class, numbered by the class's first row.
    d.rowVertex.assign(static_cast<std::size_t>(m), -1);
    std::vector<std::int32_t> first;
    for (std::int64_t t = 0; t < m; ++t) {
        if (circle[t] == t) {
            d.rowVertex[t] = static_cast<std::int32_t>(first.size());
            first.push_back(static_cast<std::int32_t>(t));
        } else {
            d.rowVertex[t] = d.rowVertex[circle[t]];
        }
    }
    roundCentres(x, y, rows, first, d.vertices, threads);

    // Ridges: each hull edge once (a ray), each interior edge between two
    // different vertices once.
    for (std::int64_t t = 0; t < m; ++t)
        for (int k = 0; k < 3; ++k) {
            const std::int32_t s = across[3 * t + k];
            if (s >= 0 && (s < t || d.rowVertex[s] == d.rowVertex[t])) continue;
            d.ridgePoints.push_back(rows[3 * t + (k + 1) % 3]);
            d.ridgePoints.push_back(rows[3 * t + (k + 2) % 3]);
            d.ridgeVertices.push_back(s < 0 ? -1 : d.rowVertex[t]);
            d.ridgeVertices.push_back(s < 0 ? d.rowVertex[t] : d.rowVertex[s]);
        }

    // Regions: a walk counter-clockwise around each point. Rows are
    // clockwise: in a row where p is followed by a and b, the next row
    // counter-clockwise lies across p-a (opposite b), the one before it
    // across p-b (opposite a). A hull point's walk starts at the row whose
    // edge p-b is on the hull.
    std::vector<std::int64_t> start(static_cast<std::size_t>(n), -1);
    for (std::int64_t slot = 0; slot < 3 * m; ++slot) {
        const std::int32_t p = rows[slot];
        const std::int64_t t = slot / 3;
        const int k = static_cast<int>(slot % 3);
        if (start[p] < 0 || across[3 * t + (k + 1) % 3] < 0) start[p] = slot;
    }
    d.regionStart.assign(static_cast<std::size_t>(n) + 1, 0);
    for (std::int32_t p = 0; p < n; ++p) {
        const std::size_t begin = d.regionVertices.size();
        if (start[p] >= 0) {
            const std::int64_t t0 = start[p] / 3;
            const bool unbounded = across[3 * t0 + (start[p] % 3 + 1) % 3] < 0;
            if (unbounded) d.regionVertices.push_back(-1);
            std::int64_t t = t0;
            int k = static_cast<int>(start[p] % 3);
            for (std::int64_t step = 0;; ++step) {
                if (step > 3 * m) throw std::invalid_argument("the rows around a point do not close");
                const std::int32_t v = d.rowVertex[t];
                if (d.regionVertices.size() == begin || d.regionVertices.back() != v) d.regionVertices.push_back(v);
                const std::int32_t next = across[3 * t + (k + 2) % 3];
                if (next < 0 || next == t0) break;
                t = next;
                k = cornerOf(rows, next, p);
                if (k < 0) throw std::invalid_argument("the rows around a point do not close");
            }
            // A closed walk may end in the vertex it started with.
            if (!unbounded && d.regionVertices.size() - begin > 1 && d.regionVertices.back() == d.regionVertices[begin])
                d.regionVertices.pop_back();
        }
        d.regionStart[p + 1] = static_cast<std::int64_t>(d.regionVertices.size());
    }
    return d;
}

}  // namespace kyhost_voronoi
