// The host blocks a sweep takes for its records and tables (pool blocks,
// slots, the event queue, the beach line's index), remembered so that a
// finished or abandoned sweep can give them all back before a repair or the
// exact recomputation takes its own memory.
#pragma once

#include <cstddef>

namespace sweeptri {

// Per call, before the sweep: nothing remembered.
void forgetSweepBlocks();
// A zero-filled host block of bytes, remembered.
void* takeSweepBlock(std::size_t bytes);
// Gives one remembered block back.
void giveBackSweepBlock(void* block);
// Gives every remembered block back.
void giveBackAllSweepBlocks();

}  // namespace sweeptri
