// The beach line: the left-to-right list of half-edges between two
// sentinels, with a hash index over x (the slots) that gives the search for
// the half-edge left of a new site a nearby starting point.
#pragma once

#include <cstdint>

#include "sweep_state.hpp"

namespace sweeptri {

extern HalfEdge* leftSentinel;
extern HalfEdge* rightSentinel;
extern HalfEdge** slots;
extern std::int32_t slotCount;
extern Site* bottomSite;  // first site in sweep order, beside both sentinels

void initBeachLine();
HalfEdge* newHalfEdge(Edge* edge, int side);
// Links h in as the right neighbour of lb.
void linkRightOf(HalfEdge* lb, HalfEdge* h);
// The half-edge immediately left of p.
HalfEdge* findLeftOf(const Site* p);
// The live half-edge in a slot, or null; discards a removed one.
HalfEdge* readSlot(std::int32_t b);
// Takes h out of the beach line. With no slot referring to it, h goes back
// to the half-edge pool; otherwise it is marked removed and goes back with
// its last slot. h must not hold a queued event.
void unlinkHalfEdge(HalfEdge* h);

inline HalfEdge* rightNeighbour(const HalfEdge* h) { return h->right; }
inline HalfEdge* leftNeighbour(const HalfEdge* h) { return h->left; }
Site* leftSiteOf(const HalfEdge* h);
Site* rightSiteOf(const HalfEdge* h);

}  // namespace sweeptri
