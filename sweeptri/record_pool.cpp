#include "record_pool.hpp"

#include <cmath>
#include <cstring>

#include "call_state.hpp"
#include "host_services.hpp"
#include "sweep_blocks.hpp"

// Pool memory is one host block to AddressSanitizer, which would not see a
// read of a record that went back to its pool. The pools mark free records
// unaddressable themselves.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SWEEPTRI_POISON_RECORDS 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(SWEEPTRI_POISON_RECORDS)
#define SWEEPTRI_POISON_RECORDS 1
#endif
#ifdef SWEEPTRI_POISON_RECORDS
#include <sanitizer/asan_interface.h>
#endif

namespace sweeptri {

SWEEPTRI_CALL_STATE RecordPool sitePool;
SWEEPTRI_CALL_STATE RecordPool edgePool;
SWEEPTRI_CALL_STATE RecordPool halfEdgePool;

namespace {

void markFree([[maybe_unused]] void* record, [[maybe_unused]] std::size_t size)
{
#ifdef SWEEPTRI_POISON_RECORDS
    __asan_poison_memory_region(record, size);
#endif
}

void markInUse([[maybe_unused]] void* record, [[maybe_unused]] std::size_t size)
{
#ifdef SWEEPTRI_POISON_RECORDS
    __asan_unpoison_memory_region(record, size);
#endif
}

}  // namespace

bool recordPoolsPoisoned()
{
#ifdef SWEEPTRI_POISON_RECORDS
    return true;
#else
    return false;
#endif
}

void initPool(RecordPool& pool, std::int32_t recordSize)
{
    pool.freeHead = nullptr;
    pool.recordSize = recordSize;
}

SWEEPTRI_CALL_STATE bool reuseRecords = true;

namespace {

// The free-list link overlays the first word of a free record.
void pushFree(void* record, RecordPool& pool)
{
    std::memcpy(record, &pool.freeHead, sizeof pool.freeHead);
    pool.freeHead = record;
    markFree(record, static_cast<std::size_t>(pool.recordSize));
}

}  // namespace

void returnRecord(void* record, RecordPool& pool)
{
    if (reuseRecords)
        pushFree(record, pool);
    else
        markFree(record, static_cast<std::size_t>(pool.recordSize));
}

void* takeRecord(RecordPool& pool)
{
    if (pool.freeHead == nullptr) {
        const std::size_t size = static_cast<std::size_t>(pool.recordSize);
        auto* block = static_cast<unsigned char*>(takeSweepBlock(static_cast<std::size_t>(sizeUnit) * size));
        for (std::int32_t i = 0; i < sizeUnit; ++i) pushFree(block + static_cast<std::size_t>(i) * size, pool);
    }
    void* record = pool.freeHead;
    markInUse(record, static_cast<std::size_t>(pool.recordSize));
    std::memcpy(&pool.freeHead, record, sizeof pool.freeHead);
    return record;
}

void retainSite(Site* site) { ++site->refCount; }

void releaseSite(Site* site)
{
    if (--site->refCount == 0) returnRecord(site, sitePool);
}

void sweepSetup()
{
    initPool(edgePool, sizeof(Edge));
    sizeUnit = static_cast<std::int32_t>(std::sqrt(static_cast<double>(siteCount + 4)));
    spanY = maxY - minY;
    spanX = maxX - minX;
}

}  // namespace sweeptri
