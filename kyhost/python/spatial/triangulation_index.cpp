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
        graph_ = pointAdjacency(rows, m, points.n);
    } else {
        line = orderAlongLine(points.x, points.y, points.n);
        graph_ = pathAdjacency(line);
    }
    search_ = std::make_unique<NearestSearch>(points_, graph_, std::move(line));
}

TriangulationIndex::TriangulationIndex(const SearchPoints& points, const std::int32_t* rows, std::int64_t m,
                                       NeighbourGraph graph)
    : points_(points), rows_(rows), m_(m), graph_(std::move(graph))
{
    search_ = std::make_unique<NearestSearch>(points_, graph_, std::vector<std::int32_t>());
}

const std::vector<std::int32_t>& TriangulationIndex::across() const
{
    std::call_once(acrossMade_, [this] { across_ = rowNeighbours(rows_, m_, points_.n); });
    return across_;
}

}  // namespace kyhost_spatial
