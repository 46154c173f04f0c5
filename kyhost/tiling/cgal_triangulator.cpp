#include "cgal_triangulator.hpp"

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <stdexcept>
#include <utility>
#include <vector>

namespace tiling {

namespace {
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<std::int32_t, Kernel>;
using Structure = CGAL::Triangulation_data_structure_2<VertexBase>;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, Structure>;
}  // namespace

sweeptri::threaded::SweepRows cgalTriangulate(const double* x, const double* y, std::int32_t n)
{
    std::vector<std::pair<Kernel::Point_2, std::int32_t>> points;
    points.reserve(static_cast<std::size_t>(std::max(n, 0)));
    for (std::int32_t i = 0; i < n; ++i) points.emplace_back(Kernel::Point_2(x[i], y[i]), i);
    Delaunay dt(points.begin(), points.end());
    if (dt.number_of_vertices() != points.size()) throw std::invalid_argument("x-y data must be unique");
    sweeptri::threaded::SweepRows rows;
    if (dt.dimension() < 2) return rows;
    rows.corners.reserve(3 * dt.number_of_faces());
    for (auto face = dt.finite_faces_begin(); face != dt.finite_faces_end(); ++face) {
        // CGAL's faces are counter-clockwise.
        rows.corners.push_back(face->vertex(0)->info());
        rows.corners.push_back(face->vertex(2)->info());
        rows.corners.push_back(face->vertex(1)->info());
    }
    return rows;
}

}  // namespace tiling
