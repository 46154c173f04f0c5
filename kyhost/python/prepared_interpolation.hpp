// Interpolation over a mesh prepared once: the trinterp plug-in's code
// linked into the module, keeping the mesh and the values of a first call
// for the later ones. See prepared_interpolation.cpp.
#pragma once

#include <pybind11/pybind11.h>

namespace kyhost_python {

// Adds the class _PreparedInterpolation to the module.
void bindPreparedInterpolation(pybind11::module_& module);

}  // namespace kyhost_python
