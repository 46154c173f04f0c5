// kyhost._kyhost._convex_hull_corners: the exact convex hull's corners
// behind kyhost.ConvexHull.
#pragma once

#include <pybind11/pybind11.h>

namespace kyhost_python {

void bindConvexHull(pybind11::module_& module);

}  // namespace kyhost_python
