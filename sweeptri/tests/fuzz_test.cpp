// Degenerate and arbitrary input must never crash, hang or touch memory out
// of bounds (the sanitizer build runs these too): the only signals are the
// collinear-points warning, the repeated-points error, the capacity error
// and, for "sorted" input out of order, the not-sorted error; every row
// names three input points. Since the plug-in refuses "sorted" input out of
// order, the sweep itself is also driven directly with sites in arbitrary
// order: whatever order it is handed, it must end cleanly.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "call_context.hpp"
#include "triangulation_check.hpp"
#include "record_pool.hpp"
#include "site_order.hpp"
#include "sweep_state.hpp"
#include "triangle_buffer.hpp"
#include "triangulate_call.hpp"
#include "sweep_core_calls.hpp"
#include "triangulation_checks.hpp"

namespace sweeptri::testing {
namespace {

const char* const notSorted = "Points are not sorted: with 'sorted', Y must ascend, and X within equal Y.";

// SWEEPTRI_FUZZ_SCALE=k runs k times as many random rounds, with other seeds.
int fuzzScale()
{
    const char* scale = std::getenv("SWEEPTRI_FUZZ_SCALE");
    return scale != nullptr && std::atoi(scale) > 0 ? std::atoi(scale) : 1;
}

bool inGivenOrder(const std::vector<double>& x, const std::vector<double>& y)
{
    for (std::size_t i = 1; i < x.size(); ++i)
        if (y[i] < y[i - 1] || (y[i] == y[i - 1] && x[i] < x[i - 1])) return false;
    return true;
}


// Whether the rows are a Delaunay triangulation of the points, by the
// project's independent exact check.
bool judgedDelaunay(const std::vector<double>& x, const std::vector<double>& y, const std::vector<Row>& rows)
{
    std::vector<double> values(3 * rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (int c = 0; c < 3; ++c) values[static_cast<std::size_t>(c) * rows.size() + r] = rows[r][c];
    return ky::inspect::checkTriangulation({x.data(), y.data(), x.size()}, {values.data(), rows.size()}).isDelaunay();
}

void expectWellFormedResult(const Triangulation& result, int n)
{
    if (result.error) {
        EXPECT_TRUE(*result.error == "x-y data must be unique" || *result.error == "Not enough triangles allocated.")
            << *result.error;
        return;
    }
    EXPECT_LE(result.warnings.size(), 1u);
    EXPECT_LE(static_cast<int>(result.rows.size()), 2 * n + 100);
    for (const Row& row : result.rows)
        for (int k : row) ASSERT_TRUE(k >= 1 && k <= n);
}

// Through the plug-in; with "sorted" and input out of order the call must
// refuse it, and the sweep is then driven directly in that order.
void expectWellFormed(const std::vector<double>& x, const std::vector<double>& y, bool sorted)
{
    const int n = static_cast<int>(x.size());
    const Triangulation result = triangulate(x, y, sorted);
    if (sorted && !inGivenOrder(x, y)) {
        EXPECT_EQ(result.error, notSorted);
        EXPECT_TRUE(result.warnings.empty());
        expectWellFormedResult(sweepInGivenOrder(x, y), n);
        return;
    }
    expectWellFormedResult(result, n);
    if (!result.error) {
        EXPECT_TRUE(judgedDelaunay(x, y, result.rows));
    }
}

TEST(SweeptriFuzz, RandomSmallInputsWithRepeatedCoordinates)
{
    std::mt19937_64 random(2024 + fuzzScale());
    for (int round = 0; round < 3000 * fuzzScale(); ++round) {
        const int n = 1 + static_cast<int>(random() % 24);
        const int distinct = 1 + static_cast<int>(random() % 6);  // few values: many repeats and ties
        std::vector<double> x(n), y(n);
        for (int i = 0; i < n; ++i) {
            x[i] = static_cast<double>(random() % distinct) - 2.0;
            y[i] = static_cast<double>(random() % (distinct + 1)) * 0.5;
        }
        expectWellFormed(x, y, false);
        // "sorted" with input that mostly breaks the promise.
        expectWellFormed(x, y, true);
    }
}

TEST(SweeptriFuzz, SortedOptionWithArbitraryOrder)
{
    std::mt19937_64 random(77 + fuzzScale());
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int round = 0; round < 400 * fuzzScale(); ++round) {
        const int n = 3 + static_cast<int>(random() % 200);
        std::vector<double> x(n), y(n);
        for (int i = 0; i < n; ++i) {
            x[i] = unit(random);
            y[i] = unit(random);
        }
        if (round % 2 == 1) {  // nearly sorted: sorted, then a few swaps
            std::vector<int> order(n);
            for (int i = 0; i < n; ++i) order[i] = i;
            std::sort(order.begin(), order.end(), [&](int a, int b) { return y[a] < y[b]; });
            std::vector<double> sx(n), sy(n);
            for (int i = 0; i < n; ++i) sx[i] = x[order[i]], sy[i] = y[order[i]];
            for (int s = 0; s < 3; ++s) {
                const int a = static_cast<int>(random() % n), b = static_cast<int>(random() % n);
                std::swap(sx[a], sx[b]);
                std::swap(sy[a], sy[b]);
            }
            x = sx;
            y = sy;
        }
        expectWellFormed(x, y, true);
    }
}

TEST(SweeptriFuzz, DegenerateSets)
{
    std::vector<std::pair<std::vector<double>, std::vector<double>>> sets;
    // Integer grids, also rotated by 45 degrees.
    for (int size : {2, 3, 7, 20, 45}) {
        std::vector<double> x, y, rx, ry;
        for (int i = 0; i < size; ++i)
            for (int j = 0; j < size; ++j) {
                x.push_back(i);
                y.push_back(j);
                rx.push_back(i - j);
                ry.push_back(i + j);
            }
        sets.emplace_back(x, y);
        sets.emplace_back(rx, ry);
    }
    // Cocircular points, regular and irregular.
    for (int count : {4, 5, 8, 64, 1000}) {
        std::vector<double> x, y;
        for (int k = 0; k < count; ++k) {
            const double angle = 2 * std::numbers::pi * k / count + (k % 3) * 1e-3;
            x.push_back(std::cos(angle));
            y.push_back(std::sin(angle));
        }
        sets.emplace_back(x, y);
    }
    // Collinear points on slanted, vertical and horizontal lines.
    for (double slope : {0.0, 1.0, -3.0, 1e12}) {
        std::vector<double> x, y;
        for (int k = 0; k < 50; ++k) {
            x.push_back(k);
            y.push_back(slope * k);
        }
        sets.emplace_back(x, y);
        sets.emplace_back(y, x);
    }
    // Near-duplicates, and extreme magnitudes.
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (double scale : {1e300, 1e-300, 1.0}) {
        std::vector<double> x, y;
        for (int k = 0; k < 300; ++k) {
            const double px = unit(random) * scale, py = unit(random) * scale;
            x.push_back(px);
            y.push_back(py);
            x.push_back(std::nextafter(px, 2 * scale));
            y.push_back(py);
        }
        sets.emplace_back(x, y);
    }
    sets.push_back({{1e308, -1e308, 1e308, -1e308, 0}, {1e308, 1e308, -1e308, -1e308, 0}});
    sets.push_back({{5e-324, 0, 1e-323, 0}, {0, 5e-324, 5e-324, 1e-323}});

    for (const auto& [x, y] : sets) {
        expectWellFormed(x, y, false);
        expectWellFormed(x, y, true);
    }
}

}  // namespace
}  // namespace sweeptri::testing
