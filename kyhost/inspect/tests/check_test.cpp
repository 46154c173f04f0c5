// The exact check: passes every Delaunay triangulation CGAL builds, names
// each kind of fault in hand-built triangulations, and gives the same
// verdict on the same shapes scaled near 1e-300 and 1e300.
#include <gtest/gtest.h>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>

#include "check_report.hpp"
#include "exact_geometry.hpp"
#include "triangulation_check.hpp"

namespace ky::inspect {
namespace {

// CGAL's Delaunay triangulation, the oracle, on the kernel of the exact predicates.
using Kernel = ky::geometry::ExactKernel;
using Point = Kernel::Point_2;

using Rows = std::vector<std::array<double, 3>>;

struct Case {
    std::vector<double> x, y;
    Rows rows;
};

std::vector<double> columnMajor(const Rows& rows)
{
    std::vector<double> tri(3 * rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t k = 0; k < 3; ++k) tri[k * rows.size() + r] = rows[r][k];
    return tri;
}

CheckReport check(const Case& c, RowOrientation orientation = RowOrientation::Clockwise)
{
    const std::vector<double> tri = columnMajor(c.rows);
    return checkTriangulation({c.x.data(), c.y.data(), c.x.size()}, {tri.data(), c.rows.size()}, orientation);
}

// The same rows run the other way.
Case mirrored(Case c)
{
    for (auto& row : c.rows) std::swap(row[1], row[2]);
    return c;
}

Case scaled(Case c, int exponent)
{
    for (double& v : c.x) v = std::ldexp(v, exponent);
    for (double& v : c.y) v = std::ldexp(v, exponent);
    return c;
}

// CGAL's Delaunay triangulation, rows turned clockwise, 1-based.
Rows cgalRows(const std::vector<double>& x, const std::vector<double>& y)
{
    using Vertex = CGAL::Triangulation_vertex_base_with_info_2<int, Kernel>;
    using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, CGAL::Triangulation_data_structure_2<Vertex>>;
    std::vector<std::pair<Point, int>> points;
    for (std::size_t i = 0; i < x.size(); ++i) points.emplace_back(Point(x[i], y[i]), static_cast<int>(i) + 1);
    const Delaunay dt(points.begin(), points.end());
    Rows rows;
    for (auto f = dt.finite_faces_begin(); f != dt.finite_faces_end(); ++f)
        rows.push_back({double(f->vertex(0)->info()), double(f->vertex(2)->info()), double(f->vertex(1)->info())});
    return rows;
}

// A 3-by-3 grid (point 5 in the middle), split into clockwise triangles:
// points on hull edges, four cocircular points in every cell.
Case grid()
{
    Case c{{0, 1, 2, 0, 1, 2, 0, 1, 2}, {0, 0, 0, 1, 1, 1, 2, 2, 2}, {}};
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
            const double a = 1 + i + 3 * j, b = a + 1, d = a + 3, e = a + 4;  // a b lower, d e upper
            c.rows.push_back({a, d, b});
            c.rows.push_back({b, d, e});
        }
    return c;
}

// Four points: the short diagonal 1-3 is Delaunay, 2-4 is not.
Case kite() { return {{0, 10, 20, 10}, {10, 0, 10, 100}, {{1, 3, 2}, {1, 4, 3}}}; }

TEST(Check, PassesDelaunayTriangulationsAtEveryScale)
{
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> unit(0, 1);
    Case random500;
    for (int i = 0; i < 500; ++i) {
        random500.x.push_back(unit(random));
        random500.y.push_back(unit(random));
    }
    random500.rows = cgalRows(random500.x, random500.y);
    for (const Case& c : {random500, grid(), kite()})
        for (int exponent : {0, -997, 997}) {
            const CheckReport report = check(scaled(c, exponent));
            EXPECT_TRUE(report.isDelaunay()) << exponent << "\n" << verdictLine(report);
        }
    const CheckReport report = check(grid());
    EXPECT_EQ(report.hullBoundaryPoints, 8u);
    EXPECT_EQ(report.hullCorners, 4u);
    EXPECT_EQ(report.hullArea, "4");
}

TEST(Check, NearlyCocircularPointsAreDecidedExactlyAtExtremeScales)
{
    // The fourth point lies a hair outside (then inside) the circle through
    // the other three: the in-circle determinant's terms over- or underflow
    // in doubles near 1e300 and 1e-300, the exact predicate still decides.
    const double hair = std::ldexp(1.0, -50);
    for (int exponent : {0, -997, 997}) {
        Case outside{{0, 1, 1 + hair, 0}, {0, 0, 1, 1}, {{1, 4, 2}, {2, 4, 3}}};
        EXPECT_TRUE(check(scaled(outside, exponent)).isDelaunay()) << exponent;
        Case inside{{0, 1, 1 - hair, 0}, {0, 0, 1, 1}, {{1, 4, 2}, {2, 4, 3}}};
        const CheckReport report = check(scaled(inside, exponent));
        EXPECT_TRUE(report.isTriangulation()) << exponent;
        EXPECT_EQ(report.nonDelaunayEdges.size(), 1u) << exponent;
    }
}

TEST(Check, NamesEachKindOfFault)
{
    Case c = grid();
    c.rows.erase(c.rows.begin());  // a hole at the corner
    CheckReport r = check(c);
    EXPECT_EQ(r.areaComparison, -1);
    EXPECT_EQ(r.uncoveredHullEdges.size(), 2u);
    EXPECT_EQ(r.strayBoundaryEdges.size(), 1u);
    EXPECT_FALSE(r.isTriangulation());

    c = grid();
    c.rows.erase(c.rows.begin() + 1);  // a hole inside, at the middle point
    r = check(c);
    EXPECT_EQ(r.areaComparison, -1);
    EXPECT_EQ(r.strayBoundaryEdges.size(), 3u);
    EXPECT_TRUE(r.uncoveredHullEdges.empty());

    c = grid();
    c.rows.push_back({1, 7, 3});  // an overlap: a big triangle over the lower half
    r = check(c);
    EXPECT_EQ(r.areaComparison, 1);
    EXPECT_FALSE(r.isTriangulation());

    c = grid();
    std::swap(c.rows[2][0], c.rows[2][1]);  // a flipped row
    r = check(c);
    ASSERT_EQ(r.misorientedRows.size(), 1u);
    EXPECT_EQ(r.misorientedRows[0], 2);
    EXPECT_FALSE(r.repeatedEdges.empty());

    c = grid();
    c.x.push_back(0.5);  // a tenth point in no row, inside the first row
    c.y.push_back(0.25);
    r = check(c);
    EXPECT_EQ(r.unusedPoints, std::vector<std::int32_t>{9});
    EXPECT_EQ(r.areaComparison, 0);

    c = grid();
    c.rows[3][2] = 10;  // out of range
    c.rows[4][0] = 2.5;  // not a whole number
    c.rows[5][1] = NAN;
    r = check(c);
    EXPECT_EQ(r.badIndexRows, (std::vector<std::int32_t>{3, 4, 5}));

    c = grid();
    c.rows[0] = {1, 1, 2};
    EXPECT_EQ(check(c).repeatedCornerRows, std::vector<std::int32_t>{0});

    r = check({kite().x, kite().y, {{2, 1, 4}, {2, 4, 3}}});  // the long diagonal
    EXPECT_TRUE(r.isTriangulation());
    EXPECT_FALSE(r.isDelaunay());
    ASSERT_EQ(r.nonDelaunayEdges.size(), 1u);
    EXPECT_EQ(std::make_pair(r.nonDelaunayEdges[0].u, r.nonDelaunayEdges[0].v), std::make_pair(1, 3));
    EXPECT_EQ(verdictLine(r), "invalid: a triangulation of the 4 points, but not Delaunay (1 edge not locally Delaunay)");
}

TEST(Check, RowsThatOverlapAndLeaveAnEqualHoleAreCaught)
{
    // Both rows cover the lower right half of the square: the areas add up
    // to the square's, but the boundary does not match the hull.
    const Case c{{0, 1, 0, 1}, {0, 0, 1, 1}, {{1, 4, 2}, {1, 4, 2}}};
    const CheckReport r = check(c);
    EXPECT_EQ(r.areaComparison, 0);
    EXPECT_FALSE(r.isTriangulation());
    EXPECT_FALSE(r.repeatedEdges.empty());
    EXPECT_FALSE(r.uncoveredHullEdges.empty());
}

TEST(Check, FewPointsOrOneLineHaveNoTriangles)
{
    for (const Case& c : {Case{{}, {}, {}}, Case{{1}, {2}, {}}, Case{{0, 1}, {0, 1}, {}},
                          Case{{0, 1, 2, 3}, {0, 2, 4, 6}, {}}}) {
        const CheckReport r = check(c);
        EXPECT_TRUE(r.isDelaunay());
        EXPECT_FALSE(r.hullHasArea);
        EXPECT_EQ(verdictLine(r).rfind("valid: no triangles", 0), 0u);
    }
    const CheckReport flat = check({{0, 1, 2}, {0, 0, 0}, {{1, 2, 3}}});
    EXPECT_EQ(flat.flatRows.size(), 1u);
    EXPECT_FALSE(flat.isTriangulation());
}

TEST(Check, RepeatedPointsAreAFault)
{
    Case c = grid();
    c.x.push_back(1);
    c.y.push_back(1);
    const CheckReport r = check(c);
    EXPECT_EQ(r.repeatedPoints, std::vector<std::int32_t>{9});
    EXPECT_TRUE(r.unusedPoints.empty());
    EXPECT_FALSE(r.isTriangulation());
    EXPECT_FALSE(check({{3, 3}, {4, 4}, {}}).isTriangulation());
}

TEST(Check, RefusesCoordinatesThatAreNotFinite)
{
    Case c = grid();
    c.y[4] = INFINITY;
    EXPECT_THROW(check(c), std::invalid_argument);
}

TEST(Check, RowsRunTheWayAskedAndEitherFindsTheWayMostRowsRun)
{
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> unit(0, 1);
    Case clockwise;
    for (int i = 0; i < 300; ++i) {
        clockwise.x.push_back(unit(random));
        clockwise.y.push_back(unit(random));
    }
    clockwise.rows = cgalRows(clockwise.x, clockwise.y);
    const Case counterClockwise = mirrored(clockwise);
    using enum RowOrientation;
    for (const auto& [c, asked, valid, found] :
         {std::tuple{clockwise, Clockwise, true, Clockwise}, std::tuple{counterClockwise, Clockwise, false, Clockwise},
          std::tuple{counterClockwise, CounterClockwise, true, CounterClockwise},
          std::tuple{clockwise, CounterClockwise, false, CounterClockwise}, std::tuple{clockwise, Either, true, Clockwise},
          std::tuple{counterClockwise, Either, true, CounterClockwise}}) {
        const CheckReport r = check(c, asked);
        EXPECT_EQ(r.isDelaunay(), valid) << orientationText(asked) << " " << verdictLine(r);
        EXPECT_EQ(r.orientation, found);
        EXPECT_EQ(r.misorientedRows.size(), valid ? 0u : c.rows.size());
    }

    // Faults of counter-clockwise rows are those of the clockwise rows they
    // mirror, directed edges named as the rows hold them.
    Case c = mirrored(grid());
    std::swap(c.rows[2][1], c.rows[2][2]);  // one row clockwise among counter-clockwise ones
    CheckReport r = check(c, Either);
    EXPECT_EQ(r.orientation, CounterClockwise);
    EXPECT_EQ(r.misorientedRows, std::vector<std::int32_t>{2});
    ASSERT_FALSE(r.repeatedEdges.empty());
    for (const EdgeFault& e : r.repeatedEdges)  // held u -> v by both rows
        for (std::int32_t row : {e.row, e.otherRow}) {
            const auto& corners = c.rows[static_cast<std::size_t>(row)];
            bool held = false;
            for (int k = 0; k < 3; ++k) held |= corners[k] == e.u + 1 && corners[(k + 1) % 3] == e.v + 1;
            EXPECT_TRUE(held) << e.u << "->" << e.v << " row " << row;
        }
    c = mirrored(grid());
    c.rows.erase(c.rows.begin());  // a hole at the corner: hull edges 1 -> 2 and 4 -> 1 uncovered
    r = check(c, CounterClockwise);
    EXPECT_EQ(r.areaComparison, -1);
    std::vector<std::pair<int, int>> uncovered;
    for (const EdgeFault& e : r.uncoveredHullEdges) uncovered.emplace_back(e.u, e.v);
    std::sort(uncovered.begin(), uncovered.end());
    EXPECT_EQ(uncovered, (std::vector<std::pair<int, int>>{{0, 1}, {3, 0}}));
    r = check(mirrored({kite().x, kite().y, {{2, 1, 4}, {2, 4, 3}}}), Either);  // the long diagonal
    EXPECT_TRUE(r.isTriangulation());
    EXPECT_EQ(r.nonDelaunayEdges.size(), 1u);
    // As many rows each way: clockwise, the plug-ins' way.
    Case tie = grid();
    for (std::size_t k = 0; k < 4; ++k) std::swap(tie.rows[k][1], tie.rows[k][2]);
    EXPECT_EQ(check(tie, Either).orientation, Clockwise);
    EXPECT_EQ(check(tie, Either).misorientedRows.size(), 4u);
}

TEST(Check, ReportCountsFromTheBaseOfTriAndSaysTheOrientationFound)
{
    Case c = mirrored(grid());
    for (auto& row : c.rows)
        for (double& corner : row) corner -= 1;  // 0-based
    c.rows[1][2] = 9;
    std::vector<double> tri = columnMajor(c.rows);
    const TriangleRows rows{tri.data(), c.rows.size(), 0};
    std::ostringstream out;
    writeCheckReport(out, checkTriangulation({c.x.data(), c.y.data(), 9}, rows, RowOrientation::Either), rows);
    EXPECT_NE(out.str().find("FAIL  rows with an index that is not a whole number from 0 to 8: 1: row 1 (1,4,9)\n"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("ok    no row clockwise: the rows run counter-clockwise (either way is accepted)\n"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find(": 3: edge 1-3 (row 0), edge 4-1 (row 2)"), std::string::npos) << out.str();  // 0-based, as held
}

TEST(Check, ReportListsTheFirstOffendersOneBased)
{
    Case c = grid();
    for (auto& row : c.rows) std::swap(row[0], row[1]);
    std::ostringstream out;
    std::vector<double> tri = columnMajor(c.rows);
    const TriangleRows rows{tri.data(), c.rows.size()};
    writeCheckReport(out, checkTriangulation({c.x.data(), c.y.data(), 9}, rows), rows);
    EXPECT_NE(out.str().find("FAIL  rows counter-clockwise: 8: row 1 (4,1,2), row 2 (4,2,5), row 3 (5,2,3), "
                             "row 4 (5,3,6), row 5 (7,4,5), ...\n"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("\ninvalid: not a triangulation of the 9 points"), std::string::npos);
}

}  // namespace
}  // namespace ky::inspect
