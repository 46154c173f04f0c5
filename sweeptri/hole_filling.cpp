#include "hole_filling.hpp"

#include <algorithm>
#include <deque>
#include <exception>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Constrained_triangulation_face_base_2.h>
#include <CGAL/Spatial_sort_traits_adapter_2.h>
#include <CGAL/hilbert_sort.h>
#include <CGAL/property_map.h>
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
    // side inserted later would split a constrained edge. They go in along
    // a Hilbert curve (CGAL's median policy: no randomness, so the same
    // points give the same rows), each located from the face of the one
    // before: inserting them in the order the rows name them made each
    // location walk across the region, quadratic on long pockets.
    std::vector<std::int32_t> corners;
    try {
        corners.reserve(loosePoints.size() + 2 * boundary.size());
        corners.insert(corners.end(), loosePoints.begin(), loosePoints.end());
        for (const DirectedSide& side : boundary) {
            corners.push_back(side.from);
            corners.push_back(side.to);
        }
        std::sort(corners.begin(), corners.end());
        corners.erase(std::unique(corners.begin(), corners.end()), corners.end());
        std::vector<ExactPoint> points;
        points.reserve(corners.size());
        for (const std::int32_t i : corners) points.emplace_back(xy[2 * i], xy[2 * i + 1]);
        std::vector<std::size_t> order(points.size());
        for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
        using ByIndex = CGAL::Spatial_sort_traits_adapter_2<ExactKernel, CGAL::Pointer_property_map<ExactPoint>::type>;
        CGAL::hilbert_sort(order.begin(), order.end(), ByIndex(CGAL::make_property_map(points)),
                           CGAL::Hilbert_sort_median_policy());
        Constrained::Face_handle hint;
        for (const std::size_t k : order) {
            const Constrained::Vertex_handle v = triangulation.insert(points[k], hint);
            v->info() = corners[k];
            vertices.emplace(corners[k], v);
            hint = v->face();
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
