// The queue of pending circle events, ordered by bucket, then key, then
// vertex x, and among events equal in all three the most recently queued
// first. The bucket of a key is its place among 4 x sizeUnit buckets over
// the y extent of the sites, and the lowest bucket that may hold an event is
// kept in minBucket.
//
// Two forms hold the same order:
// - the ordered queue, a 4-ary heap of entries that carry their bucket, key,
//   x and queueing number, so that every operation costs O(log n) whatever
//   the keys (all equal, all in one bucket, grids, circles);
// - the chained queue, one ordered chain of half-edges per bucket linked
//   through queueNext, walked on insertion and removal.
// A heap needs a total order, which NaN keys do not have, so a call uses the
// ordered queue until the first NaN key and then moves every queued event,
// in order, into the chains for the rest of the call. There NaN keys behave
// as a chain walk treats them: every comparison with NaN is false. Without
// NaN, a chain walk keeps each chain sorted by (key, x, most recent first),
// so the two forms take events in the same order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "call_state.hpp"
#include "sweep_state.hpp"

namespace sweeptri {

extern SWEEPTRI_CALL_STATE std::int32_t bucketCount;
extern SWEEPTRI_CALL_STATE std::int32_t eventCount;
extern SWEEPTRI_CALL_STATE std::int32_t minBucket;
extern SWEEPTRI_CALL_STATE bool chainedQueue;  // the chains are in use (after a NaN key)
extern SWEEPTRI_CALL_STATE HalfEdge** bucketHeads;  // first half-edge of each bucket's chain
// On: every call uses the chained queue from the start (for comparisons).
extern SWEEPTRI_CALL_STATE bool chainedQueueOnly;

struct EventPoint {
    double x;  // x of the event vertex
    double y;  // event key
};

void initEventQueue();
// Queues h's event at vertex v with key offset + v.y.
void queueEvent(HalfEdge* h, Site* v, double offset);
// Bucket of h's key; lowers minBucket when the bucket lies below it.
std::int32_t eventBucket(const HalfEdge* h);
// Withdraws h's event, if it has one, and queues the one at v: the same as
// unqueueEvent then queueEvent.
void requeueEvent(HalfEdge* h, Site* v, double offset);
// Withdraws h's event, if it has one.
void unqueueEvent(HalfEdge* h);
bool isQueueEmpty();
// The earliest event; the queue must not be empty.
EventPoint earliestEvent();
// Takes out the event that earliestEvent just found. Its vertex stays set.
HalfEdge* takeEarliest();

// Moves every queued event into the chains, keeping the order.
void useChainedQueue();

}  // namespace sweeptri
