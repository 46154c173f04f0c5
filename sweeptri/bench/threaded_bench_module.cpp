// The threaded core in a shared module loaded at run time, for
// sweeptri_threaded_bench.
#include <cstdint>
#include <vector>

#include "threaded_sweep.hpp"

extern "C" __attribute__((visibility("default"))) void sweeptriThreadedBenchEntry(const double* x, const double* y,
                                                                                  std::int32_t n,
                                                                                  std::vector<std::int32_t>* rows)
{
    *rows = sweeptri::threaded::triangulate(x, y, n).corners;
}
