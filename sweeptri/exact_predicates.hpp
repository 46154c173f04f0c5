// The exact predicates of the project's geometry (orientation and in-circle
// signs exact on any doubles, areas with error bounds), under the names the
// sweep's certificate, repairs and recomputation use.
#pragma once

#include "geometry/exact_predicates.hpp"

namespace sweeptri {

using ky::geometry::AreaBounds;
using ky::geometry::ExactKernel;
using ky::geometry::ExactPoint;
using ky::geometry::orientationSign;
using ky::geometry::strictlyInCircle;
using ky::geometry::triangleAreaBounds;

}  // namespace sweeptri
