// The streamed check against the in-memory check: the same verdict on
// CGAL's Delaunay triangulations and on every kind of damage done to them,
// also when the memory limit makes it read TRI in many passes.
#include <gtest/gtest.h>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <sstream>

#include "exact_geometry.hpp"
#include "memory_size.hpp"
#include "streamed_check.hpp"
#include "triangulation_check.hpp"

namespace ky::inspect {
namespace {

// CGAL's Delaunay triangulation, the oracle, on the kernel of the exact predicates.
using Kernel = ky::geometry::ExactKernel;
using Point = Kernel::Point_2;

using Rows = std::vector<std::array<std::int64_t, 3>>;  // 0-based, clockwise

class VectorRows final : public RowSource {
public:
    explicit VectorRows(const Rows& rows) : rows_(rows) {}
    std::uint64_t rows() const override { return rows_.size(); }
    void read(std::uint64_t first, std::size_t count, std::uint64_t n, std::int64_t* corners) const override
    {
        for (std::size_t i = 0; i < count; ++i)
            for (int c = 0; c < 3; ++c) {
                const std::int64_t v = rows_[first + i][static_cast<std::size_t>(c)];
                corners[3 * i + static_cast<std::size_t>(c)] = v >= 0 && static_cast<std::uint64_t>(v) < n ? v : -1;
            }
    }
    std::string entryText(std::uint64_t row) const override
    {
        const auto& r = rows_[row];
        return "(" + std::to_string(r[0]) + "," + std::to_string(r[1]) + "," + std::to_string(r[2]) + ")";
    }

private:
    const Rows& rows_;
};

struct Points {
    std::vector<double> x, y;
    PointSet set() const { return {x.data(), y.data(), x.size()}; }
};

Rows cgalRows(const Points& p)
{
    using Vertex = CGAL::Triangulation_vertex_base_with_info_2<std::int64_t, Kernel>;
    using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, CGAL::Triangulation_data_structure_2<Vertex>>;
    std::vector<std::pair<Point, std::int64_t>> points;
    for (std::size_t i = 0; i < p.x.size(); ++i) points.emplace_back(Point(p.x[i], p.y[i]), static_cast<std::int64_t>(i));
    const Delaunay dt(points.begin(), points.end());
    Rows rows;
    for (auto f = dt.finite_faces_begin(); f != dt.finite_faces_end(); ++f)
        rows.push_back({f->vertex(0)->info(), f->vertex(2)->info(), f->vertex(1)->info()});
    return rows;
}

CheckReport inMemory(const Points& p, const Rows& rows, RowOrientation orientation)
{
    std::vector<double> tri(3 * rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t k = 0; k < 3; ++k) tri[k * rows.size() + r] = static_cast<double>(rows[r][k]) + 1;
    return checkTriangulation(p.set(), {tri.data(), rows.size()}, orientation);
}

StreamedCheck streamed(const Points& p, const Rows& rows, RowOrientation orientation, std::uint64_t memory = 64u << 20)
{
    const VectorRows source(rows);
    return checkStreamed(p.set(), source, orientation, 1, memory);
}

// The in-memory check's verdict, which the streamed check must share.
bool expectSameVerdict(const Points& p, const Rows& rows, const std::string& what,
                       RowOrientation orientation = RowOrientation::Clockwise)
{
    const CheckReport expected = inMemory(p, rows, orientation);
    const StreamedCheck got = streamed(p, rows, orientation);
    std::ostringstream report;
    writeStreamedReport(report, got);
    EXPECT_EQ(got.isTriangulation(), expected.isTriangulation()) << what << '\n' << report.str();
    EXPECT_EQ(got.isDelaunay(), expected.isDelaunay()) << what << '\n' << report.str();
    if (got.isDelaunay() && got.hullHasArea) {
        EXPECT_EQ(got.boundaryPoints, expected.hullBoundaryPoints) << what;
    }
    return expected.isTriangulation();
}

Points randomPoints(std::mt19937_64& rng, std::size_t n, int exponent = 0)
{
    std::uniform_real_distribution<double> u(0, 1);
    Points p;
    for (std::size_t i = 0; i < n; ++i) {
        p.x.push_back(std::ldexp(u(rng), exponent));
        p.y.push_back(std::ldexp(u(rng), exponent));
    }
    return p;
}

Points gridPoints(int side)
{
    Points p;
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) {
            p.x.push_back(i);
            p.y.push_back(j);
        }
    return p;
}

TEST(StreamedCheck, AgreesOnDelaunayTriangulationsAtEveryScaleAndLimit)
{
    std::mt19937_64 rng(11);
    for (const int exponent : {0, -1000, 1000}) {
        const Points p = randomPoints(rng, 2000, exponent);
        expectSameVerdict(p, cgalRows(p), "random at 2^" + std::to_string(exponent));
    }
    const Points grid = gridPoints(30);  // cocircular cells, points on hull edges
    const Rows rows = cgalRows(grid);
    expectSameVerdict(grid, rows, "grid");
    EXPECT_EQ(streamed(grid, rows, RowOrientation::Clockwise).boundaryPoints, 4u * 29u);
    // The least limit reads TRI in many passes, with the same answer, and
    // finds a fault in any of them.
    const Points many = randomPoints(rng, 20000);
    Rows manyRows = cgalRows(many);
    const StreamedCheck tight = streamed(many, manyRows, RowOrientation::Clockwise, leastStreamedCheckMemory(20000));
    EXPECT_TRUE(tight.isDelaunay());
    EXPECT_GT(tight.passes, 4u);
    manyRows.erase(manyRows.begin() + 30000);
    EXPECT_FALSE(streamed(many, manyRows, RowOrientation::Clockwise, leastStreamedCheckMemory(20000)).isTriangulation());
}

TEST(StreamedCheck, AgreesOnEveryKindOfDamage)
{
    std::mt19937_64 rng(5);
    for (int trial = 0; trial < 40; ++trial) {
        const Points p = randomPoints(rng, 60 + static_cast<std::size_t>(trial));
        const Rows good = cgalRows(p);
        std::uniform_int_distribution<std::size_t> anyRow(0, good.size() - 1);
        const std::size_t r = anyRow(rng), s = anyRow(rng);
        const std::string at = " (trial " + std::to_string(trial) + ")";

        Rows rows = good;
        std::swap(rows[r][1], rows[r][2]);
        EXPECT_FALSE(expectSameVerdict(p, rows, "a flipped row" + at));

        rows = good;
        rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(r));
        EXPECT_FALSE(expectSameVerdict(p, rows, "a dropped row" + at));

        rows = good;
        rows.push_back(good[r]);
        EXPECT_FALSE(expectSameVerdict(p, rows, "a repeated row" + at));

        rows = good;
        std::shuffle(rows.begin(), rows.end(), rng);
        std::rotate(rows[0].begin(), rows[0].begin() + 1, rows[0].end());
        EXPECT_TRUE(expectSameVerdict(p, rows, "shuffled and rotated rows" + at));

        rows = good;
        rows[r][0] = static_cast<std::int64_t>(p.x.size());
        EXPECT_FALSE(expectSameVerdict(p, rows, "an index past the points" + at));

        rows = good;
        rows[r][1] = rows[s][0];
        expectSameVerdict(p, rows, "a corner moved" + at);

        // The other diagonal of two rows that share an edge: still a
        // triangulation where their quadrilateral is convex, never Delaunay
        // for random points.
        rows = good;
        for (std::size_t t = 0; t < rows.size(); ++t) {
            const auto& a = rows[r];
            const auto& b = rows[t];
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    if (t != r && a[i] == b[(j + 1) % 3] && a[(i + 1) % 3] == b[j]) {
                        const std::int64_t u = a[i], v = a[(i + 1) % 3], c = a[(i + 2) % 3], d = b[(j + 2) % 3];
                        rows[r] = {c, u, d};
                        rows[t] = {d, v, c};
                        expectSameVerdict(p, rows, "an edge flipped" + at);
                        i = j = 3;
                        t = rows.size();
                    }
        }

        rows = good;
        for (auto& row : rows) std::swap(row[1], row[2]);
        EXPECT_FALSE(expectSameVerdict(p, rows, "counter-clockwise rows" + at));
        EXPECT_TRUE(expectSameVerdict(p, rows, "counter-clockwise rows, either way" + at, RowOrientation::Either));
        expectSameVerdict(p, rows, "counter-clockwise rows, asked" + at, RowOrientation::CounterClockwise);
    }
}

