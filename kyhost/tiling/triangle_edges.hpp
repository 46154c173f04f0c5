// The directed edges of a set of clockwise triangles, looked up by their
// ends: for each triangle, its edges directed with the triangle on their
// LEFT (for a clockwise row p q r these are q->p, r->q and p->r), grouped by
// start vertex. Used to find a triangle's neighbours and the hull.
#pragma once

#include <cstdint>
#include <vector>

namespace tiling {

class TriangleEdges {
public:
    // rows: 3 per triangle, clockwise, 0 <= corner < vertexCount (checked:
    // std::runtime_error otherwise).
    TriangleEdges(const std::vector<std::int32_t>& rows, std::int32_t vertexCount);

    // The triangle that has the directed edge from -> to on its left; -1 if none.
    std::int64_t triangleLeftOf(std::int32_t from, std::int32_t to) const;

private:
    std::vector<std::int64_t> start_;        // vertex v's edges: [start_[v], start_[v + 1])
    std::vector<std::int32_t> target_;       // the edge's end
    std::vector<std::uint32_t> triangle_;    // the triangle on its left (fewer than 2^32: checked)
};

// The edges of triangle t directed with it on their left, as (from, to)
// pairs: for the clockwise row p q r: (q, p), (r, q), (p, r).
inline void leftEdges(const std::int32_t* row, std::int32_t from[3], std::int32_t to[3])
{
    from[0] = row[1], to[0] = row[0];
    from[1] = row[2], to[1] = row[1];
    from[2] = row[0], to[2] = row[2];
}

}  // namespace tiling
