// The benchmark peer: nanoflann's KD-tree over the same data points,
// answering one-nearest-neighbour queries.
#pragma once

#include <nanoflann.hpp>

#include <cstdint>
#include <span>
#include <vector>

namespace nearwalk::bench {

struct PlanarPoints {
    std::span<const double> x;
    std::span<const double> y;

    std::size_t kdtree_get_point_count() const { return x.size(); }
    double kdtree_get_pt(std::size_t k, std::size_t dimension) const { return dimension == 0 ? x[k] : y[k]; }
    template <class Box>
    bool kdtree_get_bbox(Box&) const { return false; }
};

using KdTree = nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<double, PlanarPoints>, PlanarPoints,
                                                   2, std::uint32_t>;

// The tree is built by the constructor.
inline KdTree buildKdTree(const PlanarPoints& points)
{
    return KdTree(2, points, nanoflann::KDTreeSingleIndexAdaptorParams(10));
}

// 0-based index of a nearest data point for every query.
inline void answerQueries(const KdTree& tree, std::span<const double> qx, std::span<const double> qy,
                          std::vector<std::uint32_t>& found)
{
    found.resize(qx.size());
    for (std::size_t q = 0; q < qx.size(); ++q) {
        const double query[2] = {qx[q], qy[q]};
        double distance;
        tree.knnSearch(query, 1, &found[q], &distance);
    }
}

}  // namespace nearwalk::bench
