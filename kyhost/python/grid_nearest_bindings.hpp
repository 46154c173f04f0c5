// kyhost._kyhost._GridNearest: the nearest-point search by a grid of
// buckets (spatial/grid_nearest.hpp) behind NearestNDInterpolator and
// griddata's "nearest", which need no triangulation.
#pragma once

#include <pybind11/pybind11.h>

namespace kyhost_python {

void bindGridNearest(pybind11::module_& module);

}  // namespace kyhost_python
