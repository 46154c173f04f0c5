#include "grid_nearest_bindings.hpp"

#include <pybind11/numpy.h>

#include <climits>
#include <cmath>
#include <memory>
#include <string>

#include "grid_nearest.hpp"
#include "worker_threads.hpp"

namespace py = pybind11;
using namespace kyhost_spatial;

namespace kyhost_python {

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;

std::int64_t lengthOf(const Doubles& a, const char* name)
{
    if (a.ndim() != 1) throw py::value_error(std::string(name) + " must be 1-D");
    return a.shape(0);
}

class GridHandle {
public:
    GridHandle(const Doubles& x, const Doubles& y)
    {
        const std::int64_t n = lengthOf(x, "x");
        if (lengthOf(y, "y") != n) throw py::value_error("x and y must have the same length");
        if (n > INT32_MAX) throw py::value_error("too many points");
        for (std::int64_t i = 0; i < n; ++i)
            if (!std::isfinite(x.data()[i]) || !std::isfinite(y.data()[i]))
                throw py::value_error("point " + std::to_string(i) + " is not finite");
        py::gil_scoped_release released;
        grid_ = std::make_unique<GridNearest>(x.data(), y.data(), static_cast<std::int32_t>(n));
    }

    py::tuple nearest(const Doubles& qx, const Doubles& qy, int workers) const
    {
        const std::int64_t count = lengthOf(qx, "qx");
        if (lengthOf(qy, "qy") != count) throw py::value_error("qx and qy must have the same length");
        if (workers == 0 || workers < -1) throw py::value_error("workers must be a positive number of threads, or -1 for all");
        py::array_t<std::int64_t> index(count);
        py::array_t<double> distance(count);
        std::int64_t* i = index.mutable_data();
        double* d = distance.mutable_data();
        {
            py::gil_scoped_release released;
            grid_->nearest(qx.data(), qy.data(), count, threadsFor(workers), i, d);
        }
        return py::make_tuple(index, distance);
    }

    py::tuple shape() const { return py::make_tuple(grid_->columns(), grid_->rows()); }

private:
    std::unique_ptr<GridNearest> grid_;
};

}  // namespace

void bindGridNearest(py::module_& module)
{
    py::class_<GridHandle>(module, "_GridNearest")
        .def(py::init<const Doubles&, const Doubles&>(), py::arg("x"), py::arg("y"),
             "_GridNearest(x, y)\n--\n\nA grid of buckets over finite points (it keeps its own copy).")
        .def("nearest", &GridHandle::nearest, py::arg("qx"), py::arg("qy"), py::arg("workers") = 1,
             "nearest(qx, qy, workers=1)\n--\n\n(index, distance): the nearest point of each query, the "
             "lowest-numbered among equal computed distances; -1 and inf where a coordinate is not finite, -2 where "
             "the query lies outside the exact frame or rounding crowds its band (to be answered by an exact "
             "search).")
        .def_property_readonly("shape", &GridHandle::shape, "(columns, rows) of cells.");
}

}  // namespace kyhost_python
