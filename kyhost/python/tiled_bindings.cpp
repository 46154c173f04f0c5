#include "tiled_bindings.hpp"

#include <pybind11/numpy.h>

#include <cstdint>
#include <limits>
#include <string>

#include "tiled_delaunay.hpp"
#ifdef KY_TILED_WITH_SWEEP
#include "sweep_choice.hpp"
#else
#include "cgal_triangulator.hpp"
#endif

namespace py = pybind11;

namespace kyhost_python {

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;

// The triangulator of every tile and of the seams: the sweep itself where
// its thread-safe build is linked in, CGAL's Delaunay triangulation otherwise.
sweeptri::threaded::SweepRows triangulateTile(const double* x, const double* y, std::int32_t n)
{
#ifdef KY_TILED_WITH_SWEEP
    return sweepChoice().triangulate(x, y, n);
#else
    return tiling::cgalTriangulate(x, y, n);
#endif
}

// Rows over x, y (0-based int32, clockwise, shape (m, 3)) and what the
// tiling did. The caller passes distinct finite points.
py::tuple triangulateTiled(const Doubles& x, const Doubles& y, int workers, std::int64_t tilePoints)
{
    if (x.ndim() != 1 || y.ndim() != 1 || x.shape(0) != y.shape(0))
        throw py::value_error("x and y must be vectors of one length");
    const std::int64_t n = x.shape(0);
    if (n > std::numeric_limits<std::int32_t>::max())
        throw py::value_error("at most 2^31-1 points can be triangulated in memory");
    tiling::TiledResult result;
    {
        py::gil_scoped_release released;
#ifdef KY_TILED_WITH_SWEEP
        tiling::setTileThreadStart(sweepChoice().keepMemoryOnThisThread);
#endif
        result = tiling::triangulateTiled(x.data(), y.data(), n, workers, &triangulateTile, tilePoints);
    }
    const auto rows = static_cast<py::ssize_t>(result.cornerCount() / 3);
    py::array_t<std::int32_t> out({rows, py::ssize_t{3}});
    {
        std::int32_t* to = out.mutable_data();
        py::gil_scoped_release released;
        result.copyCorners(to);
        result.pieces = {};
    }
    py::dict info;
    info["tiles"] = result.tileCount;
    info["seam_points"] = result.seamPointCount;
    info["fell_back"] = result.fellBack;
    info["collinear_warned"] = result.collinearWarned;
#ifdef KY_TILED_WITH_SWEEP
    info["triangulator"] = "sweep";
    info["sweep_build"] = sweepChoice().build;
#else
    info["triangulator"] = "cgal";
#endif
    return py::make_tuple(out, info);
}

}  // namespace

void bindTiled(py::module_& module)
{
    module.def("_triangulate_tiled", &triangulateTiled, py::arg("x"), py::arg("y"), py::arg("workers"),
               py::arg("tile_points") = std::int64_t{1} << 19,
               "_triangulate_tiled(x, y, workers, tile_points=524288)\n--\n\n"
               "The Delaunay triangulation of distinct finite points in tiles on `workers` threads (-1: all): "
               "(rows, info), rows 0-based int32 clockwise of shape (m, 3), the same for every number of workers; "
               "info says how many tiles and seam points there were and whether one sweep was used instead.");
}

}  // namespace kyhost_python
