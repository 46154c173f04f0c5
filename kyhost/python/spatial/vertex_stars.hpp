// The triangles around each point of a triangulation, in clockwise order,
// and the search among them for the one whose wedge holds a direction.
//
// Rows are clockwise: in a row (v, a, b) the wedge at v runs clockwise from
// a to b, and the next triangle clockwise around v lies across the edge
// v-b, opposite a. A point on the hull starts its list with the triangle
// after its hull edge (v, a); an inner point's list closes into a circle.
#pragma once

#include <cstdint>
#include <vector>

namespace kyhost_spatial {

struct VertexStars {
    std::vector<std::int64_t> start;      // n + 1 offsets
    std::vector<std::int32_t> triangles;  // clockwise around each point

    std::int64_t degree(std::int32_t v) const { return start[v + 1] - start[v]; }
};

// rows: m clockwise rows over points 0 .. n-1; across: their neighbours
// (mesh_adjacency.hpp).
VertexStars vertexStars(const std::int32_t* rows, const std::int32_t* across, std::int64_t m, std::int32_t n);

// The corner (0, 1 or 2) of row t that is point v.
inline int cornerOf(const std::int32_t* rows, std::int64_t t, std::int32_t v)
{
    return rows[3 * t] == v ? 0 : (rows[3 * t + 1] == v ? 1 : 2);
}

}  // namespace kyhost_spatial