// Rows in a file's own order close most edges in the one pass; rows shuffled
// beyond the limit's table are checked by passes over ranges of points. Both
// reach the in-memory check's verdict on the same damage.
TEST(StreamedCheck, OnePassWhereTheRowsAreNearEachOtherAndRangesWhereNot)
{
    std::mt19937_64 rng(17);
    const Points p = randomPoints(rng, 20000);
    const Rows good = cgalRows(p);
    const std::uint64_t least = leastStreamedCheckMemory(p.x.size());
    const StreamedCheck roomy = streamed(p, good, RowOrientation::Clockwise);
    EXPECT_TRUE(roomy.isDelaunay());
    EXPECT_EQ(roomy.passes, 0u);
    Rows shuffled = good;
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    const StreamedCheck scattered = streamed(p, shuffled, RowOrientation::Clockwise, least);
    EXPECT_TRUE(scattered.isDelaunay());
    EXPECT_GT(scattered.passes, 4u);
    EXPECT_EQ(scattered.boundaryPoints, roomy.boundaryPoints);

    for (const std::uint64_t memory : {std::uint64_t{64} << 20, least}) {
        const std::string at = " within " + std::to_string(memory) + " bytes";
        Rows rows = shuffled;
        std::swap(rows[100][1], rows[100][2]);
        EXPECT_FALSE(streamed(p, rows, RowOrientation::Clockwise, memory).isTriangulation()) << "a flipped row" << at;
        rows = shuffled;
        rows.push_back(rows[200]);
        const StreamedCheck repeated = streamed(p, rows, RowOrientation::Clockwise, memory);
        EXPECT_FALSE(repeated.isTriangulation()) << "a repeated row" << at;
        // Each edge of the repeated row is named: in three rows, or (a hull
        // edge) in two rows running one way, in either way of matching.
        EXPECT_EQ(repeated.crowdedEdges.count + repeated.repeatedEdges.count, 3u) << at;
        EXPECT_GE(repeated.crowdedEdges.count, 1u) << at;
        rows = shuffled;
        for (std::size_t t = 0; t < rows.size(); ++t) {
            // Another diagonal: a triangulation, not Delaunay.
            const auto a = rows[300], b = rows[t];
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    if (t != 300 && a[i] == b[(j + 1) % 3] && a[(i + 1) % 3] == b[j]) {
                        const std::int64_t u = a[i], v = a[(i + 1) % 3], c = a[(i + 2) % 3], d = b[(j + 2) % 3];
                        rows[300] = {c, u, d};
                        rows[t] = {d, v, c};
                        i = j = 3;
                        t = rows.size();
                    }
        }
        const CheckReport expected = inMemory(p, rows, RowOrientation::Clockwise);
        const StreamedCheck flipped = streamed(p, rows, RowOrientation::Clockwise, memory);
        EXPECT_EQ(flipped.isTriangulation(), expected.isTriangulation()) << "an edge flipped" << at;
        EXPECT_FALSE(flipped.isDelaunay()) << "an edge flipped" << at;
    }
}

