// The threaded build's call memory: every kyCalloc and array of a call is a
// block of the running thread's arena, and the arena gives back whatever the
// call has not freed itself when the call ends, also when it ends in an
// exception.
#pragma once

#include <cstddef>

namespace sweeptri {

// One call's arena on the running thread, from construction to
// destruction. Calls on one thread do not nest.
class CallArena {
public:
    CallArena();
    ~CallArena();
    CallArena(const CallArena&) = delete;
    CallArena& operator=(const CallArena&) = delete;
};

// Blocks of the running thread's arena not yet given back (for tests).
std::size_t liveArenaBlocks();

// A hint, given before [data, data + bytes) is first touched, that its whole
// 2 MiB pages be huge pages (unless KY_HUGE_PAGES=0), as the arena's own.
void preferHugePages(const void* data, std::size_t bytes);

// From now on, large blocks given back on this thread keep their memory
// for its next calls, until the thread ends.
void keepMappingsOnThisThread();

}  // namespace sweeptri
