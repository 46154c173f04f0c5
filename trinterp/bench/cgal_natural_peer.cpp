#include "cgal_natural_peer.hpp"

#include <limits>
#include <utility>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>
#include <CGAL/interpolation_functions.h>
#include <CGAL/natural_neighbor_coordinates_2.h>

namespace trinterp::bench {

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<double, Kernel>;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, CGAL::Triangulation_data_structure_2<VertexBase>>;
using Coordinate = std::pair<Delaunay::Vertex_handle, Kernel::FT>;

// Keeps the vertex (CGAL's default would keep only its point).
struct KeepVertex {
    using argument_type = Coordinate;
    using result_type = Coordinate;
    result_type operator()(const argument_type& coordinate) const { return coordinate; }
};

struct VertexValue {
    std::pair<double, bool> operator()(const Delaunay::Vertex_handle& vertex) const { return {vertex->info(), true}; }
};

}  // namespace

std::vector<double> cgalNaturalNeighbour(const std::vector<double>& x, const std::vector<double>& y,
                                         const std::vector<double>& z, const std::vector<double>& qx,
                                         const std::vector<double>& qy)
{
    std::vector<std::pair<Kernel::Point_2, double>> points;
    points.reserve(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) points.emplace_back(Kernel::Point_2(x[i], y[i]), z[i]);
    const Delaunay triangulation(points.begin(), points.end());

    std::vector<double> values(qx.size(), std::numeric_limits<double>::quiet_NaN());
    std::vector<Coordinate> coordinates;
    Delaunay::Face_handle previous;
    for (std::size_t q = 0; q < qx.size(); ++q) {
        const Kernel::Point_2 p(qx[q], qy[q]);
        Delaunay::Locate_type where;
        int index;
        const Delaunay::Face_handle face = triangulation.locate(p, where, index, previous);
        previous = face;
        if (where == Delaunay::OUTSIDE_CONVEX_HULL || where == Delaunay::OUTSIDE_AFFINE_HULL) continue;
        coordinates.clear();
        const auto found = CGAL::natural_neighbor_coordinates_2(triangulation, p, std::back_inserter(coordinates),
                                                                KeepVertex(), face);
        if (!found.third) continue;
        values[q] = CGAL::linear_interpolation(coordinates.begin(), coordinates.end(), found.second, VertexValue());
    }
    return values;
}

}  // namespace trinterp::bench
