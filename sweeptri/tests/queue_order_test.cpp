// The heap form of the event queue must take events in exactly the order of
// the chained buckets: every call gives the same rows, warnings and errors
// with either, on structured inputs too, and a random mix of queue
// operations (ties, removals, NaN keys) takes the same half-edges in the
// same order.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "beach_line.hpp"
#include "call_context.hpp"
#include "call_runner.hpp"
#include "event_queue.hpp"
#include "plugin_testing.hpp"
#include "record_pool.hpp"
#include "sweep_core_calls.hpp"
#include "triangulate_call.hpp"

namespace sweeptri {
namespace {

struct ChainedOnly {
    ChainedOnly() { chainedQueueOnly = true; }
    ~ChainedOnly() { chainedQueueOnly = false; }
};

void chainedCall(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[])
{
    const ChainedOnly chained;
    triangulateCall(outputCount, outputs, inputCount, inputs);
}

// The sweep core on sites in the given order (out of order, too: the
// plug-in refuses such "sorted" input before the sweep, but the queue must
// still behave alike), with the heap and with the chains.
void expectSameCoreRows(const std::vector<double>& x, const std::vector<double>& y, const char* what)
{
    SCOPED_TRACE(what);
    const testing::Triangulation heap = testing::sweepInGivenOrder(x, y);
    testing::Triangulation chained;
    {
        const ChainedOnly chainedOnly;
        chained = testing::sweepInGivenOrder(x, y);
    }
    EXPECT_EQ(heap.error, chained.error);
    EXPECT_EQ(heap.warnings, chained.warnings);
    EXPECT_EQ(heap.rows, chained.rows);
}

// Same rows, warnings and error with the heap and with the chains through
// the plug-in; returns the number of rows.
int expectSameRows(const std::vector<double>& x, const std::vector<double>& y, const char* what)
{
    SCOPED_TRACE(what);
    const auto xs = ky::testing::row(x);
    const auto ys = ky::testing::row(y);
    const std::vector<const kyArray*> inputs{xs.get(), ys.get()};
    const ky::CallOutcome heap = ky::testing::call(triangulateCall, 1, inputs);
    const ky::CallOutcome chained = ky::testing::call(chainedCall, 1, inputs);
    EXPECT_EQ(heap.error, chained.error);
    EXPECT_EQ(heap.warnings, chained.warnings);
    EXPECT_EQ(heap.result == nullptr, chained.result == nullptr);
    if (!heap.result || !chained.result) return 0;
    EXPECT_EQ(heap.result->m, chained.result->m);
    if (heap.result->m != chained.result->m) return 0;
    EXPECT_EQ(std::memcmp(heap.result->data, chained.result->data, 3 * sizeof(double) * heap.result->m), 0);
    return heap.result->m;
}

struct Points {
    std::vector<double> x, y;
    void add(double px, double py) { x.push_back(px), y.push_back(py); }
};

template <class Random>
void shuffle(Points& points, Random& random)
{
    for (std::size_t i = points.x.size(); i > 1; --i) {
        const std::size_t j = random() % i;
        std::swap(points.x[i - 1], points.x[j]);
        std::swap(points.y[i - 1], points.y[j]);
    }
}

void sortByYThenX(Points& points)
{
    std::vector<std::size_t> order(points.x.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return points.y[a] < points.y[b] || (points.y[a] == points.y[b] && points.x[a] < points.x[b]);
    });
    Points sorted;
    for (std::size_t i : order) sorted.add(points.x[i], points.y[i]);
    points = sorted;
}

Points grid(int side, double angle)
{
    Points points;
    const double c = std::cos(angle), s = std::sin(angle);
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j) points.add(c * i - s * j, s * i + c * j);
    return points;
}

// rings concentric circles of perRing points each, centred on (cx, cy).
Points rings(int count, int perRing, double cx = 0, double cy = 0)
{
    Points points;
    for (int r = 1; r <= count; ++r)
        for (int k = 0; k < perRing; ++k) {
            const double t = 2 * std::numbers::pi * k / perRing;
            points.add(cx + r * std::cos(t), cy + r * std::sin(t));
        }
    return points;
}

