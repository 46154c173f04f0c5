// Runs the parts of a batch of independent queries on several threads.
#pragma once

#include <cstdint>
#include <functional>

namespace kyhost_spatial {

// The number of threads that `workers` asks for: itself when positive, the
// processors this process may run on for -1. Other values are refused by
// the callers before they get here.
int threadsFor(int workers);

// Calls part(begin, end) for consecutive ranges covering 0 .. count-1: one
// range per thread, on at most `threads` threads, each range at least
// minPart long (so small batches stay on the calling thread). The first
// exception a part throws is rethrown once every thread has ended.
void runInParts(std::int64_t count, int threads, std::int64_t minPart,
                const std::function<void(std::int64_t begin, std::int64_t end)>& part);

}  // namespace kyhost_spatial
