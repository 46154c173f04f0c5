#include "cgal_triangles.hpp"

#include <array>
#include <utility>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

namespace nearwalk::testing {

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<int, Kernel>;
using DataStructure = CGAL::Triangulation_data_structure_2<VertexBase>;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, DataStructure>;

}  // namespace

std::vector<double> cgalTriangles(const std::vector<double>& x, const std::vector<double>& y)
{
    std::vector<std::pair<Kernel::Point_2, int>> points;
    for (std::size_t i = 0; i < x.size(); ++i) points.emplace_back(Kernel::Point_2(x[i], y[i]), static_cast<int>(i) + 1);
    const Delaunay triangulation(points.begin(), points.end());
    std::vector<std::array<int, 3>> rows;
    for (auto face = triangulation.finite_faces_begin(); face != triangulation.finite_faces_end(); ++face)
        rows.push_back({face->vertex(0)->info(), face->vertex(1)->info(), face->vertex(2)->info()});
    std::vector<double> tri(3 * rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < 3; ++c) tri[c * rows.size() + r] = rows[r][c];
    return tri;
}

}  // namespace nearwalk::testing
