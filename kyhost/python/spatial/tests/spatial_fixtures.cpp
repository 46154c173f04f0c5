#include "spatial_fixtures.hpp"

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <random>

namespace spatial_test {

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<std::int32_t, Kernel>;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, CGAL::Triangulation_data_structure_2<VertexBase>>;

}  // namespace

std::vector<std::int32_t> delaunayRows(const Points& points)
{
    std::vector<std::pair<Kernel::Point_2, std::int32_t>> sites;
    for (std::size_t i = 0; i < points.x.size(); ++i)
        sites.emplace_back(Kernel::Point_2(points.x[i], points.y[i]), static_cast<std::int32_t>(i));
    Delaunay delaunay(sites.begin(), sites.end());
    std::vector<std::int32_t> rows;
    if (delaunay.dimension() < 2) return rows;
    for (auto face = delaunay.finite_faces_begin(); face != delaunay.finite_faces_end(); ++face) {
        // CGAL's faces are counter-clockwise: listed backwards they run clockwise.
        rows.push_back(face->vertex(0)->info());
        rows.push_back(face->vertex(2)->info());
        rows.push_back(face->vertex(1)->info());
    }
    return rows;
}

std::unique_ptr<Indexed> indexed(Points points)
{
    auto set = std::make_unique<Indexed>();
    set->points = std::move(points);
    set->rows = delaunayRows(set->points);
    kyhost_spatial::SearchPoints search;
    search.x = set->points.x.data();
    search.y = set->points.y.data();
    search.n = static_cast<std::int32_t>(set->points.x.size());
    search.givenCount = search.n;
    set->index = std::make_unique<kyhost_spatial::TriangulationIndex>(
        search, set->rows.data(), static_cast<std::int64_t>(set->rows.size() / 3));
    return set;
}

std::unique_ptr<kyhost_spatial::PointLocation> locator(const Indexed& set, int ratio)
{
    const kyhost_spatial::TriangulationIndex& index = *set.index;
    auto location = std::make_unique<kyhost_spatial::PointLocation>(
        set.points.x.data(), set.points.y.data(), index.points().n, index.search().frame(), index.search().frameXY(),
        index.rows(), index.across().data(), index.rowCount());
    std::vector<std::int32_t> level(static_cast<std::size_t>(index.points().n));
    for (std::int32_t i = 0; i < index.points().n; ++i) level[i] = i;
    std::mt19937 random(7);
    for (;;) {
        std::vector<std::int32_t> coarser;
        for (const std::int32_t p : level)
            if (random() % static_cast<unsigned>(ratio) == 0) coarser.push_back(p);
        Points sample;
        for (const std::int32_t p : coarser) {
            sample.x.push_back(set.points.x[p]);
            sample.y.push_back(set.points.y[p]);
        }
        std::vector<std::int32_t> rows = delaunayRows(sample);
        if (coarser.size() < 8 || rows.empty()) break;
        location->addLevel(coarser, std::move(rows));
        level = std::move(coarser);
    }
    return location;
}

mpq_class exactSquaredDistance(double px, double py, double qx, double qy)
{
    const mpq_class dx = mpq_class(px) - mpq_class(qx), dy = mpq_class(py) - mpq_class(qy);
    return dx * dx + dy * dy;
}

std::vector<double> uniform(std::size_t n, double low, double high, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> value(low, high);
    std::vector<double> values(n);
    for (double& v : values) v = value(random);
    return values;
}

}  // namespace spatial_test
