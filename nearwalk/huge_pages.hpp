// A hint for large blocks of fresh memory that are about to be filled.
#pragma once

#include <cstddef>

namespace nearwalk {

// Asks the system to back the whole pages inside the block with transparent
// huge pages, so that filling it costs one page fault per 2 MB instead of
// one per 4 KB; first-touch faults otherwise dominate copying the hundreds
// of megabytes of index pairs of a large triangulation. Small blocks are left
// alone; the hint may be ignored and never changes the memory's contents.
void adviseHugePages(void* start, std::size_t bytes);

}  // namespace nearwalk
