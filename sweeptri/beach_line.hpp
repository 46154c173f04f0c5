// The beach line: the left-to-right list of half-edges between two
// sentinels, with a hash index over x (the slots) that gives the search for
// the half-edge left of a new site a nearby starting point.
#pragma once

#include <cstdint>

#include "call_state.hpp"
#include "sweep_state.hpp"

namespace sweeptri {

extern SWEEPTRI_CALL_STATE HalfEdge* leftSentinel;
extern SWEEPTRI_CALL_STATE HalfEdge* rightSentinel;
extern SWEEPTRI_CALL_STATE HalfEdge** slots;
extern SWEEPTRI_CALL_STATE std::int32_t slotCount;
extern SWEEPTRI_CALL_STATE Site* bottomSite;  // first site in sweep order, beside both sentinels

// A search walks along the beach line for at most walkTestLimit right-of
// tests, then goes on by bisection in the beach line's index; while most
// recent searches have run long, for at most shortWalkTestLimit.
inline constexpr std::int32_t walkTestLimit = 64;
inline constexpr std::int32_t shortWalkTestLimit = 16;

// What the call's searches did, for tests and benchmarks.
struct BeachSearchStats {
    std::int64_t searches;
    std::int64_t indexSearches;  // searches that went on in the index
    std::int64_t tests;          // right-of tests of all searches
    // Largest excess of one search's tests over its walk's limit
    // + windowBudget + 2 ceil(log2 L), L the beach line's length then (at
    // most 0 when every search kept it).
    std::int32_t worstExcess;
    // Verification builds only: index searches whose half-edge differs from
    // the one the walk, carried on to its end, would return.
    std::int64_t disagreements;
};
extern SWEEPTRI_CALL_STATE BeachSearchStats beachSearchStats;

#ifdef SWEEPTRI_VERIFY_SEARCH
// Verification builds only: when set, a search that went on in the index
// returns the walk's own answer instead (so that tests can compare the rows
// of the two).
extern SWEEPTRI_CALL_STATE bool searchReturnsWalk;
#endif

void initBeachLine();
HalfEdge* newHalfEdge(Edge* edge, int side);
// Links h in as the right neighbour of lb.
void linkRightOf(HalfEdge* lb, HalfEdge* h);
// The half-edge immediately left of p.
HalfEdge* findLeftOf(const Site* p);
// The live half-edge in a slot, or null; discards a removed one.
HalfEdge* readSlot(std::int32_t b);
// Puts h into slot b, leaving slot counts to the caller (for tests).
void placeInSlot(std::int32_t b, HalfEdge* h);
// Takes h out of the beach line. With no slot referring to it, h goes back
// to the half-edge pool; otherwise it is marked removed and goes back with
// its last slot. h must not hold a queued event.
void unlinkHalfEdge(HalfEdge* h);

inline HalfEdge* rightNeighbour(const HalfEdge* h) { return h->right; }
inline HalfEdge* leftNeighbour(const HalfEdge* h) { return h->left; }
Site* leftSiteOf(const HalfEdge* h);
Site* rightSiteOf(const HalfEdge* h);

}  // namespace sweeptri
