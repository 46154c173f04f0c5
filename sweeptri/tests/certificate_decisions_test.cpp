// The certificate's verdict on rows and edge ends reported as the sweep
// reports them, for a right triangulation and for each kind of fault a
// broken sweep can produce; and the recomputation that replaces a result
// that does not certify: exact, in its documented order, deterministic.
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numbers>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "beach_line.hpp"
#include "delaunay_repair.hpp"
#include "exact_recompute.hpp"
#include "call_context.hpp"
#include "exact_predicates.hpp"
#include "hull_cycle.hpp"
#include "record_pool.hpp"
#include "result_certificate.hpp"
#include "site_order.hpp"
#include "sweep_core_calls.hpp"
#include "sweep_driver.hpp"
#include "sweep_geometry.hpp"
#include "triangulation_check.hpp"
#include "triangulation_checks.hpp"

namespace sweeptri {
namespace {

using testing::hullOf;

enum class Fault { None, DroppedSide, EndSetTwice, CounterClockwiseRow };

// Reports the rows (0-based corners, clockwise unless the fault says
// otherwise) to the certificate as a sweep would: each row, then one end on
// the edge of each of its sides; edges left with one end stay in the beach
// line. Returns the verdict.
class CertificateVerdict : public ::testing::Test {
protected:
    ky::CallScope call{[](const std::string&) {}};

    // hullRunsBackwards hands the certificate the hull's points in the
    // wrong order, as a sweep whose rows leave other sides open would.
    bool verdict(const std::vector<std::array<double, 2>>& points, const std::vector<std::array<int, 3>>& rows,
                 Fault fault, bool hullRunsBackwards = false)
    {
        const auto n = static_cast<std::int32_t>(points.size());
        std::vector<Site> sites(points.size());
        for (std::int32_t i = 0; i < n; ++i) sites[static_cast<std::size_t>(i)] = Site{points[i][0], points[i][1], i, 0};
        std::vector<Site> ordered = sites;
        std::sort(ordered.begin(), ordered.end(), [](const Site& a, const Site& b) { return compareSites(a, b) < 0; });
        HullCycle hull = findHullCycle(ordered.data(), n);
        std::vector<std::int32_t> backwards(hull.points.data, hull.points.data + hull.points.size());
        std::reverse(backwards.begin(), backwards.end());
        if (hullRunsBackwards) hull.points = HostNumbers{backwards.data(), backwards.size()};

        siteCount = n;
        minX = maxX = points[0][0];
        minY = maxY = points[0][1];
        for (const auto& [px, py] : points) {
            minX = std::min(minX, px);
            maxX = std::max(maxX, px);
            minY = std::min(minY, py);
            maxY = std::max(maxY, py);
        }
        initPool(sitePool, sizeof(Site));
        sweepSetup();
        initBeachLine();
        std::vector<double> buffer(3 * (2 * points.size() + 100));
        triangleCapacity = static_cast<std::int32_t>(2 * points.size() + 100);
        triangleCount = 0;
        writePosition = buffer.data();

        const auto boundary = static_cast<std::int64_t>(hull.points.size());
        beginCertificate(hull.hasArea() ? 2 * static_cast<std::int64_t>(n) - 2 - boundary : 0, hull.areaBound);
        lastAbandoned = false;
        certifying = true;
        // All edges first: a completed edge goes back to the pool at once.
        std::map<std::pair<int, int>, Edge*> edges;
        for (const std::array<int, 3>& row : rows)
            for (int k = 0; k < 3; ++k) {
                const int a = std::min(row[k], row[(k + 1) % 3]), b = std::max(row[k], row[(k + 1) % 3]);
                if (edges[{a, b}] == nullptr) edges[{a, b}] = makeBisector(&sites[a], &sites[b]);
            }
        std::vector<std::pair<int, int>> completed;
        try {
            reportRows(sites, rows, edges, completed, fault);
        } catch (const SweepAbandoned&) {
            certifying = false;
            lastAbandoned = true;
            lastVerdict = Verdict::Unproven;
            return false;
        }
        certifying = false;
        for (const auto& [pair, e] : edges)
            if (std::find(completed.begin(), completed.end(), pair) == completed.end() &&
                hasEnd(e, 0) != hasEnd(e, 1))
                linkRightOf(leftSentinel, newHalfEdge(e, 0));
        lastVerdict = certificateVerdict(hull, triangleCount);
        return certificateHolds(hull, triangleCount);
    }

