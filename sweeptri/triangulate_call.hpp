// One call of the plug-in: argument checks, site preparation, the sweep and
// the trimmed triangle matrix in outputs[0].
#pragma once

#include "ky.h"

namespace sweeptri {

void triangulateCall(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[]);

}  // namespace sweeptri
