// The insertion triangulator against CGAL's Delaunay_triangulation_2: the
// same triangles on every set, above all on cocircular ones, where only the
// symbolic perturbation decides which diagonals are kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <set>
#include <vector>

#include "incremental_delaunay.hpp"
#include "call_context.hpp"
#include "point_families.hpp"
#include "triangulation_checks.hpp"

namespace sweeptri {
namespace {

using testing::PointSet;
using testing::Row;

// The mesh's finite triangles, clockwise and canonical, sorted (the form
// of testing::cgalDelaunay); also checks that each runs counter-clockwise.
std::vector<Row> insertedTriangles(const PointSet& set)
{
    ky::CallScope call([](const std::string&) {});
    std::vector<ExactPoint> points;
    for (std::size_t i = 0; i < set.x.size(); ++i) points.emplace_back(set.x[i], set.y[i]);
    const IncrementalDelaunay mesh(points.data(), static_cast<std::int32_t>(points.size()));
    std::vector<Row> rows;
    for (std::int32_t t = 0; t < mesh.slots(); ++t) {
        if (!mesh.isFinite(t)) continue;
        const std::int32_t* c = mesh.corners(t);
        EXPECT_EQ(CGAL::orientation(mesh.point(c[0]), mesh.point(c[1]), mesh.point(c[2])), CGAL::LEFT_TURN);
        rows.push_back(testing::canonical(Row{mesh.number(c[0]) + 1, mesh.number(c[2]) + 1, mesh.number(c[1]) + 1}));
    }
    EXPECT_EQ(static_cast<std::int32_t>(rows.size()), mesh.finiteCount());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void expectSameAsCgal(const PointSet& set)
{
    SCOPED_TRACE(set.name);
    EXPECT_EQ(insertedTriangles(set), testing::cgalDelaunay(set.x, set.y));
}

PointSet withoutRepeats(PointSet set)
{
    std::set<std::pair<double, double>> seen;
    PointSet unique{set.name, {}, {}};
    for (std::size_t i = 0; i < set.x.size(); ++i)
        if (seen.insert({set.x[i], set.y[i]}).second) {
            unique.x.push_back(set.x[i]);
            unique.y.push_back(set.y[i]);
        }
    return unique;
}

TEST(IncrementalDelaunay, CocircularSetsKeepCgalsDiagonals)
{
    std::vector<PointSet> sets;
    PointSet grid{"integer grid", {}, {}};
    for (int i = 0; i < 40; ++i)
        for (int j = 0; j < 40; ++j) {
            grid.x.push_back(i);
            grid.y.push_back(j);
        }
    sets.push_back(grid);
    // Every integer point on circles of radius 5, 25 and 65 about one
    // centre (12, 28 and 36 points on each: many exactly cocircular).
    PointSet circles{"integer circles", {}, {}};
    for (const int r : {5, 25, 65})
        for (int a = -r; a <= r; ++a)
            for (int b = -r; b <= r; ++b)
                if (a * a + b * b == r * r) {
                    circles.x.push_back(a);
                    circles.y.push_back(b);
                }
    sets.push_back(circles);
    std::mt19937 random(5);
    PointSet small{"small integers", {}, {}};
    for (int i = 0; i < 3000; ++i) {
        small.x.push_back(static_cast<double>(random() % 24));
        small.y.push_back(static_cast<double>(random() % 24));
    }
    sets.push_back(withoutRepeats(small));
    PointSet ring{"one circle", {}, {}};
    for (int i = 0; i < 2000; ++i) {
        ring.x.push_back(std::cos(2 * std::numbers::pi * i / 2000));
        ring.y.push_back(std::sin(2 * std::numbers::pi * i / 2000));
    }
    sets.push_back(ring);
    for (const PointSet& set : sets) expectSameAsCgal(set);
}

TEST(IncrementalDelaunay, LinesAndHullsOfCollinearPoints)
{
    // Collinear points come first in the insertion order of some of these:
    // the first triangle waits for a point off their line.
    PointSet square{"square outline and centre", {}, {}};
    for (int i = 0; i < 50; ++i) {
        for (const auto& [px, py] : {std::pair{i, 0}, std::pair{50, i}, std::pair{50 - i, 50}, std::pair{0, 50 - i}}) {
            square.x.push_back(px);
            square.y.push_back(py);
        }
    }
    square.x.push_back(25.5);
    square.y.push_back(24.5);
    expectSameAsCgal(square);

    PointSet line{"line and one point", {}, {}};
    for (int i = 0; i < 500; ++i) {
        line.x.push_back(i * 0.125);
        line.y.push_back(0.5);
    }
    line.x.push_back(3.0);
    line.y.push_back(7.0);
    expectSameAsCgal(line);

    PointSet onlyLine{"all on one line", {}, {}};
    for (int i = 0; i < 100; ++i) {
        onlyLine.x.push_back(i);
        onlyLine.y.push_back(2 * i + 1);
    }
    EXPECT_TRUE(insertedTriangles(onlyLine).empty());
    EXPECT_TRUE(insertedTriangles(PointSet{"two", {0, 1}, {0, 1}}).empty());
    expectSameAsCgal(PointSet{"three", {0, 1, 0}, {0, 0, 1}});
    expectSameAsCgal(PointSet{"three clockwise", {0, 0, 1}, {0, 1, 0}});
}

TEST(IncrementalDelaunay, FamiliesAndHardShapesMatchCgal)
{
    for (const PointSet& set : testing::families(30)) expectSameAsCgal(withoutRepeats(set));
    for (const PointSet& set : testing::hardShapes(testing::hardShapeSize / 4, 3)) expectSameAsCgal(set);
    // Sixty orders of magnitude and a half line: the order of insertion
    // neither walks nor digs far, and the triangles are still CGAL's.
    std::mt19937_64 random(9);
    std::lognormal_distribution<double> wide(0.0, 30.0);
    PointSet lognormal{"lognormal, sigma 30", {}, {}};
    for (int i = 0; i < 5000; ++i) {
        lognormal.x.push_back(wide(random));
        lognormal.y.push_back(wide(random));
    }
    expectSameAsCgal(withoutRepeats(lognormal));
    // Products that overflow or vanish in double: the rough walk's signs
    // fail there, and the exact walk must still find every point.
    PointSet extremes{"near 1e300 and 1e-300", {}, {}};
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 300; ++i) {
        const double scale = i % 3 == 0 ? 1e300 : i % 3 == 1 ? 1e-300 : 1.0;
        extremes.x.push_back(scale * unit(random));
        extremes.y.push_back(scale * unit(random));
    }
    expectSameAsCgal(withoutRepeats(extremes));
}

}  // namespace
}  // namespace sweeptri
