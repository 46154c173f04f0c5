// Free-list pools that serve the sweep's records in blocks of sizeUnit
// records taken from the host allocator, and the reference counts of sites.
#pragma once

#include <cstdint>

#include "call_state.hpp"
#include "sweep_state.hpp"

namespace sweeptri {

struct RecordPool {
    void* freeHead;           // next record takeRecord hands out
    std::int32_t recordSize;  // bytes of one record
};

extern SWEEPTRI_CALL_STATE RecordPool sitePool;
extern SWEEPTRI_CALL_STATE RecordPool edgePool;
extern SWEEPTRI_CALL_STATE RecordPool halfEdgePool;

void initPool(RecordPool& pool, std::int32_t recordSize);
// A record of the pool's kind. Fresh records are zero but for their first
// word; reused ones keep what their previous use left.
void* takeRecord(RecordPool& pool);
// Under AddressSanitizer the record is unaddressable until handed out again.
void returnRecord(void* record, RecordPool& pool);
// Off: returned records are dropped (and stay unaddressable under
// AddressSanitizer) instead of being handed out again; for comparisons.
extern SWEEPTRI_CALL_STATE bool reuseRecords;
// True when free records are unaddressable to AddressSanitizer.
bool recordPoolsPoisoned();

void retainSite(Site* site);
// At a count of zero the record goes back to the Site pool.
void releaseSite(Site* site);

// Per-call set-up after the extents are known: edge pool, sizeUnit, spans.
void sweepSetup();

}  // namespace sweeptri
