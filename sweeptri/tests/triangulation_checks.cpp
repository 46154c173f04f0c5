#include "triangulation_checks.hpp"

#include <algorithm>
#include <random>
#include <set>
#include <utility>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>
#include <CGAL/convex_hull_2.h>

#include "plugin_testing.hpp"
#include "triangulation_check.hpp"

namespace sweeptri::testing {

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<int, Kernel>;
using DataStructure = CGAL::Triangulation_data_structure_2<VertexBase>;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, DataStructure>;
using Point = Kernel::Point_2;

}  // namespace

bool exactlyDelaunay(const std::vector<double>& x, const std::vector<double>& y, const std::vector<Row>& rows)
{
    std::vector<double> values(3 * rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (int c = 0; c < 3; ++c) values[static_cast<std::size_t>(c) * rows.size() + r] = rows[r][c];
    const ky::inspect::PointSet points{x.data(), y.data(), x.size()};
    return ky::inspect::checkTriangulation(points, {values.data(), rows.size()}).isDelaunay();
}

Triangulation triangulate(const std::vector<double>& x, const std::vector<double>& y, bool sorted)
{
    static const kyxFunctionType plugin = ky::testing::builtPlugin("sweeptri");
    const auto xs = ky::testing::row(x);
    const auto ys = ky::testing::row(y);
    const auto option = ky::testing::text("sorted");
    ky::CallOutcome outcome = sorted ? ky::testing::call(plugin, 1, {xs.get(), ys.get(), option.get()})
                                     : ky::testing::call(plugin, 1, {xs.get(), ys.get()});
    Triangulation result;
    result.warnings = std::move(outcome.warnings);
    result.error = std::move(outcome.error);
    if (outcome.result) {
        const kyArray* tri = outcome.result.get();
        const std::vector<double> values = ky::testing::values(tri);
        const std::size_t m = static_cast<std::size_t>(tri->m);
        for (std::size_t i = 0; i < m; ++i)
            result.rows.push_back(Row{static_cast<int>(values[i]), static_cast<int>(values[m + i]),
                                      static_cast<int>(values[2 * m + i])});
    }
    return result;
}

Row canonical(Row row)
{
    std::rotate(row.begin(), std::min_element(row.begin(), row.end()), row.end());
    return row;
}

std::vector<Row> canonicalSet(const std::vector<Row>& rows)
{
    std::vector<Row> result;
    for (const Row& row : rows) result.push_back(canonical(row));
    std::sort(result.begin(), result.end());
    return result;
}

std::vector<Row> cgalDelaunay(const std::vector<double>& x, const std::vector<double>& y)
{
    std::vector<std::pair<Point, int>> points;
    for (std::size_t i = 0; i < x.size(); ++i) points.emplace_back(Point(x[i], y[i]), static_cast<int>(i) + 1);
    Delaunay triangulation(points.begin(), points.end());
    std::vector<Row> rows;
    for (auto face = triangulation.finite_faces_begin(); face != triangulation.finite_faces_end(); ++face) {
        // CGAL's faces run counter-clockwise; reversed they run clockwise.
        rows.push_back(canonical(Row{face->vertex(0)->info(), face->vertex(2)->info(), face->vertex(1)->info()}));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

int hullCorners(const std::vector<double>& x, const std::vector<double>& y)
{
    std::vector<Point> points;
    for (std::size_t i = 0; i < x.size(); ++i) points.emplace_back(x[i], y[i]);
    std::vector<Point> hull;
    CGAL::convex_hull_2(points.begin(), points.end(), std::back_inserter(hull), Kernel());
    return static_cast<int>(hull.size());
}

bool allClockwise(const std::vector<Row>& rows, const std::vector<double>& x, const std::vector<double>& y)
{
    for (const Row& row : rows) {
        const auto point = [&](int k) { return Point(x[k - 1], y[k - 1]); };
        if (CGAL::orientation(point(row[0]), point(row[1]), point(row[2])) != CGAL::RIGHT_TURN) return false;
    }
    return true;
}

void randomPoints(unsigned seed, int n, std::vector<double>& x, std::vector<double>& y)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::set<std::pair<double, double>> seen;
    x.clear();
    y.clear();
    while (static_cast<int>(x.size()) < n) {
        const double px = unit(random);
        const double py = unit(random);
        if (!seen.emplace(px, py).second) continue;
        x.push_back(px);
        y.push_back(py);
    }
}

}  // namespace sweeptri::testing
