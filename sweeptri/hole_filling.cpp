#include "hole_filling.hpp"

#include <deque>
#include <exception>
#include <new>
#include <unordered_map>
#include <utility>

#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Constrained_triangulation_face_base_2.h>
#include <CGAL/Triangulation_face_base_with_info_2.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include "exact_predicates.hpp"

namespace sweeptri {

namespace {

using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<std::int32_t, ExactKernel>;
using ConstrainedFace = CGAL::Constrained_triangulation_face_base_2<ExactKernel>;
// A face's info: how many constraints separate it from the infinite face,
// or -1 before it is reached.
using FaceBase = CGAL::Triangulation_face_base_with_info_2<int, ExactKernel, ConstrainedFace>;
using Structure = CGAL::Triangulation_data_structure_2<VertexBase, FaceBase>;
// Constraints that would meet anywhere but at their ends make the fill
// fail (an exception), rather than being split at a constructed point.
using Constrained =
    CGAL::Constrained_Delaunay_triangulation_2<ExactKernel, Structure, CGAL::No_constraint_intersection_tag>;

// Breadth-first from the infinite face: a face's depth is the number of
// constrained edges crossed to reach it.
void markDepths(Constrained& triangulation)
{
    for (auto face = triangulation.all_faces_begin(); face != triangulation.all_faces_end(); ++face) face->info() = -1;
    std::deque<std::pair<Constrained::Face_handle, int>> pending;
    pending.emplace_back(triangulation.infinite_face(), 0);
    while (!pending.empty()) {
        const auto [face, depth] = pending.front();
        pending.pop_front();
        if (face->info() != -1) continue;
        face->info() = depth;
        for (int k = 0; k < 3; ++k) {
            const Constrained::Face_handle next = face->neighbor(k);
            if (next->info() != -1) continue;
            if (triangulation.is_constrained(Constrained::Edge(face, k)))
                pending.emplace_back(next, depth + 1);
            else
                pending.emplace_front(next, depth);
        }
    }
}

}  // namespace

bool fillRegion(const std::vector<DirectedSide>& boundary, const std::vector<std::int32_t>& loosePoints,
                const double* xy, std::vector<std::int32_t>& rows)
{
    Constrained triangulation;
    std::unordered_map<std::int32_t, Constrained::Vertex_handle> vertices;
    // Every corner goes in before any side is constrained: a point on a
    // side inserted later would split a constrained edge.
    const auto addVertex = [&](std::int32_t i) {
        if (vertices.count(i) != 0) return;
        const Constrained::Vertex_handle v = triangulation.insert(ExactPoint(xy[2 * i], xy[2 * i + 1]));
        v->info() = i;
        vertices.emplace(i, v);
    };
    try {
        for (const std::int32_t i : loosePoints) addVertex(i);
        for (const DirectedSide& side : boundary) {
            addVertex(side.from);
            addVertex(side.to);
        }
        // A side through another corner is constrained in two parts; sides
        // that overlap or cross end the fill.
        for (const DirectedSide& side : boundary)
            triangulation.insert_constraint(vertices.at(side.from), vertices.at(side.to));
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        return false;
    }

    markDepths(triangulation);
    for (auto face = triangulation.finite_faces_begin(); face != triangulation.finite_faces_end(); ++face) {
        if (face->info() % 2 == 0) continue;
        // CGAL's faces run counter-clockwise: 0, 2, 1 runs clockwise.
        rows.push_back(face->vertex(0)->info());
        rows.push_back(face->vertex(2)->info());
        rows.push_back(face->vertex(1)->info());
    }
    return true;
}

}  // namespace sweeptri
