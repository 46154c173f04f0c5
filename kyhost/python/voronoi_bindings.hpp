// kyhost._kyhost's calls behind kyhost.Voronoi: _voronoi_diagram (vertices,
// ridges and regions from Delaunay rows) and _voronoi_cells (the cells
// clipped to a convex polygon).
#pragma once

#include <pybind11/pybind11.h>

namespace kyhost_python {

void bindVoronoi(pybind11::module_& module);

}  // namespace kyhost_python