    static void reportRows(std::vector<Site>& sites, const std::vector<std::array<int, 3>>& rows,
                           std::map<std::pair<int, int>, Edge*>& edges, std::vector<std::pair<int, int>>& completed,
                           Fault fault)
    {
        for (std::size_t r = 0; r < rows.size(); ++r) {
            std::array<int, 3> row = rows[r];
            if (fault == Fault::CounterClockwiseRow && r == 0) std::swap(row[0], row[1]);
            emitTriangle(&sites[row[0]], &sites[row[1]], &sites[row[2]]);
            for (int k = 0; k < 3; ++k) {
                const int a = std::min(row[k], row[(k + 1) % 3]), b = std::max(row[k], row[(k + 1) % 3]);
                Edge* e = edges[{a, b}];
                // A retired edge is back in its pool: a pair met again gets
                // a new edge, as the sweep would make it.
                if (const auto done = std::find(completed.begin(), completed.end(), std::pair{a, b});
                    done != completed.end()) {
                    completed.erase(done);
                    e = edges[{a, b}] = makeBisector(&sites[a], &sites[b]);
                }
                if (fault == Fault::DroppedSide && r == 0 && k == 0) continue;
                const int side = hasEnd(e, 0) ? 1 : 0;
                if (side == 1) completed.emplace_back(a, b);
                setEdgeEnd(e, fault == Fault::EndSetTwice && r == rows.size() - 1 ? 0 : side);
            }
        }
    }

