#include "record_pool.hpp"

#include <cmath>
#include <cstring>

#include "ky.h"

namespace sweeptri {

RecordPool sitePool;
RecordPool edgePool;
RecordPool halfEdgePool;

void initPool(RecordPool& pool, std::int32_t recordSize)
{
    pool.freeHead = nullptr;
    pool.recordSize = recordSize;
}

// The free-list link overlays the first word of a free record.
void returnRecord(void* record, RecordPool& pool)
{
    std::memcpy(record, &pool.freeHead, sizeof pool.freeHead);
    pool.freeHead = record;
}

void* takeRecord(RecordPool& pool)
{
    if (pool.freeHead == nullptr) {
        const std::size_t size = static_cast<std::size_t>(pool.recordSize);
        auto* block = static_cast<unsigned char*>(kyCalloc(static_cast<std::size_t>(sizeUnit) * size, 1));
        for (std::int32_t i = 0; i < sizeUnit; ++i) returnRecord(block + static_cast<std::size_t>(i) * size, pool);
    }
    void* record = pool.freeHead;
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
