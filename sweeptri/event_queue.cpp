#include "event_queue.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "call_state.hpp"
#include "host_services.hpp"
#include "record_pool.hpp"
#include "scaled_index.hpp"
#include "sweep_blocks.hpp"

namespace sweeptri {

SWEEPTRI_CALL_STATE std::int32_t bucketCount = 0;
SWEEPTRI_CALL_STATE std::int32_t eventCount = 0;
SWEEPTRI_CALL_STATE std::int32_t minBucket = 0;
SWEEPTRI_CALL_STATE bool chainedQueue = false;
SWEEPTRI_CALL_STATE HalfEdge** bucketHeads = nullptr;
SWEEPTRI_CALL_STATE bool chainedQueueOnly = false;

namespace {

// One queued event of the ordered queue, 32 bytes, so that the four
// children of an entry span two cache lines. The key and x are copies of
// the half-edge's key and its vertex's x, which do not change while queued.
// The bucket (below 4 x 46341) and the queueing number (below 2^40: a call
// queues fewer than 6 events per site) share one word.
struct QueueEntry {
    double key;
    double x;
    HalfEdge* halfEdge;
    std::uint64_t bucketAndNumber;  // bucket << 40 | queueing number
};

static_assert(sizeof(QueueEntry) == 32);

constexpr int numberBits = 40;
constexpr std::uint64_t numberMask = (std::uint64_t{1} << numberBits) - 1;

inline std::int32_t bucketOf(const QueueEntry& entry)
{
    return static_cast<std::int32_t>(entry.bucketAndNumber >> numberBits);
}

constexpr std::size_t heapArity = 4;

SWEEPTRI_CALL_STATE QueueEntry* heap = nullptr;
SWEEPTRI_CALL_STATE std::size_t heapCapacity = 0;
SWEEPTRI_CALL_STATE std::uint64_t queueingNumber = 0;

// Whether takenBefore must compare buckets. The bucket is scaledIndex of
// the key, a composition of rounded subtractions, divisions,
// multiplications and a clamp, each monotone: with a span that is not
// negative a key below another never has a higher bucket, and the key alone
// orders events of different buckets as the buckets do. Sites that were
// promised sorted but are not can give a negative span, which reverses the
// buckets.
SWEEPTRI_CALL_STATE bool bucketsCompared = true;

// True when a is taken before b. Neither key nor x is NaN here.
inline bool takenBefore(const QueueEntry& a, const QueueEntry& b)
{
    if (bucketsCompared) {
        const std::uint64_t bucketA = a.bucketAndNumber >> numberBits, bucketB = b.bucketAndNumber >> numberBits;
        if (bucketA != bucketB) return bucketA < bucketB;
    }
    if (a.key != b.key) return a.key < b.key;
    if (a.x != b.x) return a.x < b.x;
    // Later events have larger numbers and go first.
    return (a.bucketAndNumber & numberMask) > (b.bucketAndNumber & numberMask);
}

inline void placeEntry(std::size_t position, const QueueEntry& entry)
{
    heap[position] = entry;
    entry.halfEdge->heapPosition = position;
}

// Moves the entry up from position until its parent is taken before it.
void siftUp(std::size_t position, const QueueEntry& entry)
{
    while (position > 0) {
        const std::size_t parent = (position - 1) / heapArity;
        if (!takenBefore(entry, heap[parent])) break;
        placeEntry(position, heap[parent]);
        position = parent;
    }
    placeEntry(position, entry);
}

// The entry among heap[first, end) that is taken first. Where keys alone
// order the events, the keys are compared without branches (a branch on
// them is mispredicted half the time); only equal keys need the rest of
// the order.
inline std::size_t firstTaken(std::size_t first, std::size_t end)
{
    std::size_t best = first;
    if (bucketsCompared) {
        for (std::size_t child = first + 1; child < end; ++child)
            if (takenBefore(heap[child], heap[best])) best = child;
        return best;
    }
    double bestKey = heap[first].key;
    for (std::size_t child = first + 1; child < end; ++child) {
        const double key = heap[child].key;
        if (key == bestKey) {
            if (takenBefore(heap[child], heap[best])) best = child;
            continue;
        }
        const bool earlier = key < bestKey;
        best = earlier ? child : best;
        bestKey = earlier ? key : bestKey;
    }
    return best;
}

// Moves the entry down from position among the first size entries.
void siftDown(std::size_t position, const QueueEntry& entry, std::size_t size)
{
    for (;;) {
        const std::size_t first = position * heapArity + 1;
        if (first >= size) break;
        const std::size_t best = firstTaken(first, std::min(first + heapArity, size));
        if (!takenBefore(heap[best], entry)) break;
        placeEntry(position, heap[best]);
        position = best;
    }
    placeEntry(position, entry);
}

void growHeap()
{
    const std::size_t capacity = heapCapacity < 64 ? 64 : 2 * heapCapacity;
    auto* grown = static_cast<QueueEntry*>(takeSweepBlock(capacity * sizeof(QueueEntry)));
    if (heap != nullptr) {
        std::memcpy(grown, heap, heapCapacity * sizeof(QueueEntry));
        giveBackSweepBlock(heap);
    }
    heap = grown;
    heapCapacity = capacity;
}

void heapInsert(const QueueEntry& entry)
{
    const auto size = static_cast<std::size_t>(eventCount);
    if (size == heapCapacity) growHeap();
    siftUp(size, entry);
}

// Removes the entry at position; eventCount still counts it.
void heapRemove(std::size_t position)
{
    const std::size_t last = static_cast<std::size_t>(eventCount) - 1;
    if (position == last) return;
    const QueueEntry moved = heap[last];
    if (position > 0 && takenBefore(moved, heap[(position - 1) / heapArity]))
        siftUp(position, moved);
    else
        siftDown(position, moved, last);
}

// Gives the entry at position a new event: the same heap, as a set, as
// removing it and inserting the new one.
void heapReplace(std::size_t position, const QueueEntry& entry)
{
    if (position > 0 && takenBefore(entry, heap[(position - 1) / heapArity]))
        siftUp(position, entry);
    else
        siftDown(position, entry, static_cast<std::size_t>(eventCount));
}

HalfEdge** newBuckets(std::int32_t count)
{
    auto** heads = static_cast<HalfEdge**>(takeSweepBlock(static_cast<std::size_t>(count) * sizeof(HalfEdge*)));
    for (std::int32_t i = 0; i < count; ++i) heads[i] = nullptr;
    return heads;
}

void chainInsert(HalfEdge* h, std::int32_t bucket)
{
    HalfEdge** link = &bucketHeads[bucket];
    HalfEdge* next = *link;
    const double x = h->vertex->x;
    while (next != nullptr && (h->key > next->key || (h->key == next->key && x > next->vertex->x))) {
        link = &next->queueNext;
        next = *link;
    }
    h->queueNext = next;
    *link = h;
}

void chainRemove(HalfEdge* h, std::int32_t bucket)
{
    HalfEdge** link = &bucketHeads[bucket];
    while (*link != h) link = &(*link)->queueNext;
    *link = h->queueNext;
}

}  // namespace

void initEventQueue()
{
    bucketCount = 4 * sizeUnit;
    eventCount = 0;
    minBucket = 0;
    queueingNumber = 0;
    heap = nullptr;
    heapCapacity = 0;
    chainedQueue = chainedQueueOnly;
    bucketsCompared = !(spanY >= 0.0);
    bucketHeads = chainedQueue ? newBuckets(bucketCount) : nullptr;
}

void useChainedQueue()
{
    if (chainedQueue) return;
    chainedQueue = true;
    bucketHeads = newBuckets(bucketCount);
    const auto size = static_cast<std::size_t>(eventCount);
    // The entries in the order they would be taken; appending them to the
    // chains of their buckets leaves every chain ordered.
    std::sort(heap, heap + size, takenBefore);
    auto** tails = static_cast<HalfEdge***>(kyCalloc(static_cast<std::size_t>(bucketCount), sizeof(HalfEdge**)));
    for (std::int32_t b = 0; b < bucketCount; ++b) tails[b] = &bucketHeads[b];
    for (std::size_t i = 0; i < size; ++i) {
        HalfEdge* h = heap[i].halfEdge;
        h->queueNext = nullptr;
        *tails[bucketOf(heap[i])] = h;
        tails[bucketOf(heap[i])] = &h->queueNext;
    }
    kyFree(tails);
    giveBackSweepBlock(heap);
    heap = nullptr;
    heapCapacity = 0;
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
    // A key that is not NaN comes with an x that is not NaN (the offset is a
    // distance from v); the x test only keeps the heap's order total.
    // Running out of queueing numbers (never within the memory of a real
    // call) moves on to the chains as well.
    if (!chainedQueue && (std::isnan(h->key) || std::isnan(v->x) || queueingNumber > numberMask)) useChainedQueue();
    const std::int32_t b = eventBucket(h);
    if (chainedQueue)
        chainInsert(h, b);
    else
        heapInsert(QueueEntry{h->key, v->x, h, static_cast<std::uint64_t>(b) << numberBits | queueingNumber++});
    ++eventCount;
}

void requeueEvent(HalfEdge* h, Site* v, double offset)
{
    const double key = offset + v->y;
    if (chainedQueue || h->vertex == nullptr || std::isnan(key) || std::isnan(v->x) || queueingNumber > numberMask) {
        unqueueEvent(h);
        queueEvent(h, v, offset);
        return;
    }
    releaseSite(h->vertex);
    h->vertex = v;
    retainSite(v);
    h->key = key;
    const std::int32_t b = eventBucket(h);
    heapReplace(h->heapPosition, QueueEntry{key, v->x, h, static_cast<std::uint64_t>(b) << numberBits | queueingNumber++});
}

void unqueueEvent(HalfEdge* h)
{
    if (h->vertex == nullptr) return;
    if (chainedQueue)
        chainRemove(h, eventBucket(h));
    else
        heapRemove(h->heapPosition);
    --eventCount;
    releaseSite(h->vertex);
    h->vertex = nullptr;
}

bool isQueueEmpty() { return eventCount == 0; }

EventPoint earliestEvent()
{
    if (!chainedQueue) {
        // The lowest bucket holding an event, where a scan from minBucket
        // would stop.
        minBucket = bucketOf(heap[0]);
        return {heap[0].x, heap[0].key};
    }
    while (bucketHeads[minBucket] == nullptr) ++minBucket;
    const HalfEdge* h = bucketHeads[minBucket];
    return {h->vertex->x, h->key};
}

HalfEdge* takeEarliest()
{
    HalfEdge* h;
    if (!chainedQueue) {
        h = heap[0].halfEdge;
        heapRemove(0);
    } else {
        h = bucketHeads[minBucket];
        bucketHeads[minBucket] = h->queueNext;
    }
    --eventCount;
    return h;
}

}  // namespace sweeptri
