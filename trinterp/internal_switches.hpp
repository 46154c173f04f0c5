// Switches of the core for tests and benchmarks that link it directly (the
// plug-in itself takes no configuration): they change how the work is done,
// never the answers.
#pragma once

#include <cstdint>

namespace trinterp {

// Run the queries on exactly this many threads (0: one per processor the
// process may run on, at most 16).
void setWorkerCount(int count);

// End each walk after this many steps and search the row buckets instead
// (0: the call's own budget).
void setWalkBudget(std::int64_t steps);

}  // namespace trinterp
