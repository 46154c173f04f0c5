// The sweep's pieces driven directly: pools, geometry, the right-of test,
// the beach line's slots and the event queue's order.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "beach_line.hpp"
#include "call_context.hpp"
#include "event_queue.hpp"
#include "record_pool.hpp"
#include "sweep_geometry.hpp"

namespace sweeptri {
namespace {

// A running host call, so that kyCalloc and the warnings work; state is set
// as the entry point would set it for n sites on [0, spanX] x [0, spanY].
class SweepPieces : public ::testing::Test {
protected:
    ky::CallScope call{[this](const std::string& text) { warnings.push_back(text); }};
    std::vector<std::string> warnings;

    void setUpCall(std::int32_t n, double xSpan = 10, double ySpan = 10)
    {
        collinearWarned = false;
        siteCount = n;
        minX = 0;
        maxX = xSpan;
        minY = 0;
        maxY = ySpan;
        initPool(sitePool, sizeof(Site));
        sweepSetup();
    }
};

Site site(double x, double y) { return Site{x, y, 0, 0}; }

TEST_F(SweepPieces, SizeUnitIsTheIntegerSquareRootOfNPlusFour)
{
    for (auto [n, unit] : {std::pair{1, 2}, {5, 3}, {12, 4}, {1000000, 1000}}) {
        setUpCall(n);
        EXPECT_EQ(sizeUnit, unit) << n;
    }
    setUpCall(12);
    initEventQueue();
    EXPECT_EQ(bucketCount, 16);
}

TEST_F(SweepPieces, PoolHandsOutBlocksLastFirstAndReusesReturnedRecords)
{
    setUpCall(5);  // blocks of 3 records
    auto* first = static_cast<Edge*>(takeRecord(edgePool));
    auto* second = static_cast<Edge*>(takeRecord(edgePool));
    auto* third = static_cast<Edge*>(takeRecord(edgePool));
    EXPECT_EQ(second + 1, first);
    EXPECT_EQ(third + 1, second);
    // The last record of a block still carries the link to its successor in
    // its first word; every other field is zero.
    EXPECT_EQ(first->b, 0.0);
    EXPECT_EQ(first->site[1], nullptr);
    auto* fourth = static_cast<Edge*>(takeRecord(edgePool));
    EXPECT_TRUE(fourth < third || fourth > first);  // a second block
    returnRecord(second, edgePool);
    EXPECT_EQ(takeRecord(edgePool), second);
}

TEST_F(SweepPieces, SiteGoesBackToItsPoolWhenTheLastHolderLetsGo)
{
    setUpCall(5);
    Site s = site(1, 2);
    retainSite(&s);
    retainSite(&s);
    releaseSite(&s);
    EXPECT_EQ(s.refCount, 1);
    EXPECT_EQ(s.x, 1.0);
    releaseSite(&s);
    EXPECT_EQ(takeRecord(sitePool), &s);
}

TEST_F(SweepPieces, BisectorTakesTheUnitCoefficientOfTheLargerDifference)
{
    setUpCall(5);
    struct Case { Site s1, s2; double a, b, c; };
    const Case cases[] = {{site(0, 0), site(2, 0), 1, 0, 1},
                          {site(0, 0), site(0, 2), 0, 1, 1},
                          {site(0, 0), site(1, 1), 1, 1, 1},
                          {site(0, 0), site(3, 1), 1, 1.0 / 3.0, 5.0 / 3.0},
                          {site(2, 0), site(1, 2), -0.5, 1, 0.25}};
    for (Case k : cases) {
        Edge* e = makeBisector(&k.s1, &k.s2);
        EXPECT_EQ(e->a, k.a);
        EXPECT_EQ(e->b, k.b);
        EXPECT_EQ(e->c, k.c);
        EXPECT_EQ(k.s1.refCount, 1);
        EXPECT_EQ(e->site[1], &k.s2);
    }
}

TEST_F(SweepPieces, EdgeRetiresWhenItsSecondEndIsSet)
{
    setUpCall(5);
    Site s1 = site(0, 0), s2 = site(2, 0);
    Edge* e = makeBisector(&s1, &s2);
    setEdgeEnd(e, 1);
    EXPECT_TRUE(hasEnd(e, 1));
    EXPECT_FALSE(hasEnd(e, 0));
    EXPECT_EQ(s1.refCount, 1);
    setEdgeEnd(e, 0);
    EXPECT_EQ(takeRecord(edgePool), e);
    // Both sites are back in the Site pool, the last released first.
    EXPECT_EQ(takeRecord(sitePool), &s2);
    EXPECT_EQ(takeRecord(sitePool), &s1);
}

TEST_F(SweepPieces, CrossingIsTestedAgainstTheLowerTopSite)
{
    setUpCall(5);
    initBeachLine();
    Site s0 = site(0, 0), s1 = site(2, 0), s2 = site(1, 2);
    Edge* e1 = makeBisector(&s0, &s1);
    Edge* e2 = makeBisector(&s1, &s2);
    HalfEdge* h1 = newHalfEdge(e1, 0);
    HalfEdge* h2 = newHalfEdge(e2, 0);
    Site* v = crossBisectors(h1, h2);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->x, 1.0);
    EXPECT_EQ(v->y, 0.75);
    EXPECT_EQ(v->refCount, 0);
    h1->side = 1;  // the crossing is left of (2, 0): not on a side-1 boundary
    EXPECT_EQ(crossBisectors(h1, h2), nullptr);
    EXPECT_EQ(crossBisectors(leftSentinel, h2), nullptr);
    EXPECT_TRUE(warnings.empty());
}

TEST_F(SweepPieces, NearlyParallelBisectorsWarnOnceAndNeverCross)
{
    setUpCall(5);
    initBeachLine();
    Site top1 = site(0, 1), top2 = site(5, 1);
    Edge e1{1.0, 0.0, 1.0, {&top1, &top1}};
    Edge e2{1.0, 0.0, 2.0, {&top2, &top2}};
    HalfEdge* h1 = newHalfEdge(&e1, 0);
    HalfEdge* h2 = newHalfEdge(&e2, 0);
    EXPECT_EQ(crossBisectors(h1, h2), nullptr);
    e2.b = 0.5e-10;  // d = 0.5e-10: still parallel
    EXPECT_EQ(crossBisectors(h1, h2), nullptr);
    EXPECT_EQ(warnings.size(), 1u);
    // A determinant of exactly 1e-10 counts as a crossing.
    e1 = Edge{0.0, 1.0, 1.0, {&top1, &top1}};
    e2 = Edge{-1.0e-10, 0.0, 0.0, {&top2, &top2}};
    EXPECT_EQ(e1.a * e2.b - e1.b * e2.a, 1.0e-10);
    h1->side = 1;  // the crossing (0, 1) lies right of h1's top site (0, 1)
    EXPECT_NE(crossBisectors(h1, h2), nullptr);
    // Edges that share their top site never cross.
    e2.site[1] = &top1;
    EXPECT_EQ(crossBisectors(h1, h2), nullptr);
}

TEST_F(SweepPieces, RightOfTestFollowsTheSideAndTheQuickTests)
{
    setUpCall(5);
    initBeachLine();
    Site s1 = site(0, 0), s2 = site(2, 0);
    Edge* vertical = makeBisector(&s1, &s2);  // x = 1, reference site (2, 0)
    HalfEdge* h0 = newHalfEdge(vertical, 0);
    HalfEdge* h1 = newHalfEdge(vertical, 1);
    Site right = site(1.5, 5), left = site(0.5, 5), beyond = site(3, 1), onTop = site(2, 7);
    EXPECT_TRUE(isRightOf(h0, &right));
    EXPECT_FALSE(isRightOf(h0, &left));
    EXPECT_TRUE(isRightOf(h0, &beyond));
    EXPECT_FALSE(isRightOf(h1, &onTop));  // equal x is not right of the top site
    EXPECT_FALSE(isRightOf(h1, &right));
    EXPECT_FALSE(isRightOf(h1, &left));
    // Right of the top site, a side-1 boundary needs the quick tests: above
    // the line y = 0 quick test A decides, below it the full test.
    Site above = site(3, 1), below = site(3, -1);
    EXPECT_FALSE(isRightOf(h1, &above));
    EXPECT_TRUE(isRightOf(h1, &below));

    // A steep bisector (b is the unit coefficient): the parabola test.
    Site low = site(0, 0), high = site(1, 4);
    Edge* steep = makeBisector(&low, &high);
    ASSERT_EQ(steep->b, 1.0);
    HalfEdge* g0 = newHalfEdge(steep, 0);
    Site nearLeft = site(0.4, 3), farRight = site(0.9, 10);
    EXPECT_FALSE(isRightOf(g0, &nearLeft));
    EXPECT_TRUE(isRightOf(g0, &farRight));
}

TEST_F(SweepPieces, FreshBeachLineFindsTheLeftSentinelAndClaimsInnerSlots)
{
    setUpCall(12, 10);  // 8 slots over x in [0, 10]
    initEventQueue();
    Site bottom = site(5, 0);
    bottomSite = &bottom;
    initBeachLine();
    ASSERT_EQ(slotCount, 8);
    Site middle = site(5, 1), atMax = site(10, 1), atMin = site(0, 1);
    EXPECT_EQ(findLeftOf(&middle), leftSentinel);
    EXPECT_EQ(slots[4], leftSentinel);
    EXPECT_EQ(leftSentinel->slotRefs, 1);
    EXPECT_EQ(rightSiteOf(leftSentinel), &bottom);
    EXPECT_EQ(leftSiteOf(rightSentinel), &bottom);
    // The end slots keep their sentinels and are never counted.
    EXPECT_EQ(findLeftOf(&atMax), leftSentinel);
    EXPECT_EQ(findLeftOf(&atMin), leftSentinel);
    EXPECT_EQ(slots[0], leftSentinel);
    EXPECT_EQ(slots[7], rightSentinel);
    EXPECT_EQ(leftSentinel->slotRefs, 1);
    EXPECT_EQ(rightSentinel->slotRefs, 0);
}

TEST_F(SweepPieces, OutwardSearchPrefersTheLeftSlotAndPurgesRemovedHalfEdges)
{
    setUpCall(12, 8);  // 8 slots, slot k covers x in [k, k+1)
    Site bottom = site(4, 0), other = site(6, 1);
    bottomSite = &bottom;
    initBeachLine();
    Edge* e = makeBisector(&bottom, &other);  // x + 0.5 y = 5.25
    HalfEdge* a = newHalfEdge(e, 0);
    HalfEdge* b = newHalfEdge(e, 1);
    HalfEdge* gone = newHalfEdge(e, 0);
    linkRightOf(leftSentinel, a);
    linkRightOf(a, b);
    gone->edge = removedMarker;
    placeInSlot(3, a);
    placeInSlot(5, gone);
    a->slotRefs = gone->slotRefs = 1;
    // Slot 4 is empty; the left slot at distance 1 is read first and holds
    // a live half-edge, so slot 5 is not read (and not purged). (4.5, 2)
    // lies left of a: the answer is the left sentinel.
    Site probe = site(4.5, 2);
    EXPECT_EQ(findLeftOf(&probe), leftSentinel);
    EXPECT_EQ(slots[4], leftSentinel);
    EXPECT_EQ(slots[5], gone);

    // A removed half-edge reads as empty, is cleared, and goes back to the
    // pool only with its last slot.
    placeInSlot(2, a);
    a->slotRefs = 2;
    unlinkHalfEdge(a);
    EXPECT_EQ(leftSentinel->right, b);
    EXPECT_EQ(b->left, leftSentinel);
    EXPECT_EQ(a->right, b);  // keeps its own links
    EXPECT_EQ(readSlot(3), nullptr);
    EXPECT_EQ(slots[3], nullptr);
    EXPECT_EQ(a->slotRefs, 1);
    EXPECT_NE(takeRecord(halfEdgePool), a);
    EXPECT_EQ(readSlot(2), nullptr);
    EXPECT_EQ(takeRecord(halfEdgePool), a);
    EXPECT_EQ(readSlot(-1), nullptr);
    EXPECT_EQ(readSlot(8), nullptr);

    // With no slot referring to it, a half-edge goes back as it leaves.
    unlinkHalfEdge(b);
    EXPECT_EQ(leftSentinel->right, rightSentinel);
    EXPECT_EQ(rightSentinel->left, leftSentinel);
    EXPECT_EQ(takeRecord(halfEdgePool), b);
}

TEST_F(SweepPieces, VerticalLineOfSitesSearchesFromSlotZero)
{
    setUpCall(12, 0);  // spanX 0
    Site bottom = site(3, 0);
    bottomSite = &bottom;
    initBeachLine();
    Site p = site(3, 5);
    EXPECT_EQ(findLeftOf(&p), leftSentinel);
    for (std::int32_t k = 1; k < slotCount - 1; ++k) EXPECT_EQ(slots[k], nullptr);
}

class EventQueueOrder : public SweepPieces {
protected:
    std::vector<HalfEdge*> halfEdges;
    std::vector<Site> vertices = std::vector<Site>(16);

