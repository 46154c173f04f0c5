// The exact containment of closed circumdisks in open cells, against an
// independent exact computation of the circle (CGAL's exact constructions).
#include <gtest/gtest.h>

#include <CGAL/Exact_predicates_exact_constructions_kernel.h>
#include <CGAL/FPU.h>

#include <cmath>
#include <random>

#include "disk_containment.hpp"

namespace {

using Exact = CGAL::Exact_predicates_exact_constructions_kernel;

// The closed disk lies in the open cell: on every finite side the centre is
// farther than the radius.
bool oracle(const tiling::Cell& c, double ax, double ay, double bx, double by, double cx, double cy)
{
    const Exact::Point_2 a(ax, ay), b(bx, by), p(cx, cy);
    if (CGAL::collinear(a, b, p)) return false;
    const Exact::Point_2 centre = CGAL::circumcenter(a, b, p);
    const Exact::FT r2 = CGAL::squared_distance(centre, a);
    const auto beyond = [&](const Exact::FT& gap) { return gap > 0 && gap * gap > r2; };
    return (std::isinf(c.xmin) || beyond(centre.x() - c.xmin)) && (std::isinf(c.xmax) || beyond(c.xmax - centre.x())) &&
           (std::isinf(c.ymin) || beyond(centre.y() - c.ymin)) && (std::isinf(c.ymax) || beyond(c.ymax - centre.y()));
}

bool inside(const tiling::Cell& c, double ax, double ay, double bx, double by, double cx, double cy)
{
    const CGAL::Protect_FPU_rounding<true> upwards;
    return tiling::diskInsideOpenCell(c, ax, ay, bx, by, cx, cy);
}

const double inf = std::numeric_limits<double>::infinity();

TEST(DiskContainment, ATouchingDiskIsNotInside)
{
    // The circle of radius 1 about (19, 0) touches x = 20 at (20, 0).
    const tiling::Cell cell{-inf, -inf, 20, inf};
    EXPECT_FALSE(inside(cell, 18, 0, 19, 1, 19, -1));
    EXPECT_TRUE(inside(tiling::Cell{-inf, -inf, std::nextafter(20.0, 21.0), inf}, 18, 0, 19, 1, 19, -1));
    // The same about (0, 0) against each side in turn.
    EXPECT_FALSE(inside({-1, -inf, inf, inf}, 1, 0, 0, 1, 0, -1));
    EXPECT_FALSE(inside({-inf, -1, inf, inf}, 1, 0, 0, 1, -1, 0));
    EXPECT_FALSE(inside({-inf, -inf, inf, 1}, 1, 0, 0, -1, -1, 0));
    EXPECT_TRUE(inside({-1.5, -1.5, 1.5, 1.5}, 1, 0, 0, 1, -1, 0));
    EXPECT_FALSE(inside({-1.5, -1.5, 1.5, 1.5}, 0, 0, 1, 1, 2, 2));  // collinear: no disk
}

TEST(DiskContainment, NearTangentDisksAtLargeOffsetsMatchTheExactCircle)
{
    // Triangles whose circles pass within a few units in the last place of
    // the cell's side, far from the origin: double arithmetic alone cannot
    // tell these apart.
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> angle(0.3, 2.8);
    int insideCount = 0, outsideCount = 0;
    for (int k = 0; k < 4000; ++k) {
        const double offset = std::ldexp(1.0, 20 + k % 26), r = 1 + k % 7;
        const double side = offset - r;  // the circle about (offset, 0) touches x = side
        const double t1 = angle(random), t2 = -angle(random), t3 = angle(random) + 3.3;
        const double ax = offset + r * std::cos(t1), ay = r * std::sin(t1);
        const double bx = offset + r * std::cos(t2), by = r * std::sin(t2);
        const double cx = offset + r * std::cos(t3), cy = r * std::sin(t3);
        const double xmin = std::nextafter(side, (k & 1) ? inf : -inf);
        const tiling::Cell cell{xmin, -inf, inf, inf};
        if (!(ax > xmin && bx > xmin && cx > xmin)) continue;
        const bool expected = oracle(cell, ax, ay, bx, by, cx, cy);
        ASSERT_EQ(inside(cell, ax, ay, bx, by, cx, cy), expected) << "case " << k;
        ++(expected ? insideCount : outsideCount);
    }
    EXPECT_GT(insideCount, 100);
    EXPECT_GT(outsideCount, 100);
}

TEST(DiskContainment, CirclesExactlyTouchingASideThroughLargeIntegerPoints)
{
    // The 180 integer points of the circle of radius 5525, scaled by 3^10:
    // exact doubles exactly on a circle of radius R, with products too long
    // for doubles. Every side at distance R from the centre touches it.
    const long m = 59049, r = 5525, R = r * m;
    std::vector<std::pair<double, double>> on;
    for (long a = -r; a <= r; ++a) {
        const long b2 = r * r - a * a, b = std::lround(std::sqrt(static_cast<double>(b2)));
        if (b * b != b2) continue;
        on.emplace_back(static_cast<double>(a * m), static_cast<double>(b * m));
        if (b != 0) on.emplace_back(static_cast<double>(a * m), static_cast<double>(-b * m));
    }
    ASSERT_EQ(on.size(), 180u);
    std::mt19937_64 random(3);
    std::uniform_int_distribution<std::size_t> pick(0, on.size() - 1);
    const double Rd = static_cast<double>(R);
    int touching = 0;
    for (int k = 0; k < 3000; ++k) {
        const auto& [ax, ay] = on[pick(random)];
        const auto& [bx, by] = on[pick(random)];
        const auto& [cx, cy] = on[pick(random)];
        const double gap = (k % 3) - 1.0;  // the side just outside, on, or just inside the circle
        for (const tiling::Cell& cell : {tiling::Cell{-Rd - gap, -inf, inf, inf}, tiling::Cell{-inf, -Rd - gap, inf, inf},
                                         tiling::Cell{-inf, -inf, Rd + gap, inf}, tiling::Cell{-inf, -inf, inf, Rd + gap}}) {
            if (!(cell.xmin <= std::min({ax, bx, cx}) && cell.ymin <= std::min({ay, by, cy}) &&
                  std::max({ax, bx, cx}) < cell.xmax && std::max({ay, by, cy}) < cell.ymax))
                continue;
            const bool expected = oracle(cell, ax, ay, bx, by, cx, cy);
            ASSERT_EQ(inside(cell, ax, ay, bx, by, cx, cy), expected) << "case " << k;
            touching += gap == 0;
        }
    }
    EXPECT_GT(touching, 1000);
}

TEST(DiskContainment, TinyAndHugeCoordinatesAreDecidedExactly)
{
    for (const double s : {1e-300, 1e-160, 1e160, 1e300}) {
        const tiling::Cell cell{-1.5 * s, -1.5 * s, 1.5 * s, 1.5 * s};
        EXPECT_TRUE(inside(cell, s, 0, 0, s, -s, 0)) << s;
        EXPECT_FALSE(inside({-s, -inf, inf, inf}, s, 0, 0, s, 0, -s)) << s;  // touches x = -s
        EXPECT_EQ(inside(cell, 1.4 * s, 0, 0, 0.1 * s, -0.2 * s, 0), oracle(cell, 1.4 * s, 0, 0, 0.1 * s, -0.2 * s, 0)) << s;
    }
    // A tiny triangle beside a huge side, and a huge one beside a tiny cell.
    EXPECT_TRUE(inside({-1e300, -1e300, 1e300, 1e300}, 1e-300, 0, 0, 1e-300, -1e-300, 0));
    EXPECT_FALSE(inside({-1e-300, -1e-300, 1e300, 1e300}, 1e300, 0, 0, 1e300, 1e299, 1e299));
}

TEST(DiskContainment, NearTangentDisksAtTheEdgesOfTheDoubleFiltersRange)
{
    // The near-tangent circles above scaled by powers of two (exactly) to
    // just inside and just outside the magnitudes the plain-double filter
    // takes, and sides a few units in the last place from the circle: the
    // filter must leave every one it cannot decide to the exact steps.
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> angle(0.3, 2.8);
    for (const int scale : {-140, -101, -99, -60, 0, 60, 99, 101, 140}) {
        int insideCount = 0, outsideCount = 0;
        for (int k = 0; k < 1500; ++k) {
            const double offset = std::ldexp(1.0, 10 + k % 30), r = 1 + k % 5;
            const double t1 = angle(random), t2 = -angle(random), t3 = angle(random) + 3.3;
            const auto at = [&](double v) { return std::ldexp(v, scale); };
            const double ax = at(offset + r * std::cos(t1)), ay = at(r * std::sin(t1));
            const double bx = at(offset + r * std::cos(t2)), by = at(r * std::sin(t2));
            const double cx = at(offset + r * std::cos(t3)), cy = at(r * std::sin(t3));
            double side = at(offset - r);
            for (int step = 0; step < k % 4; ++step) side = std::nextafter(side, (k & 4) ? inf : -inf);
            const tiling::Cell cell = (k & 8) ? tiling::Cell{side, -inf, inf, inf} : tiling::Cell{-inf, side, inf, inf};
            const bool ySide = !(k & 8);
            // Turned a quarter for the y sides: (x, y) -> (y, x).
            const double px = ySide ? ay : ax, py = ySide ? ax : ay, qx = ySide ? by : bx, qy = ySide ? bx : by;
            const double sx = ySide ? cy : cx, sy = ySide ? cx : cy;
            if (!(cell.xmin <= std::min({px, qx, sx}) && cell.ymin <= std::min({py, qy, sy}))) continue;
            const bool expected = oracle(cell, px, py, qx, qy, sx, sy);
            ASSERT_EQ(inside(cell, px, py, qx, qy, sx, sy), expected) << "scale " << scale << " case " << k;
            ++(expected ? insideCount : outsideCount);
        }
        EXPECT_GT(insideCount, 50) << scale;
        EXPECT_GT(outsideCount, 50) << scale;
    }
}

}  // namespace
