// The triangulator the tiles use unless the caller gives one: the package's
// thread-safe build of the sweep, or, in a tree without it, CGAL's Delaunay
// triangulation with exact predicates (rows clockwise as the sweep gives them).
#pragma once

#include "tiled_delaunay.hpp"

namespace outofcore {

tiling::TileTriangulator defaultTriangulator();

}  // namespace outofcore
