// kyhost._kyhost's _triangulate_tiled: the Delaunay triangulation in tiles
// on threads, behind kyhost.Triangulation(..., workers=k).
#pragma once

#include <pybind11/pybind11.h>

namespace kyhost_python {

void bindTiled(pybind11::module_& module);

}  // namespace kyhost_python
