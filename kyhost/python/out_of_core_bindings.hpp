// kyhost._kyhost's calls behind kyhost.triangulate_to_file (the out-of-core
// run into a .npy file) and kyhost.dask.triangulate (the tiler's steps one
// by one: _plan_tiles, _tile_of, _finish_tile, _seam_rows).
#pragma once

#include <pybind11/pybind11.h>

namespace kyhost_python {

void bindOutOfCore(pybind11::module_& module);
void bindTiling(pybind11::module_& module);

}  // namespace kyhost_python
