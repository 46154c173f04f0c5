// The exact check and the picture of a triangulation (the code of
// "kyhost check" and "kyhost draw") as functions of the compiled module.
#pragma once

#include <pybind11/pybind11.h>

namespace kyhost_python {

// Adds _check and _draw to the module.
void bindInspect(pybind11::module_& module);

}  // namespace kyhost_python