TEST(StreamedCheck, TwoLayersOfRowsAndAHoleAreNoTriangulation)
{
    std::mt19937_64 rng(9);
    const Points p = randomPoints(rng, 200);
    const Rows good = cgalRows(p);
    Rows twice = good;
    twice.insert(twice.end(), good.begin(), good.end());
    EXPECT_FALSE(streamed(p, twice, RowOrientation::Clockwise).isTriangulation());
    // The rows of an inner point removed: a hole bounded by a second cycle.
    Rows holed;
    for (const auto& row : good)
        if (std::find(row.begin(), row.end(), good[good.size() / 2][0]) == row.end()) holed.push_back(row);
    const StreamedCheck result = streamed(p, holed, RowOrientation::Clockwise);
    EXPECT_FALSE(result.isTriangulation());
    EXPECT_FALSE(result.unusedPoints.empty() && result.boundaryFaults.empty());
}

TEST(StreamedCheck, PointsWithoutAreaAndTooLittleMemory)
{
    const Points line{{0, 1, 2, 3}, {0, 1, 2, 3}};
    EXPECT_TRUE(streamed(line, {}, RowOrientation::Clockwise).isDelaunay());
    EXPECT_FALSE(streamed(line, {{0, 1, 2}}, RowOrientation::Clockwise).isTriangulation());
    const Points repeated{{0, 1, 1}, {0, 1, 1}};
    EXPECT_FALSE(streamed(repeated, {}, RowOrientation::Clockwise).isTriangulation());
    EXPECT_THROW(streamed(line, {}, RowOrientation::Clockwise, 1000), CheckMemoryTooSmall);
    const Points notFinite{{0, 1, NAN}, {0, 1, 0}};
    EXPECT_THROW(streamed(notFinite, {}, RowOrientation::Clockwise), std::invalid_argument);
}

TEST(MemorySize, ReadsUnitsAndRefusesTheRest)
{
    EXPECT_EQ(parseMemorySize("2G"), std::uint64_t{2} << 30);
    EXPECT_EQ(parseMemorySize("512m"), std::uint64_t{512} << 20);
    EXPECT_EQ(parseMemorySize("3GiB"), std::uint64_t{3} << 30);
    EXPECT_EQ(parseMemorySize("100"), 100u);
    for (const char* bad : {"", "G", "2X", "-1", "1.5G", "99999999999999999999", "20000000000T"})
        EXPECT_EQ(parseMemorySize(bad), std::nullopt) << bad;
    EXPECT_EQ(memorySizeText(std::uint64_t{2} << 30), "2.0 GiB");
}

}  // namespace
}  // namespace ky::inspect
