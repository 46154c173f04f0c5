#include "beach_line.hpp"

#include "ky.h"
#include "record_pool.hpp"
#include "scaled_index.hpp"
#include "sweep_geometry.hpp"

namespace sweeptri {

HalfEdge* leftSentinel = nullptr;
HalfEdge* rightSentinel = nullptr;
HalfEdge** slots = nullptr;
std::int32_t slotCount = 0;
Site* bottomSite = nullptr;

void initBeachLine()
{
    initPool(halfEdgePool, sizeof(HalfEdge));
    slotCount = 2 * sizeUnit;
    slots = static_cast<HalfEdge**>(kyCalloc(static_cast<std::size_t>(slotCount) * sizeof(HalfEdge*), 1));
    for (std::int32_t i = 0; i < slotCount; ++i) slots[i] = nullptr;
    leftSentinel = newHalfEdge(nullptr, 0);
    rightSentinel = newHalfEdge(nullptr, 0);
    leftSentinel->left = nullptr;
    leftSentinel->right = rightSentinel;
    rightSentinel->left = leftSentinel;
    rightSentinel->right = nullptr;
    slots[0] = leftSentinel;
    slots[slotCount - 1] = rightSentinel;
}

HalfEdge* newHalfEdge(Edge* edge, int side)
{
    auto* h = static_cast<HalfEdge*>(takeRecord(halfEdgePool));
    h->edge = edge;
    h->side = side;
    h->queueNext = nullptr;
    h->vertex = nullptr;
    h->slotRefs = 0;
    return h;
}

void linkRightOf(HalfEdge* lb, HalfEdge* h)
{
    h->left = lb;
    h->right = lb->right;
    lb->right->left = h;
    lb->right = h;
}

HalfEdge* readSlot(std::int32_t b)
{
    if (b < 0 || b >= slotCount) return nullptr;
    HalfEdge* h = slots[b];
    if (h == nullptr) return nullptr;
    if (h->edge != removedMarker) return h;
    slots[b] = nullptr;
    if (--h->slotRefs == 0) returnRecord(h, halfEdgePool);
    return nullptr;
}

HalfEdge* findLeftOf(const Site* p)
{
    const std::int32_t b = scaledIndex(p->x, minX, spanX, slotCount);
    HalfEdge* h = readSlot(b);
    for (std::int32_t i = 1; h == nullptr; ++i) {
        h = readSlot(b - i);
        if (h == nullptr) h = readSlot(b + i);
    }

    if (h == leftSentinel || (h != rightSentinel && isRightOf(h, p))) {
        do {
            h = h->right;
        } while (h != rightSentinel && isRightOf(h, p));
        h = h->left;
    } else {
        do {
            h = h->left;
        } while (h != leftSentinel && !isRightOf(h, p));
    }

    if (b > 0 && b < slotCount - 1) {
        // readSlot(b) above cleared a removed half-edge from this slot, so
        // the one replaced here is live: its count may reach 0, and it goes
        // back to the pool when it leaves the beach line.
        if (slots[b] != nullptr) --slots[b]->slotRefs;
        slots[b] = h;
        ++h->slotRefs;
    }
    return h;
}

void unlinkHalfEdge(HalfEdge* h)
{
    h->left->right = h->right;
    h->right->left = h->left;
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
