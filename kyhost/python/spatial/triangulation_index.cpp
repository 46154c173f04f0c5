#include "triangulation_index.hpp"

#include <algorithm>
#include <numeric>

namespace kyhost_spatial {

std::vector<std::int32_t> orderAlongLine(const double* x, const double* y, std::int32_t n)
{
    std::vector<std::int32_t> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](std::int32_t a, std::int32_t b) { return x[a] < x[b] || (x[a] == x[b] && y[a] < y[b]); });
    return order;
}

TriangulationIndex::TriangulationIndex(const SearchPoints& points, const std::int32_t* rows, std::int64_t m)
    : points_(points), rows_(rows), m_(m)
{
    std::vector<std::int32_t> line;
    if (m > 0) {
        MeshAdjacency adjacency = meshAdjacency(rows, m, points.n);
        across_ = std::move(adjacency.across);
        graph_ = std::move(adjacency.graph);
    } else {
        line = orderAlongLine(points.x, points.y, points.n);
        graph_ = pathAdjacency(line);
    }
    search_ = std::make_unique<NearestSearch>(points_, graph_, std::move(line));
}

}  // namespace kyhost_spatial