    HalfEdge* queued(int k, double x, double key)
    {
        vertices[k] = site(x, 0);
        HalfEdge* h = newHalfEdge(nullptr, 0);
        queueEvent(h, &vertices[k], key);
        return h;
    }
    HalfEdge* next()
    {
        earliestEvent();
        return takeEarliest();
    }
    void SetUp() override
    {
        setUpCall(12, 10, 10);  // 16 buckets over y in [0, 10]
        initEventQueue();
        initBeachLine();
    }
};

TEST_F(EventQueueOrder, KeysMapOntoClampedBuckets)
{
    HalfEdge h{};
    for (auto [key, bucket] : {std::pair{5.0, 8}, {10.0, 15}, {1e12, 15}, {-3.0, 0}, {NAN, 0}}) {
        h.key = key;
        EXPECT_EQ(eventBucket(&h), bucket) << key;
    }
}

TEST_F(EventQueueOrder, EqualKeysComeOutByXThenLastQueuedFirst)
{
    HalfEdge* atThree = queued(0, 3, 4);
    HalfEdge* atTwo = queued(1, 2, 4);
    HalfEdge* firstTwin = queued(2, 1, 4);
    HalfEdge* secondTwin = queued(3, 1, 4);
    EXPECT_EQ(eventCount, 4);
    EXPECT_EQ(vertices[0].refCount, 1);
    EXPECT_EQ(next(), secondTwin);
    EXPECT_EQ(next(), firstTwin);
    EXPECT_EQ(next(), atTwo);
    HalfEdge* last = next();
    EXPECT_EQ(last, atThree);
    EXPECT_EQ(last->vertex, &vertices[0]);  // the queue's reference is kept
    EXPECT_TRUE(isQueueEmpty());
}

TEST_F(EventQueueOrder, LowerBucketLowersMinBucketAndRemovalReleasesTheVertex)
{
    HalfEdge* high = queued(0, 1, 8);
    EXPECT_EQ(earliestEvent().y, 8.0);
    EXPECT_EQ(minBucket, 12);
    HalfEdge* low = queued(1, 5, 2);
    EXPECT_EQ(minBucket, 3);
    const EventPoint point = earliestEvent();
    EXPECT_EQ(point.x, 5.0);
    EXPECT_EQ(point.y, 2.0);

    HalfEdge idle{};
    unqueueEvent(&idle);  // no event: nothing changes
    EXPECT_EQ(minBucket, 3);
    EXPECT_EQ(eventCount, 2);

    unqueueEvent(low);
    EXPECT_EQ(low->vertex, nullptr);
    EXPECT_EQ(takeRecord(sitePool), &vertices[1]);  // its count reached 0
    EXPECT_EQ(next(), high);
    EXPECT_TRUE(isQueueEmpty());
}

}  // namespace
}  // namespace sweeptri
