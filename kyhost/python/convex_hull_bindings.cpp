#include "convex_hull_bindings.hpp"

#include <pybind11/numpy.h>

#include <cmath>
#include <string>

#include "convex_hull.hpp"
#include "worker_threads.hpp"

namespace py = pybind11;

namespace kyhost_python {

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;

py::array_t<std::int64_t> convexHullCorners(const Doubles& x, const Doubles& y, int workers)
{
    if (x.ndim() != 1 || y.ndim() != 1 || x.shape(0) != y.shape(0))
        throw py::value_error("x and y must be vectors of one length");
    if (workers == 0 || workers < -1) throw py::value_error("workers must be a positive number of threads, or -1 for all");
    const std::int64_t n = x.shape(0);
    for (std::int64_t i = 0; i < n; ++i)
        if (!std::isfinite(x.data()[i]) || !std::isfinite(y.data()[i]))
            throw py::value_error("point " + std::to_string(i) + " is not finite");
    std::vector<std::int64_t> corners;
    {
        py::gil_scoped_release released;
        corners = kyhost_spatial::convexHullCorners(x.data(), y.data(), n, kyhost_spatial::threadsFor(workers));
    }
    py::array_t<std::int64_t> out(static_cast<py::ssize_t>(corners.size()));
    std::copy(corners.begin(), corners.end(), out.mutable_data());
    return out;
}

}  // namespace

void bindConvexHull(py::module_& module)
{
    module.def("_convex_hull_corners", &convexHullCorners, py::arg("x"), py::arg("y"), py::arg("workers") = 1,
               "_convex_hull_corners(x, y, workers=1)\n--\n\nThe hull's corners counter-clockwise from the lowest x "
               "(int64), by exact orientation, points on its edges left out; fewer than 3 when all lie on a line.");
}

}  // namespace kyhost_python
