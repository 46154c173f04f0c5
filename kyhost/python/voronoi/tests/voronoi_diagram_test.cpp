// The diagram and its clipped cells on sets whose answers are known: integer
// grids (every square's four points on one circle), the twelve integer points
// on a circle, random points (against CGAL's Delaunay triangulation and
// rational centres).
#include <gtest/gtest.h>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <random>
#include <set>

#include "convex_cells.hpp"
#include "geometry/exact_circumcentre.hpp"
#include "mesh_adjacency.hpp"
#include "polygon_cells.hpp"
#include "voronoi_diagram.hpp"

using namespace kyhost_voronoi;
using ky::geometry::CircumcentreWork;
using ky::geometry::exactCircumcentre;
using ky::geometry::RationalPoint;

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel>;

struct Set {
    std::vector<double> x, y;
    std::vector<std::int32_t> rows;  // clockwise
};

Set triangulated(std::vector<double> x, std::vector<double> y)
{
    Set s{std::move(x), std::move(y), {}};
    std::map<std::pair<double, double>, std::int32_t> index;
    Delaunay dt;
    for (std::size_t i = 0; i < s.x.size(); ++i) {
        dt.insert(Kernel::Point_2(s.x[i], s.y[i]));
        index[{s.x[i], s.y[i]}] = static_cast<std::int32_t>(i);
    }
    for (auto f = dt.finite_faces_begin(); f != dt.finite_faces_end(); ++f)
        for (int c : {0, 2, 1}) {  // CGAL's faces run counter-clockwise
            const auto& p = f->vertex(c)->point();
            s.rows.push_back(index.at({p.x(), p.y()}));
        }
    return s;
}

Set grid(int side, double step = 1.0, double offset = 0.0)
{
    std::vector<double> x, y;
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) {
            x.push_back(offset + step * i);
            y.push_back(offset + step * j);
        }
    return triangulated(x, y);
}

Diagram diagramOf(const Set& s)
{
    return voronoiDiagram(s.x.data(), s.y.data(), static_cast<std::int32_t>(s.x.size()), s.rows.data(),
                          static_cast<std::int64_t>(s.rows.size() / 3), 2);
}

struct Cells {
    kyhost_spatial::NeighbourGraph graph;
    ClippedCells cells;
};

Cells boxCells(const Set& s, const Diagram& d, double x0, double y0, double x1, double y1)
{
    Cells c;
    const auto n = static_cast<std::int32_t>(s.x.size());
    c.graph = kyhost_spatial::pointAdjacency(s.rows.data(), static_cast<std::int64_t>(s.rows.size() / 3), n);
    CellInputs in{s.x.data(), s.y.data(), n, c.graph.start.data(), c.graph.points.data(), d.regionStart.data(),
                  d.regionVertices.data(), d.vertices.data(), nullptr};
    const double bx[4] = {x0, x1, x1, x0}, by[4] = {y0, y0, y1, y1};
    c.cells = clipCellsConvex(in, bx, by, 4, 2);
    return c;
}

}  // namespace

TEST(VoronoiDiagram, IntegerGridMergesEachSquaresTwoTrianglesIntoOneVertex)
{
    const int side = 40;
    const Set s = grid(side);
    const Diagram d = diagramOf(s);
    EXPECT_EQ(d.vertices.size() / 2, std::size_t((side - 1) * (side - 1)));
    EXPECT_EQ(d.ridgePoints.size() / 2, std::size_t(2 * side * (side - 1)));
    for (std::size_t v = 0; v < d.vertices.size(); v += 2) {
        EXPECT_EQ(d.vertices[v] - std::floor(d.vertices[v]), 0.5);
        EXPECT_EQ(d.vertices[v + 1] - std::floor(d.vertices[v + 1]), 0.5);
    }
    for (int p = 0; p < side * side; ++p) {
        const int i = p % side, j = p / side;
        const auto size = d.regionStart[p + 1] - d.regionStart[p];
        if (i > 0 && j > 0 && i < side - 1 && j < side - 1) {
            ASSERT_EQ(size, 4);
            // Counter-clockwise around the point.
            double twice = 0;
            for (int k = 0; k < 4; ++k) {
                const int a = d.regionVertices[d.regionStart[p] + k], b = d.regionVertices[d.regionStart[p] + (k + 1) % 4];
                twice += (d.vertices[2 * a] - i) * (d.vertices[2 * b + 1] - j) - (d.vertices[2 * a + 1] - j) * (d.vertices[2 * b] - i);
            }
            EXPECT_EQ(twice, 2.0);
        } else {
            EXPECT_EQ(d.regionVertices[d.regionStart[p]], -1);
        }
    }
}

