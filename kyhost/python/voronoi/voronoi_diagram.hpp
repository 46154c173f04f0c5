// The Voronoi diagram of planar points from their Delaunay triangulation:
// one vertex per circumcircle (triangles whose circumcircles are the same,
// decided by the exact in-circle test across their shared edge, give one
// vertex), one ridge per Delaunay edge between different vertices (a ray
// from the vertex for a hull edge), and each point's region as its vertices
// counter-clockwise, -1 standing between the two rays of an unbounded one.
#pragma once

#include <cstdint>
#include <vector>

namespace kyhost_voronoi {

struct Diagram {
    std::vector<double> vertices;               // x, y of each vertex
    std::vector<std::int32_t> rowVertex;        // the vertex of each row
    std::vector<std::int32_t> ridgePoints;      // p, q of each ridge
    std::vector<std::int32_t> ridgeVertices;    // its two vertices; -1 first for a ray
    std::vector<std::int64_t> regionStart;      // n + 1 offsets into regionVertices
    std::vector<std::int32_t> regionVertices;
};

// rows: m triangles of points below n, all clockwise or all counter-clockwise,
// forming a Delaunay triangulation of the n points (x, y finite, distinct);
// points in no row get an empty region. Throws std::invalid_argument for
// rows that are not a triangulation (an edge in more than two rows).
Diagram voronoiDiagram(const double* x, const double* y, std::int32_t n, const std::int32_t* rows, std::int64_t m,
                       int threads = 1);

}  // namespace kyhost_voronoi
