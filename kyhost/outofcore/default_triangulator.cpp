#include "default_triangulator.hpp"

#if KY_HAVE_THREADED_SWEEP
#include "threaded_sweep.hpp"
#else
#include "cgal_triangulator.hpp"
#endif

namespace outofcore {

tiling::TileTriangulator defaultTriangulator()
{
#if KY_HAVE_THREADED_SWEEP
    return sweeptri::threaded::triangulate;
#else
    return tiling::cgalTriangulate;
#endif
}

}  // namespace outofcore