TEST(VoronoiDiagram, TwelveIntegerPointsOnACircleGiveOneVertexAndTwelveRays)
{
    std::vector<double> x, y;
    for (int a = -5; a <= 5; ++a)
        for (int b = -5; b <= 5; ++b)
            if (a * a + b * b == 25) {
                x.push_back(a);
                y.push_back(b);
            }
    ASSERT_EQ(x.size(), 12u);
    const Diagram d = diagramOf(triangulated(x, y));
    ASSERT_EQ(d.vertices.size(), 2u);
    EXPECT_EQ(d.vertices[0], 0.0);
    EXPECT_EQ(d.vertices[1], 0.0);
    ASSERT_EQ(d.ridgeVertices.size(), 24u);
    for (std::size_t r = 0; r < 24; r += 2) {
        EXPECT_EQ(d.ridgeVertices[r], -1);
        EXPECT_EQ(d.ridgeVertices[r + 1], 0);
    }
    for (int p = 0; p < 12; ++p) {
        ASSERT_EQ(d.regionStart[p + 1] - d.regionStart[p], 2);
        EXPECT_EQ(d.regionVertices[d.regionStart[p]], -1);
        EXPECT_EQ(d.regionVertices[d.regionStart[p] + 1], 0);
    }
}

TEST(VoronoiDiagram, RandomPointsAtExtremeMagnitudesGiveTheRoundedRationalCentres)
{
    std::mt19937_64 random(3);
    for (int scale : {0, -990, 990}) {
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        std::vector<double> x, y;
        for (int i = 0; i < 500; ++i) {
            x.push_back(std::ldexp(unit(random), scale));
            y.push_back(std::ldexp(unit(random), scale));
        }
        const Set s = triangulated(x, y);
        const Diagram d = diagramOf(s);
        ASSERT_EQ(d.rowVertex.size(), s.rows.size() / 3);
        for (std::size_t t = 0; t < d.rowVertex.size(); ++t) {
            const std::int32_t* r = &s.rows[3 * t];
            const RationalPoint e = exactCircumcentre(x[r[0]], y[r[0]], x[r[1]], y[r[1]], x[r[2]], y[r[2]]);
            const int v = d.rowVertex[t];
            EXPECT_EQ(d.vertices[2 * v], CircumcentreWork().rounded(x[r[0]], y[r[0]], x[r[1]], y[r[1]], x[r[2]], y[r[2]]).x);
            EXPECT_NEAR(d.vertices[2 * v], e.x.get_d(), std::fabs(e.x.get_d()) * 0x1p-52);
        }
    }
}

