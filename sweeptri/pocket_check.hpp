// A quick look at rows that leave part of the hull uncovered, before they
// are checked and matched in full: where the uncovered part cannot be
// triangulated (its outline crosses itself, or there are too many rows or
// far too few), the completion would fail after reading every row, and the
// recomputation can start at once.
#pragma once

#include <cstdint>
#include <vector>

#include "hull_cycle.hpp"

namespace sweeptri {

// rows, x, y, n, exponent and hull as for completeAndRepair; openSides the
// sides that the sweep's bookkeeping left with one row (from << 32 | to,
// 0-based), with every other side of the rows matched by the row across.
// True only when completeAndRepair is certain to fail on these rows.
bool completionCertainToFail(const double* rows, std::int32_t count, const double* x, const double* y,
                             std::int32_t n, int exponent, const HullCycle& hull,
                             const std::vector<std::uint64_t>& openSides);

}  // namespace sweeptri
