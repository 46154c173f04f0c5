#include "event_queue.hpp"

#include "ky.h"
#include "record_pool.hpp"
#include "scaled_index.hpp"

namespace sweeptri {

HalfEdge* buckets = nullptr;
std::int32_t bucketCount = 0;
std::int32_t eventCount = 0;
std::int32_t minBucket = 0;

void initEventQueue()
{
    bucketCount = 4 * sizeUnit;
    eventCount = 0;
    minBucket = 0;
    buckets = static_cast<HalfEdge*>(kyCalloc(static_cast<std::size_t>(bucketCount) * sizeof(HalfEdge), 1));
    for (std::int32_t i = 0; i < bucketCount; ++i) buckets[i].queueNext = nullptr;
}

std::int32_t eventBucket(const HalfEdge* h)
{
    const std::int32_t b = scaledIndex(h->key, minY, spanY, bucketCount);
    if (b < minBucket) minBucket = b;
    return b;
}

void queueEvent(HalfEdge* h, Site* v, double offset)
{
    h->vertex = v;
    retainSite(v);
    h->key = offset + v->y;
    HalfEdge* prev = &buckets[eventBucket(h)];
    HalfEdge* next = prev->queueNext;
    while (next != nullptr && (h->key > next->key || (h->key == next->key && v->x > next->vertex->x))) {
        prev = next;
        next = next->queueNext;
    }
    h->queueNext = next;
    prev->queueNext = h;
    ++eventCount;
}

void unqueueEvent(HalfEdge* h)
{
    if (h->vertex == nullptr) return;
    HalfEdge* prev = &buckets[eventBucket(h)];
    while (prev->queueNext != h) prev = prev->queueNext;
    prev->queueNext = h->queueNext;
    --eventCount;
    releaseSite(h->vertex);
    h->vertex = nullptr;
}

bool isQueueEmpty() { return eventCount == 0; }

EventPoint earliestEvent()
{
    while (buckets[minBucket].queueNext == nullptr) ++minBucket;
    const HalfEdge* h = buckets[minBucket].queueNext;
    return {h->vertex->x, h->key};
}

HalfEdge* takeEarliest()
{
    HalfEdge* h = buckets[minBucket].queueNext;
    buckets[minBucket].queueNext = h->queueNext;
    --eventCount;
    return h;
}

}  // namespace sweeptri