TEST(ConvexCells, ABoxThroughTheGridsVerticesGivesUnitSquaresThatCoverIt)
{
    for (double offset : {0.0, 1e6}) {
        const int side = 20;
        const Set s = grid(side, 1.0, offset);
        const Diagram d = diagramOf(s);
        const Cells c = boxCells(s, d, offset + 2.5, offset + 3.5, offset + 12.5, offset + 9.5);
        double total = 0;
        std::map<std::pair<double, double>, int> corners;
        for (int p = 0; p < side * side; ++p) {
            const auto count = c.cells.start[p + 1] - c.cells.start[p];
            total += c.cells.area[p];
            const int i = p % side, j = p / side;
            const bool inside = i >= 3 && i <= 12 && j >= 4 && j <= 9;
            EXPECT_EQ(count, inside ? 4 : 0) << p;
            EXPECT_EQ(c.cells.area[p], inside ? 1.0 : 0.0);
            for (auto k = c.cells.start[p]; k < c.cells.start[p + 1]; ++k) ++corners[{c.cells.xy[2 * k], c.cells.xy[2 * k + 1]}];
        }
        EXPECT_EQ(total, 60.0);
        // A corner inside the box is shared by four cells, one on its side by two.
        for (const auto& [corner, uses] : corners) {
            const bool onX = corner.first == offset + 2.5 || corner.first == offset + 12.5;
            const bool onY = corner.second == offset + 3.5 || corner.second == offset + 9.5;
            EXPECT_EQ(uses, onX && onY ? 1 : (onX || onY ? 2 : 4));
        }
    }
}

TEST(ConvexCells, RandomCellsCoverABoxAndHoldTheirPoints)
{
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> x, y;
    for (int i = 0; i < 2000; ++i) {
        x.push_back(unit(random));
        y.push_back(unit(random));
    }
    const Set s = triangulated(x, y);
    const Diagram d = diagramOf(s);
    const Cells c = boxCells(s, d, 0.1, 0.2, 0.9, 0.7);
    double total = 0;
    std::map<std::pair<double, double>, int> corners;
    for (std::size_t p = 0; p < x.size(); ++p) {
        total += c.cells.area[p];
        const bool inside = x[p] >= 0.1 && x[p] <= 0.9 && y[p] >= 0.2 && y[p] <= 0.7;
        if (inside) {
            ASSERT_GT(c.cells.start[p + 1] - c.cells.start[p], 2);
        }
        for (auto k = c.cells.start[p]; k < c.cells.start[p + 1]; ++k) {
            const auto next = k + 1 == c.cells.start[p + 1] ? c.cells.start[p] : k + 1;
            // Each corner turns left seen from the cell's point (convex, ccw,
            // point inside or on the boundary when the box holds it).
            const double cross = (c.cells.xy[2 * k] - x[p]) * (c.cells.xy[2 * next + 1] - y[p]) -
                                 (c.cells.xy[2 * k + 1] - y[p]) * (c.cells.xy[2 * next] - x[p]);
            if (inside) {
                EXPECT_GE(cross, 0.0);
            }
            ++corners[{c.cells.xy[2 * k], c.cells.xy[2 * k + 1]}];
        }
    }
    EXPECT_NEAR(total, 0.8 * 0.5, 1e-12);
    // Inside the box every corner belongs to at least three cells (two on
    // its sides): a corner seen once would be a gap or an overlap.
    for (const auto& [corner, uses] : corners) {
        const bool side = corner.first == 0.1 || corner.first == 0.9 || corner.second == 0.2 || corner.second == 0.7;
        EXPECT_GE(uses, side ? 1 : 3) << corner.first << " " << corner.second;
    }
}

TEST(ConvexCells, RefusesClipsThatAreNotConvexCounterClockwisePolygons)
{
    const Set s = grid(4);
    const Diagram d = diagramOf(s);
    const auto graph = kyhost_spatial::pointAdjacency(s.rows.data(), static_cast<std::int64_t>(s.rows.size() / 3), 16);
    CellInputs in{s.x.data(), s.y.data(), 16, graph.start.data(), graph.points.data()};
    const double cwX[4] = {0, 0, 1, 1}, cwY[4] = {0, 1, 1, 0};
    EXPECT_THROW(clipCellsConvex(in, cwX, cwY, 4), std::invalid_argument);
    const double flatX[3] = {0, 1, 2}, flatY[3] = {0, 1, 2};
    EXPECT_THROW(clipCellsConvex(in, flatX, flatY, 3), std::invalid_argument);
    const double starX[5] = {1, -0.81, 0.31, 0.31, -0.81}, starY[5] = {0, 0.59, -0.95, 0.95, -0.59};
    EXPECT_THROW(clipCellsConvex(in, starX, starY, 5), std::invalid_argument);
    const double nanX[3] = {0, 1, NAN}, nanY[3] = {0, 0, 1};
    EXPECT_THROW(clipCellsConvex(in, nanX, nanY, 3), std::invalid_argument);
}