    Verdict lastVerdict = Verdict::Unproven;
    // The certificate stopped the sweep: no repair could mend the rows.
    bool lastAbandoned = false;
};

// A kite: the short diagonal 0-2 is the Delaunay edge, 1-3 is not.
const std::vector<std::array<double, 2>> kite = {{0, 10}, {10, 0}, {20, 10}, {10, 100}};
const std::vector<std::array<int, 3>> kiteDelaunay = {{0, 2, 1}, {0, 3, 2}};
const std::vector<std::array<int, 3>> kiteOtherDiagonal = {{1, 0, 3}, {1, 3, 2}};

TEST_F(CertificateVerdict, RightTriangulationsHold)
{
    EXPECT_TRUE(verdict(kite, kiteDelaunay, Fault::None));
    // Four points on one circle: either diagonal is Delaunay.
    const std::vector<std::array<double, 2>> square = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    EXPECT_TRUE(verdict(square, {{0, 3, 1}, {1, 3, 2}}, Fault::None));
    EXPECT_TRUE(verdict(square, {{0, 2, 1}, {0, 3, 2}}, Fault::None));
    // A point inside a hull edge is a boundary vertex of its own.
    const std::vector<std::array<double, 2>> onEdge = {{0, 0}, {1, 0}, {2, 0}, {1, 1}};
    EXPECT_TRUE(verdict(onEdge, {{0, 3, 1}, {1, 3, 2}}, Fault::None));
}

TEST_F(CertificateVerdict, LongHullsAreMatchedEdgeForEdge)
{
    // 5000 points on a circle, all on the hull, fanned from the first:
    // long hulls are compared through a table of the sites, not by sorting.
    std::vector<std::array<double, 2>> circle;
    for (int i = 0; i < 5000; ++i) {
        const double angle = 2 * std::numbers::pi * i / 5000;
        circle.push_back({std::cos(angle), std::sin(angle)});
    }
    std::vector<std::array<int, 3>> fan;
    for (int i = 1; i + 1 < 5000; ++i) fan.push_back({0, i + 1, i});
    verdict(circle, fan, Fault::None);
    EXPECT_NE(lastVerdict, Verdict::Unproven);  // the fan's sides may fail the in-circle test
    verdict(circle, fan, Fault::None, true);
    EXPECT_EQ(lastVerdict, Verdict::Unproven);
    // The same on a short hull.
    verdict(kite, kiteDelaunay, Fault::None, true);
    EXPECT_EQ(lastVerdict, Verdict::Unproven);
}

TEST_F(CertificateVerdict, EachFaultFails)
{
    EXPECT_FALSE(verdict(kite, kiteOtherDiagonal, Fault::None));  // a non-Delaunay pair
    // ... which is still a triangulation, with its one bad side named.
    EXPECT_EQ(lastVerdict, Verdict::Triangulation);
    ASSERT_EQ(sidesNotDelaunay().size(), 1u);
    EXPECT_EQ(std::minmax(sidesNotDelaunay()[0].a, sidesNotDelaunay()[0].b), std::minmax(1, 3));
    // Faults in the bookkeeping, or a hole, may leave rows that are right
    // or can be completed: the sweep goes on to the end.
    EXPECT_FALSE(verdict(kite, kiteDelaunay, Fault::DroppedSide));
    EXPECT_EQ(lastVerdict, Verdict::Unproven);
    EXPECT_FALSE(lastAbandoned);
    EXPECT_FALSE(verdict(kite, kiteDelaunay, Fault::EndSetTwice));
    EXPECT_FALSE(lastAbandoned);
    EXPECT_FALSE(verdict(kite, {{0, 2, 1}}, Fault::None));  // a hole: point 3 unused
    EXPECT_FALSE(lastAbandoned);
    // Flaws no repair mends stop the sweep at once.
    EXPECT_FALSE(verdict(kite, kiteDelaunay, Fault::CounterClockwiseRow));  // a corrupted row
    EXPECT_TRUE(lastAbandoned);
    EXPECT_FALSE(verdict(kite, {{0, 2, 1}, {0, 2, 1}}, Fault::None));  // one side run the same way twice
    EXPECT_TRUE(lastAbandoned);
    EXPECT_FALSE(verdict(kite, {{0, 2, 1}, {0, 3, 2}, {0, 3, 2}}, Fault::None));  // more rows than 2n - 2 - h
    EXPECT_TRUE(lastAbandoned);
    // Rows that overlap without sharing a side, fewer than 2n - 2 - h: their
    // areas add up to more than the hull's.
    const std::vector<std::array<double, 2>> squareAndCentre = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {5, 5}};
    EXPECT_FALSE(verdict(squareAndCentre, {{0, 2, 1}, {0, 3, 2}, {4, 2, 1}}, Fault::None));
    EXPECT_TRUE(lastAbandoned);
    EXPECT_FALSE(verdict(squareAndCentre, {{0, 2, 1}, {0, 3, 2}}, Fault::None));  // right rows, but point 4 unused
    EXPECT_FALSE(lastAbandoned);
    // Three nested rows at the foot of a tall hull: together far less than
    // the hull, but more than the sites' box holds below their top corner.
    const std::vector<std::array<double, 2>> tall = {{0, 0},   {10, 0},  {10, 100}, {0, 100}, {5, 3}, {1, 0.2},
                                                     {5, 2.8}, {9, 0.2}, {2, 0.4},  {5, 2.6}, {8, 0.4}};
    EXPECT_FALSE(verdict(tall, {{0, 4, 1}, {5, 6, 7}, {8, 9, 10}}, Fault::None));
    EXPECT_TRUE(lastAbandoned);
    EXPECT_FALSE(verdict(tall, {{0, 4, 1}, {5, 6, 7}}, Fault::None));  // two of them still fit
    EXPECT_FALSE(lastAbandoned);
    // Collinear points (with one off the line left out): no row may exist.
    const std::vector<std::array<double, 2>> line = {{0, 0}, {1, 1}, {2, 2}};
    EXPECT_FALSE(verdict(line, {{0, 2, 1}}, Fault::None));
    EXPECT_TRUE(lastAbandoned);
    EXPECT_TRUE(verdict(line, {}, Fault::None));
}

// Rows as the repair takes them: column-major, 1-based doubles.
std::vector<double> tableOf(const std::vector<std::array<int, 3>>& rows)
{
    std::vector<double> values(3 * rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (int c = 0; c < 3; ++c) values[static_cast<std::size_t>(c) * rows.size() + r] = rows[r][c] + 1.0;
    return values;
}

TEST(SweeptriRepair, FlippedPairKeepsItsPositionsWithTheFarCornerFirst)
{
    ky::CallScope call{[](const std::string&) {}};
    const std::vector<double> x = {0, 10, 20, 10}, y = {10, 0, 10, 100};
    std::vector<double> rows = tableOf(kiteOtherDiagonal);  // [1 0 3], [1 3 2]
    ASSERT_TRUE(repairByFlips(rows.data(), 2, x.data(), y.data(), 4, 0, hullOf(x, y)));
    // [f u v] = [0 3 1] becomes [0 3 2]; [g v u] = [2 1 3] becomes [2 1 0].
    EXPECT_EQ(rows, tableOf({{0, 3, 2}, {2, 1, 0}}));
    // Rows that are no triangulation are left to the recomputation.
    std::vector<double> hole = tableOf({{0, 2, 1}});
    EXPECT_FALSE(repairByFlips(hole.data(), 1, x.data(), y.data(), 4, 0, hullOf(x, y)));
}

// A side x side lattice whose inner points are moved by up to reach, each
// cell split along the same diagonal: a valid triangulation with many sides
// to flip. The boundary stays on the square, so the rows cover the hull.
struct MovedLattice {
    std::vector<double> x, y;
    std::vector<std::array<int, 3>> cells;
};

MovedLattice movedLattice(int side, double reach, unsigned seed)
{
    MovedLattice lattice;
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> shift(-reach, reach);
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) {
            const bool inner = i > 0 && j > 0 && i < side - 1 && j < side - 1;
            lattice.x.push_back(i + (inner ? shift(random) : 0.0));
            lattice.y.push_back(j + (inner ? shift(random) : 0.0));
        }
    for (int j = 0; j + 1 < side; ++j)
        for (int i = 0; i + 1 < side; ++i) {
            const int a = j * side + i, b = a + 1, c = a + side, d = c + 1;
            lattice.cells.push_back({a, c, b});  // clockwise
            lattice.cells.push_back({b, c, d});
        }
    return lattice;
}

TEST(SweeptriRepair, SameDiagonalInEveryCellBecomesDelaunay)
{
    ky::CallScope call{[](const std::string&) {}};
    const auto [x, y, cells] = movedLattice(30, 0.2, 21);
    std::vector<double> rows = tableOf(cells);
    const auto count = static_cast<std::int32_t>(cells.size());
    const ky::inspect::PointSet points{x.data(), y.data(), x.size()};
    const auto before = ky::inspect::checkTriangulation(points, {rows.data(), cells.size()});
    ASSERT_TRUE(before.isTriangulation());
    ASSERT_FALSE(before.isDelaunay());
    ASSERT_TRUE(repairByFlips(rows.data(), count, x.data(), y.data(), static_cast<std::int32_t>(x.size()), 0, hullOf(x, y)));
    EXPECT_TRUE(ky::inspect::checkTriangulation(points, {rows.data(), cells.size()}).isDelaunay());
    // At extreme magnitudes the scaled points are what is repaired.
    std::vector<double> tinyX, tinyY;
    for (double v : x) tinyX.push_back(std::ldexp(v, -700));
    for (double v : y) tinyY.push_back(std::ldexp(v, -700));
    std::vector<double> tinyRows = tableOf(cells);
    ASSERT_TRUE(repairByFlips(tinyRows.data(), count, tinyX.data(), tinyY.data(), static_cast<std::int32_t>(x.size()),
                              700, hullOf(x, y)));
    EXPECT_EQ(tinyRows, rows);
}

// Every side of the rows that fails the exact in-circle test, found by
// brute force: the suspects a sweep's certificate would name.
std::vector<SuspectSide> badSides(const std::vector<std::array<int, 3>>& rows, const std::vector<double>& x,
                                  const std::vector<double>& y)
{
    std::vector<SuspectSide> bad;
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (int k = 0; k < 3; ++k) {
            const int f = rows[r][k], u = rows[r][(k + 1) % 3], v = rows[r][(k + 2) % 3];
            for (const std::array<int, 3>& other : rows)
                for (int j = 0; j < 3; ++j)
                    if (other[(j + 1) % 3] == v && other[(j + 2) % 3] == u &&
                        strictlyInCircle(x[f], y[f], x[u], y[u], x[v], y[v], x[other[j]], y[other[j]], true))
                        bad.push_back(SuspectSide{static_cast<std::int32_t>(r), u, v});
        }
    return bad;
}

TEST(SweeptriRepair, NamedSuspectsGiveTheSameFlipsAsTestingEverySide)
{
    // Cells split along one diagonal over points moved at random, by a lot
    // and by so little that every cell is nearly cocircular: only the named
    // sides and those of rewritten rows are tested, and the rows must come
    // out exactly as when every side is, in place and column.
    ky::CallScope call{[](const std::string&) {}};
    for (const double reach : {0.3, 1e-9}) {
        SCOPED_TRACE(reach);
        const auto [x, y, cells] = movedLattice(16, reach, 5);
        const auto count = static_cast<std::int32_t>(cells.size());
        const auto n = static_cast<std::int32_t>(x.size());
        const std::vector<SuspectSide> suspects = badSides(cells, x, y);
        ASSERT_FALSE(suspects.empty());
        std::vector<double> everySide = tableOf(cells), named = tableOf(cells);
        ASSERT_TRUE(repairByFlips(everySide.data(), count, x.data(), y.data(), n, 0, hullOf(x, y)));
        ASSERT_TRUE(repairByFlips(named.data(), count, x.data(), y.data(), n, 0, hullOf(x, y), &suspects));
        EXPECT_EQ(named, everySide);
        const ky::inspect::PointSet points{x.data(), y.data(), x.size()};
        EXPECT_TRUE(ky::inspect::checkTriangulation(points, {named.data(), cells.size()}).isDelaunay());
    }
}

TEST(SweeptriRepair, CallRepairsWhatThePlainSweepWritesAsTestingEverySideWould)
{
    // Concentric rings of points at the same angles, whose nearly
    // cocircular cells the plain sweep splits the wrong way: the call's rows
    // are the plain rows flipped with every side tested.
    std::vector<double> x, y;
    const int rings = 12, perRing = 90;
    for (int i = 0; i < perRing; ++i)
        for (int r = 1; r <= rings; ++r) {
            const double angle = 2 * std::numbers::pi * i / perRing;
            x.push_back(r * std::cos(angle));
            y.push_back(r * std::sin(angle));
        }
    const testing::Triangulation plain = testing::callCore(x, y, false);
    const testing::Triangulation certified = testing::callCore(x, y, true);
    ASSERT_FALSE(plain.error);
    ASSERT_FALSE(certified.error);
    std::vector<std::array<int, 3>> zeroBased;
    for (const testing::Row& row : plain.rows) zeroBased.push_back({row[0] - 1, row[1] - 1, row[2] - 1});
    ASSERT_FALSE(badSides(zeroBased, x, y).empty()) << "the plain sweep no longer errs here";
    ky::CallScope call{[](const std::string&) {}};
    std::vector<double> expected = tableOf(zeroBased);
    ASSERT_TRUE(repairByFlips(expected.data(), static_cast<std::int32_t>(zeroBased.size()), x.data(), y.data(),
                              static_cast<std::int32_t>(x.size()), 0, hullOf(x, y)));
    std::vector<std::array<int, 3>> got;
    for (const testing::Row& row : certified.rows) got.push_back({row[0] - 1, row[1] - 1, row[2] - 1});
    EXPECT_EQ(tableOf(got), expected);
}

TEST(SweeptriRecompute, ReplacedRowsAreExactOrderedAndDeterministic)
{
    // A tilted grid: many cocircular cells, and slivers along its nearly
    // straight boundary whose circumcircles overflow.
    std::vector<double> x, y;
    const double angle = 30 * std::numbers::pi / 180;
    for (int i = 0; i < 30; ++i)
        for (int j = 0; j < 30; ++j) {
            x.push_back(std::cos(angle) * i - std::sin(angle) * j);
            y.push_back(std::sin(angle) * i + std::cos(angle) * j);
        }
    const auto recompute = [&] {
        ky::CallScope call([](const std::string&) {});
        std::vector<double> values(3 * (2 * x.size() + 100));
        const std::int32_t count =
            recomputeExactly(x.data(), y.data(), static_cast<std::int32_t>(x.size()), 0, values.data());
        testing::Triangulation result;
        for (std::int32_t r = 0; r < count; ++r)
            result.rows.push_back(testing::Row{static_cast<int>(values[static_cast<std::size_t>(r)]),
                                               static_cast<int>(values[static_cast<std::size_t>(count + r)]),
                                               static_cast<int>(values[static_cast<std::size_t>(2 * count + r)])});
        return result;
    };
    const testing::Triangulation first = recompute();
    const testing::Triangulation second = recompute();
    EXPECT_EQ(first.rows, second.rows);
    EXPECT_TRUE(testing::allClockwise(first.rows, x, y));
    EXPECT_EQ(testing::canonicalSet(first.rows), testing::cgalDelaunay(x, y));

    // Smallest corner first; ascending top of the circumcircle, then centre
    // x; rows whose key is not finite (slivers along the nearly straight
    // boundary) last, by their sorted corners.
    double lastTop = -INFINITY, lastX = -INFINITY;
    std::array<int, 3> lastSorted{};
    bool inFiniteRows = true;
    int nonFinite = 0;
    for (const testing::Row& row : first.rows) {
        EXPECT_EQ(row[0], std::min({row[0], row[1], row[2]}));
        const auto p = [&](int k) { return ExactPoint(x[row[k] - 1], y[row[k] - 1]); };
        const ExactPoint centre = CGAL::circumcenter(p(0), p(1), p(2));
        const double top = centre.y() + std::sqrt(CGAL::squared_distance(centre, p(0)));
        std::array<int, 3> sorted = row;
        std::sort(sorted.begin(), sorted.end());
        if (std::isfinite(top) && std::isfinite(centre.x())) {
            EXPECT_TRUE(inFiniteRows);
            EXPECT_TRUE(top > lastTop || (top == lastTop && centre.x() >= lastX));
            lastTop = top;
            lastX = centre.x();
        } else {
            if (!inFiniteRows) {
                EXPECT_LT(lastSorted, sorted);
            }
            inFiniteRows = false;
            ++nonFinite;
        }
        lastSorted = sorted;
    }
    EXPECT_GT(nonFinite, 0);
}

}  // namespace
}  // namespace sweeptri
