// kyhost._kyhost's _CloughTocher: the gradients and the cubic surface of
// kyhost.CloughTocher2DInterpolator over a triangulation's own arrays.
#pragma once

#include <pybind11/pybind11.h>

namespace kyhost_python {

void bindCloughTocher(pybind11::module_& module);

}  // namespace kyhost_python
