#include "polygon_triangles.hpp"

#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_face_base_with_info_2.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <deque>
#include <stdexcept>

namespace kyhost_voronoi {

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<std::int64_t, Kernel>;
using FaceInfo = CGAL::Triangulation_face_base_with_info_2<int, Kernel>;
using FaceBase = CGAL::Constrained_triangulation_face_base_2<Kernel, FaceInfo>;
using Data = CGAL::Triangulation_data_structure_2<VertexBase, FaceBase>;
// No intersection of constraints is ever constructed: the rings do not cross.
using Cdt = CGAL::Constrained_Delaunay_triangulation_2<Kernel, Data, CGAL::No_constraint_intersection_tag>;

}  // namespace

std::vector<std::int64_t> polygonTriangles(const double* x, const double* y, const std::int64_t* ringStart,
                                           std::int64_t rings)
{
    Cdt cdt;
    for (std::int64_t r = 0; r < rings; ++r) {
        const std::int64_t first = ringStart[r], last = ringStart[r + 1];
        if (last - first < 3) throw std::invalid_argument("a ring of the clip polygon has fewer than 3 corners");
        Cdt::Vertex_handle start, previous;
        for (std::int64_t i = first; i < last; ++i) {
            const auto before = cdt.number_of_vertices();
            Cdt::Vertex_handle v = cdt.insert(Cdt::Point(x[i], y[i]));
            if (cdt.number_of_vertices() > before) v->info() = i;  // a corner met again keeps its first index
            if (i == first) start = v;
            else if (previous != v) cdt.insert_constraint(previous, v);
            previous = v;
        }
        if (previous != start) cdt.insert_constraint(previous, start);
    }
    // Nesting depth: 0 outside, odd inside the polygon (crossing a ring edge
    // changes it by one).
    for (auto f = cdt.all_faces_begin(); f != cdt.all_faces_end(); ++f) f->info() = -1;
    std::deque<std::pair<Cdt::Face_handle, int>> queue{{cdt.infinite_face(), 0}};
    std::deque<std::pair<Cdt::Face_handle, int>> next;
    while (!queue.empty()) {
        while (!queue.empty()) {
            auto [face, depth] = queue.front();
            queue.pop_front();
            if (face->info() != -1) continue;
            face->info() = depth;
            for (int k = 0; k < 3; ++k) {
                const Cdt::Face_handle other = face->neighbor(k);
                if (other->info() != -1) continue;
                if (cdt.is_constrained(Cdt::Edge(face, k))) next.push_back({other, depth + 1});
                else queue.push_back({other, depth});
            }
        }
        queue.swap(next);
    }
    std::vector<std::int64_t> triangles;
    for (auto f = cdt.finite_faces_begin(); f != cdt.finite_faces_end(); ++f)
        if (f->info() % 2 == 1)
            for (int k = 0; k < 3; ++k) triangles.push_back(f->vertex(k)->info());
    return triangles;
}

}  // namespace kyhost_voronoi
