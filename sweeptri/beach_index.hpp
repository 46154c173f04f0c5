// An ordered index of the beach line, so that the search for the half-edge
// left of a new site can bisect the beach line instead of walking it.
//
// The beach line is cut into runs of neighbouring half-edges, the blocks;
// each half-edge knows its block, and a block knows only its first
// half-edge and its length, so that linking and unlinking a half-edge
// changes one count (and now and then splits a block or drops an empty
// one). A B-tree over the blocks keeps them in order.
//
// The index is built only when a walk along the beach line runs long, and
// from then on follows every link and unlink; a half-edge leaves it before
// it goes back to its pool. An index that goes unused while the beach line
// changes many times over (eight times its length) is dropped, and built
// again at the next long walk: its upkeep then costs at most a fraction of
// the changes whatever the points.
//
// A search bisects with the right-of test at every level of the tree and
// then within one block: at most testsPerIndexLevel tests a level. The tree
// is rebuilt (three quarters full) whenever its height would let a search
// take more than 2 ceil(log2 L) tests, L the number of half-edges in the
// beach line. So a search costs O(log L) tests whatever the points. Where
// the floating-point right-of test is monotone along the part of the beach
// line searched (as it is in exact arithmetic), the search returns what a
// walk would; elsewhere it returns a half-edge that meets the walk's end
// condition all the same, and the beach line's search looks for the walk's
// own answer in the stretch behind it (walk_window.hpp).
#pragma once

#include <cstdint>

#include "call_state.hpp"
#include "sweep_state.hpp"

namespace sweeptri {

inline constexpr int indexFanout = 16;  // children of a tree node, half-edges of a block
// Right-of tests of one level of a search: ceil(log2(indexFanout)).
inline constexpr int testsPerIndexLevel = 4;

struct IndexNode;

// A run of neighbouring half-edges in the beach line.
struct IndexBlock {
    IndexNode* parent;
    HalfEdge* first;
    std::int32_t count;  // never 0 while the block is in the tree
};

// A node of the tree over the blocks.
struct IndexNode {
    IndexNode* parent;    // null at the root
    std::int32_t count;   // children in use, never 0 while the node is in the tree
    std::int32_t height;  // 1: the children are blocks
    void* children[indexFanout];
};

// True once the index is built in this call.
extern SWEEPTRI_CALL_STATE bool beachIndexActive;

// Per call: no index, its pools emptied.
void resetBeachIndex();
// Builds the index over the beach line as it stands.
void buildBeachIndex();
// h, just linked right of lb in the beach line, joins the index.
void indexLinkRightOf(HalfEdge* lb, HalfEdge* h);
// h, just unlinked (it keeps its own links), leaves the index.
void indexUnlink(HalfEdge* h);
// A search has used the index.
void indexUsed();

// The half-edge e with lo <= e < hi in beach-line order, p right of e and
// not right of e's right neighbour, found by bisection. The caller knows
// that p is right of lo (or lo is the left sentinel) and not right of hi
// (or hi is the right sentinel); lo lies left of hi. Half-edges left of lo
// count as p being right of them, half-edges from hi on as p not being
// right of them. tests is raised by the right-of tests made.
HalfEdge* indexSearch(HalfEdge* lo, HalfEdge* hi, const Site* p, std::int32_t& tests);

// Number of half-edges in the beach line, sentinels excluded.
extern SWEEPTRI_CALL_STATE std::int32_t beachLength;
// ceil(log2(v)) for v >= 1.
std::int32_t ceilLog2(std::int64_t v);

}  // namespace sweeptri
