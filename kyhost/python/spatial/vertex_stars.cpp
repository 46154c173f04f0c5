#include "vertex_stars.hpp"

namespace kyhost_spatial {

VertexStars vertexStars(const std::int32_t* rows, const std::int32_t* across, std::int64_t m, std::int32_t n)
{
    VertexStars stars;
    stars.start.assign(static_cast<std::size_t>(n) + 1, 0);
    std::vector<std::int32_t> some(static_cast<std::size_t>(n), -1);  // a triangle at each point
    for (std::int64_t t = 0; t < m; ++t)
        for (int c = 0; c < 3; ++c) {
            ++stars.start[static_cast<std::size_t>(rows[3 * t + c]) + 1];
            some[rows[3 * t + c]] = static_cast<std::int32_t>(t);
        }
    for (std::int32_t v = 0; v < n; ++v) stars.start[v + 1] += stars.start[v];
    stars.triangles.resize(static_cast<std::size_t>(3 * m));
    for (std::int32_t v = 0; v < n; ++v) {
        if (some[v] < 0) continue;
        // Back, counter-clockwise, to the triangle after a hull edge (or
        // round the circle to where we began).
        std::int32_t first = some[v];
        for (;;) {
            const std::int32_t before = across[3 * first + (cornerOf(rows, first, v) + 2) % 3];
            if (before < 0 || before == some[v]) break;
            first = before;
        }
        std::int64_t at = stars.start[v];
        std::int32_t t = first;
        do {
            stars.triangles[at++] = t;
            t = across[3 * t + (cornerOf(rows, t, v) + 1) % 3];
        } while (t >= 0 && t != first && at < stars.start[v + 1]);
    }
    return stars;
}

}  // namespace kyhost_spatial
