#include "event_queue.hpp"

#include <cmath>

#include "ky.h"
#include "record_pool.hpp"
#include "scaled_index.hpp"

namespace sweeptri {

HalfEdge** bucketHeads = nullptr;
std::int32_t bucketCount = 0;
std::int32_t eventCount = 0;
std::int32_t minBucket = 0;
bool fineBuckets = false;
bool fineBucketsAllowed = true;

namespace {

HalfEdge** newBuckets(std::int32_t count)
{
    auto** heads = static_cast<HalfEdge**>(kyCalloc(static_cast<std::size_t>(count) * sizeof(HalfEdge*), 1));
    for (std::int32_t i = 0; i < count; ++i) heads[i] = nullptr;
    return heads;
}

}  // namespace

void initEventQueue()
{
    const std::int32_t coarseCount = 4 * sizeUnit;
    // With "sorted" input that is not in order, spanY may be negative: then
    // later buckets hold earlier keys, and the order depends on the buckets.
    fineBuckets = fineBucketsAllowed && siteCount > coarseCount && spanY > 0.0;
    bucketCount = fineBuckets ? siteCount : coarseCount;
    eventCount = 0;
    minBucket = 0;
    bucketHeads = newBuckets(bucketCount);
}

void useCoarseBuckets()
{
    const std::int32_t fineCount = bucketCount;
    HalfEdge** fine = bucketHeads;
    fineBuckets = false;
    bucketCount = 4 * sizeUnit;
    bucketHeads = newBuckets(bucketCount);
    auto** tails = static_cast<HalfEdge***>(kyCalloc(static_cast<std::size_t>(bucketCount) * sizeof(HalfEdge**), 1));
    for (std::int32_t b = 0; b < bucketCount; ++b) tails[b] = &bucketHeads[b];
    // Fine buckets in order and each chain in order: the events in queue
    // order, so appending keeps every coarse chain ordered.
    for (std::int32_t f = 0; f < fineCount; ++f) {
        for (HalfEdge* h = fine[f]; h != nullptr;) {
            HalfEdge* next = h->queueNext;
            const std::int32_t b = scaledIndex(h->key, minY, spanY, bucketCount);
            h->queueNext = nullptr;
            *tails[b] = h;
            tails[b] = &h->queueNext;
            h = next;
        }
    }
    minBucket = 0;
    kyFree(tails);
    kyFree(fine);
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
    if (fineBuckets && std::isnan(h->key)) useCoarseBuckets();
    HalfEdge** link = &bucketHeads[eventBucket(h)];
    HalfEdge* next = *link;
    while (next != nullptr && (h->key > next->key || (h->key == next->key && v->x > next->vertex->x))) {
        link = &next->queueNext;
        next = *link;
    }
    h->queueNext = next;
    *link = h;
    ++eventCount;
}

void unqueueEvent(HalfEdge* h)
{
    if (h->vertex == nullptr) return;
    HalfEdge** link = &bucketHeads[eventBucket(h)];
    while (*link != h) link = &(*link)->queueNext;
    *link = h->queueNext;
    --eventCount;
    releaseSite(h->vertex);
    h->vertex = nullptr;
}

bool isQueueEmpty() { return eventCount == 0; }

EventPoint earliestEvent()
{
    while (bucketHeads[minBucket] == nullptr) ++minBucket;
    const HalfEdge* h = bucketHeads[minBucket];
    return {h->vertex->x, h->key};
}

HalfEdge* takeEarliest()
{
    HalfEdge* h = bucketHeads[minBucket];
    bucketHeads[minBucket] = h->queueNext;
    --eventCount;
    return h;
}

}  // namespace sweeptri
