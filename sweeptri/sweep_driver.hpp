// The sweep (Fortune's construction of the Voronoi diagram) that merges site
// and circle events and emits one Delaunay triangle per circle event.
#pragma once

#include "sweep_state.hpp"

namespace sweeptri {

using SiteSource = Site* (*)();

inline constexpr const char* capacityError = "Not enough triangles allocated.";

void runSweep(SiteSource nextSite);
// Writes one row: the sites left and right of the vanishing arc, then its
// own site, as 1-based input positions.
void emitTriangle(const Site* left, const Site* right, const Site* middle);

}  // namespace sweeptri
