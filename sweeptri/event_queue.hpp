// The queue of pending circle events: buckets over the y extent of the
// sites, each an ordered chain of half-edges linked through queueNext, and
// the lowest bucket that may hold an event.
#pragma once

#include <cstdint>

#include "sweep_state.hpp"

namespace sweeptri {

extern HalfEdge* buckets;  // bucket heads; only their queueNext is used
extern std::int32_t bucketCount;
extern std::int32_t eventCount;
extern std::int32_t minBucket;

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

}  // namespace sweeptri
