#include "exact_recompute.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <utility>
#include <vector>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include "exact_predicates.hpp"
#include "kyx.h"

namespace sweeptri {

namespace {

using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<std::int32_t, ExactKernel>;
using Delaunay = CGAL::Delaunay_triangulation_2<ExactKernel, CGAL::Triangulation_data_structure_2<VertexBase>>;

struct OrderedRow {
    double top;      // centre y + radius of the circumcircle
    double centreX;
    bool finite;     // both keys finite
    std::array<std::int32_t, 3> sorted;  // corners ascending
    std::array<std::int32_t, 3> row;     // smallest first, then clockwise
};

bool comesBefore(const OrderedRow& a, const OrderedRow& b)
{
    if (a.finite != b.finite) return a.finite;
    if (a.finite) {
        if (a.top != b.top) return a.top < b.top;
        if (a.centreX != b.centreX) return a.centreX < b.centreX;
    }
    return a.sorted < b.sorted;
}

OrderedRow orderedRow(const Delaunay::Face& face)
{
    // CGAL's faces run counter-clockwise: 0, 2, 1 runs clockwise.
    std::array<std::int32_t, 3> clockwise = {face.vertex(0)->info(), face.vertex(2)->info(), face.vertex(1)->info()};
    std::rotate(clockwise.begin(), std::min_element(clockwise.begin(), clockwise.end()), clockwise.end());
    OrderedRow row{};
    row.row = clockwise;
    row.sorted = clockwise;
    std::sort(row.sorted.begin(), row.sorted.end());
    // The keys are computed from the corners in column order.
    const auto corner = [&](std::int32_t number) -> const ExactPoint& {
        for (int k = 0; k < 3; ++k)
            if (face.vertex(k)->info() == number) return face.vertex(k)->point();
        return face.vertex(0)->point();
    };
    const ExactPoint& p = corner(clockwise[0]);
    const ExactPoint centre = CGAL::circumcenter(p, corner(clockwise[1]), corner(clockwise[2]));
    row.centreX = centre.x();
    row.top = centre.y() + std::sqrt(CGAL::squared_distance(centre, p));
    row.finite = std::isfinite(row.top) && std::isfinite(row.centreX);
    return row;
}

std::vector<OrderedRow> delaunayRows(const double* x, const double* y, std::int32_t n, int exponent)
{
    std::vector<std::pair<ExactPoint, std::int32_t>> points;
    points.reserve(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i)
        points.emplace_back(ExactPoint(std::ldexp(x[i], exponent), std::ldexp(y[i], exponent)), i);
    const Delaunay triangulation(points.begin(), points.end());
    std::vector<std::pair<ExactPoint, std::int32_t>>().swap(points);

    std::vector<OrderedRow> rows;
    rows.reserve(static_cast<std::size_t>(triangulation.number_of_faces()));
    for (auto face = triangulation.finite_faces_begin(); face != triangulation.finite_faces_end(); ++face)
        rows.push_back(orderedRow(*face));
    return rows;
}

}  // namespace

std::int32_t recomputeExactly(const double* x, const double* y, std::int32_t n, int exponent, double* out)
{
    std::vector<OrderedRow> rows;
    try {
        rows = delaunayRows(x, y, n, exponent);
        std::sort(rows.begin(), rows.end(), comesBefore);
    } catch (const std::bad_alloc&) {
        rows = {};
        kyxErrMsgTxt("Out of memory.");
    }
    const auto count = static_cast<std::int32_t>(rows.size());
    for (std::int32_t r = 0; r < count; ++r)
        for (int c = 0; c < 3; ++c)
            out[static_cast<std::ptrdiff_t>(c) * count + r] = static_cast<double>(rows[static_cast<std::size_t>(r)].row[c]) + 1.0;
    return count;
}

}  // namespace sweeptri
