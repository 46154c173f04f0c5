#include "delaunay_oracle.hpp"

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <array>
#include <utility>

namespace nearwalk::testing {

namespace {
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<int, Kernel>;
using Storage = CGAL::Triangulation_data_structure_2<VertexBase>;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, Storage>;
}  // namespace

std::vector<double> delaunayTriangles(const std::vector<double>& x, const std::vector<double>& y)
{
    std::vector<std::pair<Kernel::Point_2, int>> points;
    for (std::size_t k = 0; k < x.size(); ++k) points.emplace_back(Kernel::Point_2(x[k], y[k]), static_cast<int>(k));
    const Delaunay delaunay(points.begin(), points.end());
    std::vector<std::array<int, 3>> rows;
    for (auto face = delaunay.finite_faces_begin(); face != delaunay.finite_faces_end(); ++face)
        rows.push_back({face->vertex(0)->info(), face->vertex(1)->info(), face->vertex(2)->info()});
    std::vector<double> tri(rows.size() * 3);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < 3; ++c) tri[r + c * rows.size()] = rows[r][c] + 1;
    return tri;
}

}  // namespace nearwalk::testing
