// Adjacency of a triangulation's rows, in linear time: which row lies
// across each edge, and which points each point is joined to. Used by
// kyhost.Triangulation, where a sort-based numpy version took most of the
// object's set-up time.
#pragma once

#include <pybind11/pybind11.h>

namespace kyhost_python {

// Adds _row_neighbors and _point_adjacency to the module.
void bindTriangleAdjacency(pybind11::module_& module);

}  // namespace kyhost_python
