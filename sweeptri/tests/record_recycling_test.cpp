// Records go back to their pools and are handed out again all through a
// sweep (vertices once their event is handled, half-edges once they leave
// the beach line, retired edges, finished input sites). None of it may show
// in the rows, warnings or errors. Under AddressSanitizer the pools mark
// returned records unaddressable, so there a read of a recycled record ends
// the test; with reuse off, no returned record is ever readable again.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "call_context.hpp"
#include "record_pool.hpp"
#include "sweep_core_calls.hpp"
#include "sweep_state.hpp"

namespace sweeptri {
namespace {

#ifdef SWEEPTRI_SMALL_ORACLE
constexpr int scale = 10;
#else
constexpr int scale = 1;
#endif

struct NoReuse {
    NoReuse() { reuseRecords = false; }
    ~NoReuse() { reuseRecords = true; }
};

struct Points {
    std::vector<double> x, y;
    void add(double px, double py) { x.push_back(px), y.push_back(py); }
};

void expectRecyclingInvisible(const Points& p, const char* what)
{
    SCOPED_TRACE(what);
    for (bool certify : {true, false}) {
        SCOPED_TRACE(certify ? "certified" : "plain sweep");
        const testing::Triangulation reused = testing::callCore(p.x, p.y, certify);
        testing::Triangulation fresh;
        {
            const NoReuse noReuse;
            fresh = testing::callCore(p.x, p.y, certify);
        }
        EXPECT_EQ(reused.error, fresh.error);
        EXPECT_EQ(reused.warnings, fresh.warnings);
        EXPECT_FALSE(reused.rows.empty());
        EXPECT_TRUE(reused.rows == fresh.rows);
    }
}

// side x side integer grid in random order.
Points shuffledGrid(int side, std::mt19937& random)
{
    Points points;
    std::vector<int> order(static_cast<std::size_t>(side) * side);
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::shuffle(order.begin(), order.end(), random);
    for (int i : order) points.add(i % side, i / side);
    return points;
}

Points rings(int count, int perRing)
{
    Points points;
    for (int r = 1; r <= count; ++r)
        for (int k = 0; k < perRing; ++k) {
            const double t = 2 * std::numbers::pi * k / perRing;
            points.add(r * std::cos(t), r * std::sin(t));
        }
    return points;
}

Points clusters(int n, std::mt19937& random)
{
    std::uniform_real_distribution<double> unit(0, 1);
    std::normal_distribution<double> normal;
    std::vector<double> cx, cy, spread;
    for (int c = 0; c < 20; ++c) cx.push_back(unit(random)), cy.push_back(unit(random)), spread.push_back(1e-3 + 0.02 * unit(random));
    Points points;
    for (int i = 0; i < n; ++i) {
        const auto c = static_cast<std::size_t>(i % 20);
        points.add(cx[c] + spread[c] * normal(random), cy[c] + spread[c] * normal(random));
    }
    return points;
}

TEST(RecordRecycling, RecyclingNeverShowsInTheRows)
{
    std::mt19937 random(15);
    Points uniform;
    testing::randomPoints(15, 200000 / scale, uniform.x, uniform.y);
    expectRecyclingInvisible(uniform, "uniform");
    expectRecyclingInvisible(clusters(100000 / scale, random), "clusters");
    expectRecyclingInvisible(shuffledGrid(300 / (scale / 3 + 1), random), "shuffled grid");
    expectRecyclingInvisible(rings(1, 20000 / scale), "circle");
    expectRecyclingInvisible(rings(100 / scale, 200), "rings");
}

TEST(RecordRecycling, ReadingARecycledRecordIsCaught)
{
    if (!recordPoolsPoisoned()) GTEST_SKIP() << "free records are marked only under AddressSanitizer";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            const ky::CallScope call{[](const std::string&) {}};
            siteCount = 100;
            sweepSetup();
            initPool(halfEdgePool, sizeof(HalfEdge));
            auto* h = static_cast<HalfEdge*>(takeRecord(halfEdgePool));
            h->key = 1.0;
            returnRecord(h, halfEdgePool);
            const volatile double* key = &h->key;
            std::printf("%g\n", *key);
        },
        "use-after-poison");
    // Handed out again, the record is readable.
    const ky::CallScope call{[](const std::string&) {}};
    siteCount = 100;
    sweepSetup();
    initPool(halfEdgePool, sizeof(HalfEdge));
    auto* h = static_cast<HalfEdge*>(takeRecord(halfEdgePool));
    returnRecord(h, halfEdgePool);
    h = static_cast<HalfEdge*>(takeRecord(halfEdgePool));
    h->key = 2.0;
    EXPECT_EQ(h->key, 2.0);
}

}  // namespace
}  // namespace sweeptri
