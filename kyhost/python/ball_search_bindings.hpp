// kyhost._kyhost._BallSearch: the points within a distance of query points
// over a _TriangulationIndex (query_ball_point, query_pairs,
// count_neighbors of kyhost.Triangulation).
#pragma once

#include <pybind11/pybind11.h>

namespace kyhost_python {

void bindBallSearch(pybind11::module_& module);

}  // namespace kyhost_python
