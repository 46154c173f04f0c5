// The quick verdict on rows that leave part of the hull uncovered: it may
// only call a completion hopeless that completeAndRepair, given the same
// rows, does not manage; and it must not be vacuous.
#include <algorithm>
#include <array>
#include <random>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "call_context.hpp"
#include "delaunay_repair.hpp"
#include "exact_recompute.hpp"
#include "hull_cycle.hpp"
#include "pocket_check.hpp"
#include "sweep_core_calls.hpp"

namespace sweeptri {
namespace {

using testing::hullOf;

using Row = std::array<int, 3>;  // 0-based corners, clockwise

std::uint64_t side(int from, int to) { return static_cast<std::uint64_t>(from) << 32 | static_cast<std::uint32_t>(to); }

// Column-major, 1-based doubles, with room for `capacity` rows.
std::vector<double> tableOf(const std::vector<Row>& rows, std::size_t capacity)
{
    std::vector<double> values(3 * capacity);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (int c = 0; c < 3; ++c) values[static_cast<std::size_t>(c) * rows.size() + r] = rows[r][c] + 1.0;
    return values;
}

// The sides no other row runs back, as the sweep's bookkeeping reports them.
std::vector<std::uint64_t> openSidesOf(const std::vector<Row>& rows)
{
    std::multiset<std::uint64_t> sides;
    for (const Row& row : rows)
        for (int k = 0; k < 3; ++k) sides.insert(side(row[k], row[(k + 1) % 3]));
    std::vector<std::uint64_t> open;
    for (const Row& row : rows)
        for (int k = 0; k < 3; ++k)
            if (sides.count(side(row[(k + 1) % 3], row[k])) == 0) open.push_back(side(row[k], row[(k + 1) % 3]));
    return open;
}

struct Outcome {
    bool hopeless;
    bool completed;
};

Outcome judge(const std::vector<Row>& rows, const std::vector<double>& x, const std::vector<double>& y)
{
    const auto n = static_cast<std::int32_t>(x.size());
    const HullCycle hull = hullOf(x, y);
    const auto capacity = static_cast<std::size_t>(2 * n);
    std::vector<double> table = tableOf(rows, capacity);
    const auto count = static_cast<std::int32_t>(rows.size());
    const bool hopeless =
        completionCertainToFail(table.data(), count, x.data(), y.data(), n, 0, hull, openSidesOf(rows));
    const bool completed = completeAndRepair(table.data(), count, static_cast<std::int32_t>(capacity), x.data(),
                                             y.data(), n, 0, hull) >= 0;
    return {hopeless, completed};
}

TEST(PocketCheck, APocketBesideTheRowsIsLeftToTheCompletion)
{
    ky::CallScope call{[](const std::string&) {}};
    // A square around its centre; the fourth row is missing.
    const std::vector<double> x = {0, 10, 10, 0, 5}, y = {0, 0, 10, 10, 5};
    const Outcome pocket = judge({{0, 4, 1}, {1, 4, 2}, {2, 4, 3}}, x, y);
    EXPECT_FALSE(pocket.hopeless);
    EXPECT_TRUE(pocket.completed);
    // More rows than any triangulation of the points has, or far too few.
    EXPECT_TRUE(judge({{0, 4, 1}, {1, 4, 2}, {2, 4, 3}, {3, 4, 0}, {0, 2, 1}}, x, y).hopeless);
    EXPECT_TRUE(judge({{0, 4, 1}}, x, y).hopeless);
}

// Delaunay rows of random points with some rows dropped (pockets and holes
// the completion fills) or swapped for random clockwise triangles (rows
// that overlap, whose outline crosses itself).
TEST(PocketCheck, HopelessOnlyWhereTheCompletionFails)
{
    ky::CallScope call{[](const std::string&) {}};
    std::mt19937 random(7);
    int hopeless = 0, filled = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const int n = 12 + trial % 20;
        std::uniform_real_distribution<double> coordinate(0, 100);
        std::vector<double> x(static_cast<std::size_t>(n)), y(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            x[static_cast<std::size_t>(i)] = coordinate(random);
            y[static_cast<std::size_t>(i)] = coordinate(random);
        }
        std::vector<double> exact(6 * static_cast<std::size_t>(n));
        const std::int32_t m = recomputeExactly(x.data(), y.data(), n, 0, exact.data());
        std::vector<Row> rows(static_cast<std::size_t>(m));
        for (std::int32_t r = 0; r < m; ++r)
            for (int c = 0; c < 3; ++c)
                rows[static_cast<std::size_t>(r)][c] = static_cast<int>(exact[static_cast<std::size_t>(c * m + r)]) - 1;
        std::shuffle(rows.begin(), rows.end(), random);
        rows.pop_back();
        if (trial % 2 == 1) {
            // A random triangle in place of another row, made clockwise.
            std::uniform_int_distribution<int> point(0, n - 1);
            Row row{point(random), point(random), point(random)};
            if (row[0] == row[1] || row[1] == row[2] || row[0] == row[2]) continue;
            const double turn = (x[row[1]] - x[row[0]]) * (y[row[2]] - y[row[0]]) -
                                (y[row[1]] - y[row[0]]) * (x[row[2]] - x[row[0]]);
            if (turn > 0) std::swap(row[1], row[2]);
            rows.back() = row;
        }
        const Outcome outcome = judge(rows, x, y);
        if (outcome.hopeless) {
            EXPECT_FALSE(outcome.completed) << "trial " << trial;
            ++hopeless;
        }
        if (outcome.completed) ++filled;
    }
    EXPECT_GT(hopeless, 20);
    EXPECT_GT(filled, 50);
}

}  // namespace
}  // namespace sweeptri