TEST(QueueOrder, RandomAndClusteredPointsGiveTheSameRows)
{
    std::mt19937_64 random(31);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> normal(0.0, 1.0);
    for (int n : {200, 3000, 20000}) {
        Points points;
        for (int i = 0; i < n; ++i) points.add(unit(random), unit(random));
        EXPECT_GT(expectSameRows(points.x, points.y, "uniform"), n);
        // "sorted" with input out of order (the y extent may be negative).
        expectSameCoreRows(points.x, points.y, "uniform, falsely sorted");
        for (int i = 0; i < n; ++i) {
            const double spread = (i % 7 == 0) ? 0.1 : 0.001;
            points.x[i] = (i % 5) * 0.2 + spread * normal(random);
            points.y[i] = (i % 3) * 0.3 + spread * normal(random);
        }
        expectSameRows(points.x, points.y, "clusters");
    }
}

TEST(QueueOrder, GridsCirclesRingsAndCurvesGiveTheSameRows)
{
    std::mt19937_64 random(5);
    Points square = grid(60, 0);
    EXPECT_GT(expectSameRows(square.x, square.y, "grid"), 3000);
    shuffle(square, random);
    expectSameRows(square.x, square.y, "shuffled grid");
    expectSameCoreRows(square.x, square.y, "shuffled grid, falsely sorted");
    for (double angle : {0.1, std::numbers::pi / 4, std::numbers::pi / 6}) {
        const Points turned = grid(40, angle);
        expectSameRows(turned.x, turned.y, "rotated grid");
    }
    // All events of a circle fall due at nearly the same key.
    Points circle = rings(1, 2000, 0.25, -3);
    EXPECT_GT(expectSameRows(circle.x, circle.y, "circle"), 1900);
    shuffle(circle, random);
    expectSameCoreRows(circle.x, circle.y, "circle, falsely sorted");
    const Points ringSet = rings(20, 100);
    expectSameRows(ringSet.x, ringSet.y, "20 rings of 100");

    Points parabola, lines;
    for (int i = -1500; i < 1500; ++i) parabola.add(i / 3000.0, (i / 3000.0) * (i / 3000.0));
    expectSameRows(parabola.x, parabola.y, "parabola");
    for (int i = 0; i < 1500; ++i) lines.add(i / 1500.0, 0), lines.add(i / 1500.0, 1);
    expectSameRows(lines.x, lines.y, "two parallel lines");
    // Integer grid with repeats, in the given order: errors must agree too.
    Points repeats;
    for (int i = 0; i < 3000; ++i) repeats.add(static_cast<double>(random() % 40), static_cast<double>(random() % 40));
    expectSameCoreRows(repeats.x, repeats.y, "grid with repeats, falsely sorted");
}

TEST(QueueOrder, OverflowingGeometryGivesTheSameRows)
{
    // Coordinates whose geometry overflows give NaN event keys, unless the
    // entry point scales them first.
    std::mt19937_64 random(8);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int n : {300, 5000}) {
        Points points;
        for (int i = 0; i < n; ++i) points.add(unit(random) * 1e300, (unit(random) - 0.5) * 1e300);
        expectSameRows(points.x, points.y, "1e300 uniform");
        Points scaledGrid = grid(30, 0.3);
        for (double& v : scaledGrid.x) v *= 1e300;
        for (double& v : scaledGrid.y) v *= 1.5e300;
        expectSameRows(scaledGrid.x, scaledGrid.y, "1e300 grid");
        // The plug-in scales such coordinates first; the core on the sorted
        // sites still meets NaN keys and moves to the chained buckets.
        sortByYThenX(points);
        expectSameCoreRows(points.x, points.y, "1e300 uniform, sorted, unscaled");
        sortByYThenX(scaledGrid);
        expectSameCoreRows(scaledGrid.x, scaledGrid.y, "1e300 grid, sorted, unscaled");
    }
}

// The queue driven directly in both forms with the same operations.
class QueueOperations : public ::testing::Test {
protected:
    ky::CallScope call{[](const std::string&) {}};
    std::vector<Site> vertices = std::vector<Site>(4096);

