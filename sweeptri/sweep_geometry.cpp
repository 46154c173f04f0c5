#include "sweep_geometry.hpp"

#include <cmath>

#include "host_services.hpp"
#include "record_pool.hpp"
#include "result_certificate.hpp"

namespace sweeptri {

namespace {

// Absolute value as the bisector needs it: positive values unchanged,
// everything else negated.
double magnitude(double v) { return v > 0.0 ? v : -v; }

}  // namespace

Edge* makeBisector(Site* s1, Site* s2)
{
    auto* e = static_cast<Edge*>(takeRecord(edgePool));
    e->site[0] = s1;
    e->site[1] = s2;
    retainSite(s1);
    retainSite(s2);
    e->endsSet = 0;
    e->firstRow = -1;

    const double dx = s2->x - s1->x;
    const double dy = s2->y - s1->y;
    const double c = (dx * dx + dy * dy) * 0.5 + dy * s1->y + dx * s1->x;
    if (magnitude(dx) > magnitude(dy)) {
        e->a = 1.0;
        e->b = dy / dx;
        e->c = c / dx;
    } else {
        e->b = 1.0;
        e->a = dx / dy;
        e->c = c / dy;
    }
    return e;
}

Site* crossBisectors(HalfEdge* h1, HalfEdge* h2)
{
    const Edge* e1 = h1->edge;
    const Edge* e2 = h2->edge;
    if (e1 == nullptr || e2 == nullptr) return nullptr;
    if (e1->site[1] == e2->site[1]) return nullptr;

    const double d = e1->a * e2->b - e1->b * e2->a;
    if (-1.0e-10 < d && d < 1.0e-10) {
        if (!collinearWarned) {
            collinearWarned = true;
            kyxWarnMsgTxt(collinearWarning);
        }
        return nullptr;
    }
    const double x = (e1->c * e2->b - e2->c * e1->b) / d;
    const double y = (e1->a * e2->c - e1->c * e2->a) / d;

    const Site* top1 = e1->site[1];
    const Site* top2 = e2->site[1];
    const bool firstIsLower = top1->y < top2->y || (top1->y == top2->y && top1->x < top2->x);
    const HalfEdge* h = firstIsLower ? h1 : h2;
    const Edge* e = firstIsLower ? e1 : e2;
    const bool rightOfSite = x >= e->site[1]->x;
    if ((rightOfSite && h->side == 0) || (!rightOfSite && h->side == 1)) return nullptr;

    auto* v = static_cast<Site*>(takeRecord(sitePool));
    v->x = x;
    v->y = y;
    v->refCount = 0;
    return v;
}

bool isRightOf(const HalfEdge* h, const Site* p)
{
    const Edge* e = h->edge;
    const Site* top = e->site[1];
    const bool rightOfTop = p->x > top->x;
    if (rightOfTop && h->side == 0) return true;
    if (!rightOfTop && h->side == 1) return false;

    bool above;
    if (e->a == 1.0) {
        const double dyp = p->y - top->y;
        const double dxp = p->x - top->x;
        bool final = false;
        if ((!rightOfTop && e->b < 0.0) || (rightOfTop && !(e->b < 0.0))) {
            above = dyp >= e->b * dxp;
            final = above;
        } else {
            above = p->x + e->b * p->y > e->c;
            if (e->b < 0.0) above = !above;
            final = !above;
        }
        if (!final) {
            const double dxs = top->x - e->site[0]->x;
            above = e->b * (dxp * dxp - dyp * dyp) < dyp * (e->b * e->b * dxs + 2.0 * dxp + dxs);
            if (e->b < 0.0) above = !above;
        }
    } else {
        const double yl = e->c - e->a * p->x;
        const double t1 = p->y - yl;
        const double t2 = p->x - top->x;
        const double t3 = yl - top->y;
        above = t1 * t1 > t2 * t2 + t3 * t3;
    }
    return h->side == 0 ? above : !above;
}

double pointDistance(const Site* p, const Site* q)
{
    const double dy = p->y - q->y;
    const double dx = p->x - q->x;
    return std::sqrt(dy * dy + dx * dx);
}

void setEdgeEnd(Edge* e, int side)
{
    if (certifying) certifyEdgeEnd(e, hasEnd(e, side));
    e->endsSet = static_cast<std::uint8_t>(e->endsSet | (1u << side));
    if (!hasEnd(e, 1 - side)) return;
    releaseSite(e->site[0]);
    releaseSite(e->site[1]);
    returnRecord(e, edgePool);
}

}  // namespace sweeptri
