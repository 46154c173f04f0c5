#include "beach_line.hpp"

#include "beach_index.hpp"
#include "call_state.hpp"
#include "host_services.hpp"
#include "record_pool.hpp"
#include "scaled_index.hpp"
#include "slot_occupancy.hpp"
#include "sweep_blocks.hpp"
#include "sweep_geometry.hpp"
#include "walk_window.hpp"

namespace sweeptri {

SWEEPTRI_CALL_STATE HalfEdge* leftSentinel = nullptr;
SWEEPTRI_CALL_STATE HalfEdge* rightSentinel = nullptr;
SWEEPTRI_CALL_STATE HalfEdge** slots = nullptr;
SWEEPTRI_CALL_STATE std::int32_t slotCount = 0;
SWEEPTRI_CALL_STATE Site* bottomSite = nullptr;
SWEEPTRI_CALL_STATE BeachSearchStats beachSearchStats{};
#ifdef SWEEPTRI_VERIFY_SEARCH
SWEEPTRI_CALL_STATE bool searchReturnsWalk = false;
#endif

namespace {

// Of the last searches, roughly how many in 1024 went on in the index: a
// running mean over about 16 searches.
SWEEPTRI_CALL_STATE std::int32_t longShare = 0;
constexpr std::int32_t mostlyLong = 128;

void countSearch(bool wentLong) { longShare += ((wentLong ? 1024 : 0) - longShare) / 16; }

}  // namespace

void initBeachLine()
{
    initPool(halfEdgePool, sizeof(HalfEdge));
    resetBeachIndex();
    beachLength = 0;
    beachSearchStats = BeachSearchStats{};
    longShare = 0;
    slotCount = 2 * sizeUnit;
    slots = static_cast<HalfEdge**>(takeSweepBlock(static_cast<std::size_t>(slotCount) * sizeof(HalfEdge*)));
    for (std::int32_t i = 0; i < slotCount; ++i) slots[i] = nullptr;
    leftSentinel = newHalfEdge(nullptr, 0);
    rightSentinel = newHalfEdge(nullptr, 0);
    leftSentinel->left = nullptr;
    leftSentinel->right = rightSentinel;
    rightSentinel->left = leftSentinel;
    rightSentinel->right = nullptr;
    initSlotOccupancy(slotCount);
    placeInSlot(0, leftSentinel);
    placeInSlot(slotCount - 1, rightSentinel);
}

void placeInSlot(std::int32_t b, HalfEdge* h)
{
    slots[b] = h;
    if (h != nullptr)
        markSlotFilled(b);
    else
        markSlotEmpty(b);
}

HalfEdge* newHalfEdge(Edge* edge, int side)
{
    auto* h = static_cast<HalfEdge*>(takeRecord(halfEdgePool));
    h->edge = edge;
    h->side = side;
    h->queueNext = nullptr;
    h->vertex = nullptr;
    h->slotRefs = 0;
    h->indexBlock = nullptr;
    return h;
}

void linkRightOf(HalfEdge* lb, HalfEdge* h)
{
    h->left = lb;
    h->right = lb->right;
    lb->right->left = h;
    lb->right = h;
    ++beachLength;
    if (beachIndexActive) indexLinkRightOf(lb, h);
}

HalfEdge* readSlot(std::int32_t b)
{
    if (b < 0 || b >= slotCount) return nullptr;
    HalfEdge* h = slots[b];
    if (h == nullptr) return nullptr;
    if (h->edge != removedMarker) return h;
    placeInSlot(b, nullptr);
    if (--h->slotRefs == 0) returnRecord(h, halfEdgePool);
    return nullptr;
}

namespace {

#ifdef SWEEPTRI_VERIFY_SEARCH
// The walk carried on from h to its end, for comparison.
HalfEdge* walkToEnd(HalfEdge* h, const Site* p, bool rightward)
{
    if (rightward) {
        do {
            h = h->right;
        } while (h != rightSentinel && isRightOf(h, p));
        return h->left;
    }
    do {
        h = h->left;
    } while (h != leftSentinel && !isRightOf(h, p));
    return h;
}
#endif

// The walk has made its limit of tests and is not over: p is right of
// `right` (or it is the left sentinel) and not right of `notRight` (or it is
// the right sentinel). The index bisects what lies between.
HalfEdge* searchIndex(HalfEdge* right, HalfEdge* notRight, const Site* p, std::int32_t& tests, std::int32_t limit,
                      bool rightward)
{
    if (!beachIndexActive) buildBeachIndex();
    indexUsed();
    ++beachSearchStats.indexSearches;
    HalfEdge* found = indexSearch(right, notRight, p, tests);
    // Once the sweep has treated a crossing of nearly parallel bisectors as
    // none, arcs may stand out of order and the test's answers need not be
    // monotone: the walk may have stopped at an earlier change of them than
    // the bisection (see walk_window.hpp).
    if (collinearWarned)
        found = rightward ? walkAnswerMovingRight(right, found, p, tests) : walkAnswerMovingLeft(notRight, found, p, tests);
    const std::int32_t excess = tests - limit - windowBudget - 2 * ceilLog2(beachLength);
    if (excess > beachSearchStats.worstExcess) beachSearchStats.worstExcess = excess;
#ifdef SWEEPTRI_VERIFY_SEARCH
    HalfEdge* walked = rightward ? walkToEnd(right, p, true) : walkToEnd(notRight, p, false);
    if (walked != found) ++beachSearchStats.disagreements;
    if (searchReturnsWalk) return walked;
#endif
    return found;
}

}  // namespace

HalfEdge* findLeftOf(const Site* p)
{
    const std::int32_t b = scaledIndex(p->x, minX, spanX, slotCount);
    // The start: the slot's half-edge, or else the nearest filled slot's,
    // the left one first at equal distance. Slots 0 and slotCount - 1 are
    // never empty. Removed half-edges met on the way are discarded.
    HalfEdge* h = readSlot(b);
    if (h == nullptr) {
        std::int32_t left = filledSlotAtOrBelow(b - 1), right = filledSlotAtOrAbove(b + 1);
        for (;;) {
            if (right < 0 || (left >= 0 && b - left <= right - b)) {
                if ((h = readSlot(left)) != nullptr) break;
                left = filledSlotAtOrBelow(left - 1);
            } else {
                if ((h = readSlot(right)) != nullptr) break;
                right = filledSlotAtOrAbove(right + 1);
            }
        }
    }

    // The walk: right while p is right of the next half-edge, else left
    // until p is right of one. Past its limit of tests the index takes over
    // from where the walk stands. Where searches keep running long (crowded
    // x, circles) the index is used sooner; where they rarely do, the index
    // is dropped when it goes unused (see beach_index.cpp).
    const std::int32_t limit = longShare > mostlyLong ? shortWalkTestLimit : walkTestLimit;
    const std::int64_t indexSearchesBefore = beachSearchStats.indexSearches;
    std::int32_t tests = 0;
    if (h == leftSentinel || (h != rightSentinel && (++tests, isRightOf(h, p)))) {
        for (;;) {
            HalfEdge* next = h->right;
            if (next == rightSentinel) break;
            if (tests == limit) {
                h = searchIndex(h, rightSentinel, p, tests, limit, true);
                break;
            }
            ++tests;
            if (!isRightOf(next, p)) break;
            h = next;
        }
    } else {
        for (;;) {
            HalfEdge* next = h->left;
            if (next == leftSentinel) {
                h = next;
                break;
            }
            if (tests == limit) {
                h = searchIndex(leftSentinel, h, p, tests, limit, false);
                break;
            }
            ++tests;
            h = next;
            if (isRightOf(h, p)) break;
        }
    }
    ++beachSearchStats.searches;
    beachSearchStats.tests += tests;
    countSearch(beachSearchStats.indexSearches != indexSearchesBefore);

    if (b > 0 && b < slotCount - 1) {
        // readSlot(b) above cleared a removed half-edge from this slot, so
        // the one replaced here is live: its count may reach 0, and it goes
        // back to the pool when it leaves the beach line.
        if (slots[b] != nullptr) --slots[b]->slotRefs;
        placeInSlot(b, h);
        ++h->slotRefs;
    }
    return h;
}

void unlinkHalfEdge(HalfEdge* h)
{
    h->left->right = h->right;
    h->right->left = h->left;
    --beachLength;
    if (beachIndexActive) indexUnlink(h);
    // Once out of the beach line, a half-edge is reachable only through the
    // slots that refer to it: it is out of the queue (the caller took or
    // withdrew its event), and no neighbour links to it any more. Without
    // such a slot nothing reads it again.
    if (h->slotRefs == 0) {
        returnRecord(h, halfEdgePool);
        return;
    }
    h->edge = removedMarker;
}

Site* leftSiteOf(const HalfEdge* h)
{
    if (h->edge == nullptr) return bottomSite;
    return h->side == 0 ? h->edge->site[0] : h->edge->site[1];
}

Site* rightSiteOf(const HalfEdge* h)
{
    if (h->edge == nullptr) return bottomSite;
    return h->side == 0 ? h->edge->site[1] : h->edge->site[0];
}

}  // namespace sweeptri
