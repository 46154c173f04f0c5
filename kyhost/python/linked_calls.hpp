// Calls of functions linked into the module itself (plug-in code built in,
// see kyhost::linkedFunction), run exactly as kyhost.call runs a plug-in:
// the same conversion of inputs and results, the same call lock, warnings
// and errors.
#pragma once

#include <pybind11/pybind11.h>

#include "kyhost_embed.hpp"

namespace kyhost_python {

using LinkedLookup = const kyhostFunction* (*)(pybind11::handle name);

// Runs the function lookup(name) gives on arguments; name appears in its
// messages. Returns output 1 (None when nargout is 0).
pybind11::object runLinked(LinkedLookup lookup, pybind11::handle name, const pybind11::args& arguments, int nargout);

}  // namespace kyhost_python
