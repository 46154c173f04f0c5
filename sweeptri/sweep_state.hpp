// The records of the sweep and the state of the running call.
//
// All state is set afresh by every call. The plug-in keeps it at module
// level (the host never runs the entry point twice at once, so no locking
// is needed); the threaded build keeps one instance per thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "call_state.hpp"

namespace sweeptri {

// An input point, or a Voronoi vertex that the sweep computed.
struct Site {
    double x;
    double y;
    std::int32_t number;    // input sites: 0-based position in X and Y
    std::int32_t refCount;  // number of current holders
};

// The bisector of two sites as the line a*x + b*y = c.
struct Edge {
    double a;
    double b;
    double c;
    Site* site[2];  // site[1] is the reference (top) site of the tests
    // Kept for the result certificate: the corner opposite this edge in the
    // row that recorded the first end, that row (-1 until then), and
    // whether it runs site[0] -> site[1] in its clockwise order.
    double oppositeX = 0, oppositeY = 0;
    std::int32_t firstRow = -1;
    std::uint8_t firstForward = 0;
    // Bit s set: a circle event has ended the edge through its half-edge of
    // side s. An end is only ever tested for being set, so the end vertex
    // itself is not kept and can be recycled once its event is handled.
    std::uint8_t endsSet = 0;
};

// One cache line.
static_assert(sizeof(Edge) == 64);

inline bool hasEnd(const Edge* e, int side) { return ((e->endsSet >> side) & 1u) != 0; }

struct IndexBlock;

// One side of an edge as a boundary in the beach line, with its pending
// circle event.
struct HalfEdge {
    HalfEdge* left;
    HalfEdge* right;
    Edge* edge;  // null for the sentinels, removedMarker once unlinked
    std::int32_t slotRefs;
    std::int32_t side;
    Site* vertex;  // vertex of the queued circle event, or null
    double key;    // event key of the queued circle event
    union {
        HalfEdge* queueNext;       // next in the bucket's chain (chained queue)
        std::size_t heapPosition;  // index of its entry in the heap (ordered queue)
    };
    IndexBlock* indexBlock;  // its block in the beach line's index, or null
};

// One cache line.
static_assert(sizeof(HalfEdge) == 64);

// Marks a half-edge that has left the beach line. Never dereferenced.
inline Edge* const removedMarker = reinterpret_cast<Edge*>(std::intptr_t(-2));

// Call state set by the entry point.
extern SWEEPTRI_CALL_STATE bool collinearWarned;
extern SWEEPTRI_CALL_STATE bool sortedOption;
extern SWEEPTRI_CALL_STATE Site* siteArray;
extern SWEEPTRI_CALL_STATE std::int32_t siteCount;
extern SWEEPTRI_CALL_STATE std::int32_t readPosition;
extern SWEEPTRI_CALL_STATE std::int32_t triangleCapacity;
extern SWEEPTRI_CALL_STATE std::int32_t triangleCount;
extern SWEEPTRI_CALL_STATE double* writePosition;
extern SWEEPTRI_CALL_STATE double minX, maxX, minY, maxY;

// Derived by sweepSetup.
extern SWEEPTRI_CALL_STATE std::int32_t sizeUnit;
extern SWEEPTRI_CALL_STATE double spanX, spanY;

// The site source of the sweep: the next site in array order, or null once
// all have been delivered.
Site* nextSite();

}  // namespace sweeptri
