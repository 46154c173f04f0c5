// kyhost._kyhost's classes behind kyhost.Triangulation: _TriangulationIndex
// (neighbours, adjacency, nearest and k nearest points) and _PointLocator
// (find_simplex), with _barycentric_transform. They take the object's own
// arrays (copies it made of the caller's) and keep references to them.
#pragma once

#include <pybind11/pybind11.h>

namespace kyhost_python {

void bindTriangulation(pybind11::module_& module);

}  // namespace kyhost_python

namespace kyhost_spatial {
class TriangulationIndex;
}

namespace kyhost_python {

// The search structures behind a _TriangulationIndex object (alive as long
// as the object is).
const kyhost_spatial::TriangulationIndex& triangulationIndexOf(pybind11::handle index);

}  // namespace kyhost_python
