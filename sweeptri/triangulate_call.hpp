// One call of the plug-in: argument checks, site preparation, the sweep and
// the trimmed triangle matrix in outputs[0].
#pragma once

#include "host_services.hpp"

namespace sweeptri {

void triangulateCall(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[]);

// The sweep over siteArray[0 .. siteCount-1], taken in array order whatever
// that order is: extents, read position, sweep setup and the sweep, which
// writes its triangles at writePosition and counts them in triangleCount.
// The entry point calls it once the sites are ordered, checked and scaled,
// with the Site pool empty and the triangle buffer created.
void sweepSiteArray();

}  // namespace sweeptri
