// What the searches of one triangulation share, built once: the points'
// neighbour graph (or their order along their line when there are no rows),
// the nearest-point search over it, and, when asked for, the rows'
// neighbours.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
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

    // The same with the points' neighbour graph made before (by graph() of
    // an index of the same rows, m > 0), as when an index travels to
    // another process.
    TriangulationIndex(const SearchPoints& points, const std::int32_t* rows, std::int64_t m, NeighbourGraph graph);

    const SearchPoints& points() const { return points_; }
    const std::int32_t* rows() const { return rows_; }
    std::int64_t rowCount() const { return m_; }
    // The rows' neighbours (mesh_adjacency.hpp), made at the first call.
    const std::vector<std::int32_t>& across() const;
    const NeighbourGraph& graph() const { return graph_; }
    const NearestSearch& search() const { return *search_; }

private:
    SearchPoints points_;
    const std::int32_t* rows_;
    std::int64_t m_;
    mutable std::once_flag acrossMade_;
    mutable std::vector<std::int32_t> across_;
    NeighbourGraph graph_;
    std::unique_ptr<NearestSearch> search_;
};

// The points in their order along the line they lie on: by x, then y.
std::vector<std::int32_t> orderAlongLine(const double* x, const double* y, std::int32_t n);

}  // namespace kyhost_spatial
