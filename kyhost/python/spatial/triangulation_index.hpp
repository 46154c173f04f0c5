// What the searches of one triangulation share, built once: the rows'
// neighbours, the points' neighbour graph (or their order along their line
// when there are no rows) and the nearest-point search over it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mesh_adjacency.hpp"
#include "nearest_search.hpp"

namespace kyhost_spatial {

class TriangulationIndex {
public:
    // rows: m clockwise rows over the points (0-based), a Delaunay
    // triangulation of them; m = 0 when the points lie on one line (or are
    // fewer than 3). The index keeps references to rows and to the points.
    TriangulationIndex(const SearchPoints& points, const std::int32_t* rows, std::int64_t m);

    const SearchPoints& points() const { return points_; }
    const std::int32_t* rows() const { return rows_; }
    std::int64_t rowCount() const { return m_; }
    const std::vector<std::int32_t>& across() const { return across_; }
    const NeighbourGraph& graph() const { return graph_; }
    const NearestSearch& search() const { return *search_; }

private:
    SearchPoints points_;
    const std::int32_t* rows_;
    std::int64_t m_;
    std::vector<std::int32_t> across_;
    NeighbourGraph graph_;
    std::unique_ptr<NearestSearch> search_;
};

// The points in their order along the line they lie on: by x, then y.
std::vector<std::int32_t> orderAlongLine(const double* x, const double* y, std::int32_t n);

}  // namespace kyhost_spatial
