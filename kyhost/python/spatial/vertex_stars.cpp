#include "vertex_stars.hpp"

#include <algorithm>

#include "mesh_adjacency.hpp"

namespace kyhost_spatial {

namespace {

// Points with more rows than this chain them through a sorted list.
constexpr std::int64_t fewRows = 16;

}  // namespace

VertexStars vertexStars(const std::int32_t* rows, const std::int32_t* /*across*/, std::int64_t m, std::int32_t n)
{
    // Around p, the row (p, a, b) is followed clockwise by the row (p, b, c):
    // the next row's a is this row's b. A hull point's first row is the one
    // whose a is no row's b.
    const ViewsByCorner grouped = groupByCorner(rows, m, n);
    VertexStars stars;
    stars.start = grouped.start;
    stars.triangles.resize(static_cast<std::size_t>(3 * m));
    std::vector<std::pair<std::int32_t, std::int64_t>> byA;  // (a, view) of a point with many rows
    std::vector<bool> taken;
    for (std::int32_t p = 0; p < n; ++p) {
        const std::int64_t begin = grouped.start[p], count = grouped.start[p + 1] - begin;
        if (count == 0) continue;
        const CornerView* views = grouped.views.get() + begin;
        // The view whose a equals the given point, or -1.
        const auto withA = [&](std::int32_t a) -> std::int64_t {
            if (count <= fewRows) {
                for (std::int64_t i = 0; i < count; ++i)
                    if (views[i].a == a) return i;
                return -1;
            }
            const auto at = std::lower_bound(byA.begin(), byA.end(), std::make_pair(a, std::int64_t{-1}));
            return at != byA.end() && at->first == a ? at->second : -1;
        };
        if (count > fewRows) {
            byA.clear();
            for (std::int64_t i = 0; i < count; ++i) byA.emplace_back(views[i].a, i);
            std::sort(byA.begin(), byA.end());
        }
        std::int64_t first = 0;
        if (count <= fewRows) {
            for (std::int64_t i = 0; i < count; ++i) {
                bool follows = false;
                for (std::int64_t j = 0; j < count && !follows; ++j) follows = views[j].b == views[i].a;
                if (!follows) {
                    first = i;
                    break;
                }
            }
        } else {
            std::vector<std::int32_t> bs(static_cast<std::size_t>(count));
            for (std::int64_t i = 0; i < count; ++i) bs[i] = views[i].b;
            std::sort(bs.begin(), bs.end());
            for (std::int64_t i = 0; i < count; ++i)
                if (!std::binary_search(bs.begin(), bs.end(), views[i].a)) {
                    first = i;
                    break;
                }
        }
        taken.assign(static_cast<std::size_t>(count), false);
        std::int64_t at = begin;
        for (std::int64_t i = first; i >= 0 && !taken[i]; i = withA(views[i].b)) {
            taken[i] = true;
            stars.triangles[at++] = views[i].slot / 3;
        }
        // Rows not on the chain (only where rows do not form a triangulation
        // around p) keep their places after it.
        for (std::int64_t i = 0; i < count; ++i)
            if (!taken[i]) stars.triangles[at++] = views[i].slot / 3;
    }
    return stars;
}

}  // namespace kyhost_spatial
