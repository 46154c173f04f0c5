// The queue of pending circle events: buckets over the y extent of the
// sites, each an ordered chain of half-edges linked through queueNext, and
// the lowest bucket that may hold an event.
//
// Each chain is ordered by key, then by vertex x, and an event equal in
// both to events already queued goes before them. As long as no key is
// NaN and the y extent is positive, this makes the queue's order one total
// order (key, x, most recent first) whatever the number of buckets, since
// the bucket of a key then never decreases as the key grows. Large calls therefore start with one bucket
// per site, which keeps the chains short; the first NaN key (from
// coordinates so large that the geometry overflows) moves every event into
// the 4 x sizeUnit buckets for good, where chains behave exactly as they
// always have, NaN comparisons included.
#pragma once

#include <cstdint>

#include "sweep_state.hpp"

namespace sweeptri {

extern HalfEdge** bucketHeads;  // first half-edge of each bucket's chain
extern std::int32_t bucketCount;
extern std::int32_t eventCount;
extern std::int32_t minBucket;
extern bool fineBuckets;  // one bucket per site, until the first NaN key
// Off: every call uses the 4 x sizeUnit buckets only (for comparisons).
extern bool fineBucketsAllowed;

struct EventPoint {
    double x;  // x of the event vertex
    double y;  // event key
};

void initEventQueue();
// Queues h's event at vertex v with key offset + v.y.
void queueEvent(HalfEdge* h, Site* v, double offset);
// Bucket of h's key; lowers minBucket when the bucket lies below it.
std::int32_t eventBucket(const HalfEdge* h);
// Withdraws h's event, if it has one.
void unqueueEvent(HalfEdge* h);
bool isQueueEmpty();
// The earliest event; the queue must not be empty.
EventPoint earliestEvent();
// Takes out the event that earliestEvent just found. Its vertex stays set.
HalfEdge* takeEarliest();

// Moves every queued event into the 4 x sizeUnit buckets, keeping the order.
void useCoarseBuckets();

}  // namespace sweeptri