TEST(PolygonCells, AGridInASquareWithASquareHoleGivesUnitCellsAndRingsAroundTheHole)
{
    // Points at the centres of unit squares of [0, 10]^2; the clip is the
    // square [0, 10]^2 with the hole [3, 7] x [4, 6] given clockwise, plus a
    // concave notch: every cell is its unit square minus the hole's part.
    std::vector<double> x, y;
    for (int j = 0; j < 10; ++j)
        for (int i = 0; i < 10; ++i) {
            x.push_back(i + 0.5);
            y.push_back(j + 0.5);
        }
    const Set s = triangulated(x, y);
    const Diagram d = diagramOf(s);
    const auto graph = kyhost_spatial::pointAdjacency(s.rows.data(), static_cast<std::int64_t>(s.rows.size() / 3), 100);
    CellInputs in{s.x.data(), s.y.data(), 100, graph.start.data(), graph.points.data(), d.regionStart.data(),
                  d.regionVertices.data(), d.vertices.data(), nullptr};
    const double rx[] = {0, 10, 10, 5, 0, /* hole */ 3, 3, 7, 7};
    const double ry[] = {0, 0, 10, 8.5, 10, 4, 6, 6, 4};
    const std::int64_t ringStart[] = {0, 5, 9};
    const PolygonCells c = clipCellsToPolygon(in, rx, ry, ringStart, 2, 2);
    double total = 0;
    for (int p = 0; p < 100; ++p) total += c.area[p];
    EXPECT_NEAR(total, 100.0 - 8.0 - 2 * 5 * 1.5 / 2, 1e-12);
    // Each cell is one polygon without holes (the hole's sides run along
    // cell boundaries); cells inside the hole are empty. (The notch cuts
    // the top rows.)
    for (int p = 0; p < 100; ++p) {
        const int i = p % 10, j = p / 10;
        const bool inHole = i >= 3 && i <= 6 && j >= 4 && j <= 5;
        if (j < 8) {
            ASSERT_EQ(c.cellStart[p + 1] - c.cellStart[p], inHole ? 0 : 1) << p;
        }
        if (!inHole && j < 8) {
            EXPECT_NEAR(c.area[p], 1.0, 1e-15);
        }
    }
}

TEST(PolygonCells, ACellAroundAHoleKeepsTheHoleAndCellsSplitByItHaveTwoPieces)
{
    // Four points far apart: the clip [-1, 1]^2 with the hole [-0.5, 0.5]^2
    // lies inside one cell, which keeps the hole; a bar across splits two.
    const Set s = triangulated({0.0, 100.0, 0.0, -100.0}, {0.0, 0.0, 100.0, -50.0});
    const Diagram d = diagramOf(s);
    const auto graph = kyhost_spatial::pointAdjacency(s.rows.data(), static_cast<std::int64_t>(s.rows.size() / 3), 4);
    CellInputs in{s.x.data(), s.y.data(), 4, graph.start.data(), graph.points.data(), d.regionStart.data(),
                  d.regionVertices.data(), d.vertices.data(), nullptr};
    const double rx[] = {-1, 1, 1, -1, -0.5, -0.5, 0.5, 0.5};
    const double ry[] = {-1, -1, 1, 1, -0.5, 0.5, 0.5, -0.5};
    const std::int64_t ringStart[] = {0, 4, 8};
    const PolygonCells c = clipCellsToPolygon(in, rx, ry, ringStart, 2);
    ASSERT_EQ(c.cellStart[1] - c.cellStart[0], 1);
    EXPECT_EQ(c.polygonStart[1] - c.polygonStart[0], 2);  // the exterior and the hole
    EXPECT_EQ(c.area[0], 3.0);
    for (int p = 1; p < 4; ++p) EXPECT_EQ(c.cellStart[p + 1] - c.cellStart[p], 0);
}
