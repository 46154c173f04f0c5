// Which of the beach line's slots hold a half-edge, as bits, with a second
// level of bits that marks the words holding any. When a search's own slot
// is empty, the nearest filled slots on either side are found by scanning
// bits instead of reading every empty slot in between: the search reads the
// same filled slots, in the same order, as reading outward one slot at a
// time would.
#pragma once

#include <cstdint>

namespace sweeptri {

// Per call, for slotCount slots, all empty; memory from the sweep's blocks.
void initSlotOccupancy(std::int32_t slotCount);
void markSlotFilled(std::int32_t slot);
void markSlotEmpty(std::int32_t slot);
// The nearest filled slot at or below `slot`, or -1.
std::int32_t filledSlotAtOrBelow(std::int32_t slot);
// The nearest filled slot at or above `slot`, or -1.
std::int32_t filledSlotAtOrAbove(std::int32_t slot);

}  // namespace sweeptri
