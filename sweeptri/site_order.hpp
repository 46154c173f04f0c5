// Building the sites and putting them into sweep order: ascending y, and
// for equal y ascending x.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sweep_state.hpp"

namespace sweeptri {

// -1, 0 or +1 as a comes before, together with or after b in sweep order.
int compareSites(const Site& a, const Site& b);

// True when every value is finite (no NaN, no infinity).
bool allFinite(const double* values, std::int64_t count);

// True when the points are in sweep order as given: y never decreases, and
// x never decreases among equal y. Compared as the sort compares, so -0.0
// and 0.0 are equal; equal neighbours pass (the duplicate check reports
// them). The coordinates must be finite.
bool inSweepOrder(const double* x, const double* y, std::int64_t count);

// Fills sites[0 .. n-1] from the coordinates in their given order.
void copySites(const double* x, const double* y, Site* sites, std::int32_t n);

// Fills sites[0 .. n-1] from the coordinates in sweep order; the order is
// the one a sort by compareSites gives (for equal keys the order among them
// is unspecified). The coordinates must be finite. Working memory comes
// from the host and is handed back before returning, as one block of at
// least workBytes: the host hands a freed large block on to the next
// request it can serve, so a block as large as the next one the caller
// makes gives that request pages the sort has already touched.
void orderSites(const double* x, const double* y, Site* sites, std::int32_t n, std::size_t workBytes = 0);

// Index of the first site that equals its predecessor, or -1.
std::int32_t findRepeatedSite(const Site* sites, std::int32_t n);
// The error a call with repeated points ends with.
inline constexpr const char* repeatedPointsMessage = "x-y data must be unique";

}  // namespace sweeptri
