#include "sweep_driver.hpp"

#include "beach_line.hpp"
#include "event_queue.hpp"
#include "host_services.hpp"
#include "record_pool.hpp"
#include "result_certificate.hpp"
#include "sweep_geometry.hpp"

namespace sweeptri {

namespace {

void handleSiteEvent(Site* s)
{
    HalfEdge* lbnd = findLeftOf(s);
    HalfEdge* rbnd = rightNeighbour(lbnd);
    Site* bot = rightSiteOf(lbnd);
    Edge* e = makeBisector(bot, s);

    HalfEdge* b1 = newHalfEdge(e, 0);
    linkRightOf(lbnd, b1);
    if (Site* p = crossBisectors(lbnd, b1)) requeueEvent(lbnd, p, pointDistance(p, s));
    HalfEdge* b2 = newHalfEdge(e, 1);
    linkRightOf(b1, b2);
    if (Site* p = crossBisectors(b2, rbnd)) queueEvent(b2, p, pointDistance(p, s));
}

void handleCircleEvent()
{
    HalfEdge* lbnd = takeEarliest();
    HalfEdge* llbnd = leftNeighbour(lbnd);
    HalfEdge* rbnd = rightNeighbour(lbnd);
    HalfEdge* rrbnd = rightNeighbour(rbnd);
    Site* bot = leftSiteOf(lbnd);
    Site* top = rightSiteOf(rbnd);
    const Site* mid = rightSiteOf(lbnd);
    emitTriangle(bot, top, mid);

    Site* v = lbnd->vertex;
    setEdgeEnd(lbnd->edge, lbnd->side);
    setEdgeEnd(rbnd->edge, rbnd->side);
    unlinkHalfEdge(lbnd);
    unqueueEvent(rbnd);
    unlinkHalfEdge(rbnd);

    int side = 0;
    if (bot->y > top->y) {
        Site* lower = top;
        top = bot;
        bot = lower;
        side = 1;
    }
    Edge* e = makeBisector(bot, top);
    HalfEdge* h = newHalfEdge(e, side);
    linkRightOf(llbnd, h);
    setEdgeEnd(e, 1 - side);
    // The queue's reference was the vertex's only one: edges keep the row,
    // not the vertex, and lbnd, the one half-edge that still names it, has
    // left the beach line (a removed half-edge is read for its edge and
    // slot count only). So the vertex goes back to the Site pool here, and
    // nothing reads it again.
    releaseSite(v);

    if (Site* p = crossBisectors(llbnd, h)) requeueEvent(llbnd, p, pointDistance(p, bot));
    if (Site* p = crossBisectors(h, rrbnd)) queueEvent(h, p, pointDistance(p, bot));
}

}  // namespace

void runSweep(SiteSource source)
{
    initEventQueue();
    bottomSite = source();
    initBeachLine();
    Site* newSite = source();
    for (;;) {
        EventPoint event{};
        const bool queueEmpty = isQueueEmpty();
        if (!queueEmpty) event = earliestEvent();
        if (newSite != nullptr &&
            (queueEmpty || newSite->y < event.y || (newSite->y == event.y && newSite->x < event.x))) {
            handleSiteEvent(newSite);
            newSite = source();
        } else if (!queueEmpty) {
            handleCircleEvent();
        } else {
            break;
        }
    }
}

void emitTriangle(const Site* left, const Site* right, const Site* middle)
{
    if (triangleCount >= triangleCapacity) {
        if (certifying) throw SweepOverflow{};
        kyxErrMsgTxt(capacityError);
    }
    writePosition[0] = static_cast<double>(left->number) + 1.0;
    writePosition[triangleCapacity] = static_cast<double>(right->number) + 1.0;
    writePosition[2 * static_cast<std::ptrdiff_t>(triangleCapacity)] = static_cast<double>(middle->number) + 1.0;
    ++writePosition;
    ++triangleCount;
    if (certifying) certifyEmittedRow(left, right, middle);
}

}  // namespace sweeptri
