// The sweep core driven directly, without the entry point's checks, sort
// and scaling: for inputs the plug-in refuses or changes first ("sorted"
// sites out of order, coordinates whose geometry overflows).
#pragma once

#include <vector>

#include "hull_cycle.hpp"
#include "triangulation_checks.hpp"

namespace sweeptri::testing {

// The sweep on the sites in exactly the given order, inside a host call,
// set up as the entry point sets it up (neighbouring repeats refused).
Triangulation sweepInGivenOrder(const std::vector<double>& x, const std::vector<double>& y);

// The whole call (checks, order, scaling, sweep) on the core linked into the
// tests, with the result certificate on, or off for the plain sweep's rows.
Triangulation callCore(const std::vector<double>& x, const std::vector<double>& y, bool certify);

// The hull of the points as the certified call finds it (inside a host
// call: its points live in a host block).
HullCycle hullOf(const std::vector<double>& x, const std::vector<double>& y);

}  // namespace sweeptri::testing