    void setUpCall(std::int32_t n)
    {
        // Vertices released by an earlier run are the Site pool's records.
        vertices = std::vector<Site>(4096);
        siteCount = n;
        minX = 0, maxX = 10, minY = 0, maxY = 10;
        initPool(sitePool, sizeof(Site));
        sweepSetup();
        initEventQueue();
        initBeachLine();
    }

    // Runs a random mix of queueing, withdrawing and taking, with few
    // distinct keys and x (many ties) and, with nanEvery > 0, a NaN key now
    // and then; returns the indices of the half-edges taken, in order.
    std::vector<int> run(std::uint64_t seed, int nanEvery)
    {
        setUpCall(100);  // 40 buckets over [0, 10]
        std::mt19937_64 random(seed);
        std::vector<HalfEdge*> halfEdges;
        for (int i = 0; i < 512; ++i) halfEdges.push_back(newHalfEdge(nullptr, 0));
        std::vector<int> taken;
        int nextVertex = 0;
        for (int step = 0; step < 3000 && nextVertex < 4096; ++step) {
            const int i = static_cast<int>(random() % halfEdges.size());
            HalfEdge* h = halfEdges[i];
            const auto choice = random() % 8;
            if (choice < 4 && h->vertex == nullptr) {
                Site& v = vertices[nextVertex++];
                v = Site{static_cast<double>(random() % 3), static_cast<double>(random() % 4) * 2.5, 0, 0};
                double offset = static_cast<double>(random() % 3);
                if (nanEvery > 0 && random() % nanEvery == 0) offset = NAN;
                queueEvent(h, &v, offset);
            } else if (choice < 6) {
                unqueueEvent(h);  // with or without an event
            } else if (!isQueueEmpty()) {
                earliestEvent();
                HalfEdge* first = takeEarliest();
                for (int k = 0; k < static_cast<int>(halfEdges.size()); ++k)
                    if (halfEdges[k] == first) taken.push_back(k);
                first->vertex = nullptr;  // free to be queued again
            }
        }
        while (!isQueueEmpty()) {
            earliestEvent();
            HalfEdge* first = takeEarliest();
            for (int k = 0; k < static_cast<int>(halfEdges.size()); ++k)
                if (halfEdges[k] == first) taken.push_back(k);
        }
        return taken;
    }
};

TEST_F(QueueOperations, HeapTakesWhatTheChainsTake)
{
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        for (int nanEvery : {0, 50}) {
            const std::vector<int> heapOrder = run(seed, nanEvery);
            EXPECT_EQ(chainedQueue, nanEvery > 0) << seed;  // switched at the first NaN key
            std::vector<int> chainedOrder;
            {
                const ChainedOnly chained;
                chainedOrder = run(seed, nanEvery);
            }
            EXPECT_GT(heapOrder.size(), 500u);
            EXPECT_EQ(heapOrder, chainedOrder) << "seed " << seed << ", NaN every " << nanEvery;
        }
    }
}

TEST_F(QueueOperations, EqualKeyAndXComeOutLastQueuedFirst)
{
    for (bool chainedOnly : {false, true}) {
        chainedQueueOnly = chainedOnly;
        setUpCall(100);
        std::vector<HalfEdge*> twins;
        for (int k = 0; k < 40; ++k) {
            twins.push_back(newHalfEdge(nullptr, 0));
            vertices[k] = Site{1.0, 2.0, 0, 0};
            queueEvent(twins.back(), &vertices[k], 3.0);
        }
        // Withdrawing some keeps the others in order; a later twin goes first.
        for (int k = 0; k < 40; k += 3) unqueueEvent(twins[k]);
        HalfEdge* late = newHalfEdge(nullptr, 0);
        vertices[40] = Site{1.0, 2.0, 0, 0};
        queueEvent(late, &vertices[40], 3.0);
        earliestEvent();
        EXPECT_EQ(takeEarliest(), late) << chainedOnly;
        for (int k = 39; k >= 0; --k) {
            if (k % 3 == 0) continue;
            const EventPoint point = earliestEvent();
            EXPECT_EQ(point.y, 5.0);
            EXPECT_EQ(takeEarliest(), twins[k]) << chainedOnly << " " << k;
        }
        EXPECT_TRUE(isQueueEmpty());
        chainedQueueOnly = false;
    }
}

}  // namespace
}  // namespace sweeptri
