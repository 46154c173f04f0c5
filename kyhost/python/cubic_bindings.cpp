#include "cubic_bindings.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <climits>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "clough_tocher.hpp"
#include "worker_threads.hpp"

namespace py = pybind11;
using namespace kyhost_spatial;

namespace kyhost_python {

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;
using Columns = py::array_t<double, py::array::f_style | py::array::forcecast>;
using Int32s = py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>;
using Int64s = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>;

std::int64_t lengthOf(const py::array& a, const char* name)
{
    if (a.ndim() != 1) throw py::value_error(std::string(name) + " must be 1-D");
    return a.shape(0);
}

void checkEntries(const std::int32_t* a, std::int64_t size, std::int64_t low, std::int64_t high, const char* name)
{
    for (std::int64_t i = 0; i < size; ++i)
        if (a[i] < low || a[i] > high)
            throw py::value_error(std::string(name) + " entry " + std::to_string(a[i]) + " is outside " +
                                  std::to_string(low) + " .. " + std::to_string(high));
}

int threadsOf(int workers)
{
    if (workers == 0 || workers < -1) throw py::value_error("workers must be a positive number of threads, or -1 for all");
    return threadsFor(workers);
}

std::int64_t queryCount(const Doubles& qx, const Doubles& qy)
{
    const std::int64_t count = lengthOf(qx, "qx");
    if (lengthOf(qy, "qy") != count) throw py::value_error("qx and qy must have the same length");
    return count;
}

class CloughTocherHandle {
public:
    CloughTocherHandle(Doubles x, Doubles y, Int32s rows, Int32s across, Int64s start, Int32s adjacent, Columns values,
                       double tol, int maxiter, int workers)
        : x_(std::move(x)), y_(std::move(y)), rows_(std::move(rows)), across_(std::move(across)),
          start_(std::move(start)), adjacent_(std::move(adjacent)), values_(std::move(values))
    {
        const std::int64_t n = lengthOf(x_, "x");
        if (lengthOf(y_, "y") != n) throw py::value_error("x and y must have the same length");
        if (n > INT32_MAX) throw py::value_error("too many points");
        for (std::int64_t i = 0; i < n; ++i)
            if (!std::isfinite(x_.data()[i]) || !std::isfinite(y_.data()[i]))
                throw py::value_error("point " + std::to_string(i) + " is not finite");
        if (rows_.ndim() != 2 || rows_.shape(1) != 3) throw py::value_error("rows must have shape (m, 3)");
        const std::int64_t m = rows_.shape(0);
        if (m == 0) throw py::value_error("the cubic surface needs triangles");
        checkEntries(rows_.data(), 3 * m, 0, n - 1, "rows");
        if (across_.ndim() != 2 || across_.shape(0) != m || across_.shape(1) != 3)
            throw py::value_error("across must have the shape of rows");
        checkEntries(across_.data(), 3 * m, -1, m - 1, "across");
        if (lengthOf(start_, "start") != n + 1) throw py::value_error("start must have n + 1 entries");
        const std::int64_t edges = lengthOf(adjacent_, "adjacent");
        const std::int64_t* s = start_.data();
        if (s[0] != 0 || s[n] != edges) throw py::value_error("start must cover adjacent");
        for (std::int64_t p = 0; p < n; ++p)
            if (s[p + 1] < s[p]) throw py::value_error("start must ascend");
        checkEntries(adjacent_.data(), edges, 0, n - 1, "adjacent");
        for (std::int64_t p = 0; p < n; ++p)
            for (std::int64_t e = s[p]; e < s[p + 1]; ++e)
                if (adjacent_.data()[e] == p) throw py::value_error("a point cannot be its own neighbour");
        if (values_.ndim() != 2 || values_.shape(0) != n) throw py::value_error("values must have shape (n, k)");
        if (std::isnan(tol)) throw py::value_error("tol must not be NaN");
        if (maxiter < 0) throw py::value_error("maxiter must not be negative");
        columns_ = static_cast<int>(values_.shape(1));
        const int threads = threadsOf(workers);
        mesh_.x = x_.data();
        mesh_.y = y_.data();
        mesh_.n = static_cast<std::int32_t>(n);
        mesh_.rows = rows_.data();
        mesh_.across = across_.data();
        mesh_.m = m;
        gradients_.assign(2 * static_cast<std::size_t>(n) * static_cast<std::size_t>(columns_), 0.0);
        py::gil_scoped_release released;
        sweeps_ = estimateGradients(mesh_, s, adjacent_.data(), values_.data(), columns_, tol, maxiter, threads,
                                    gradients_.data());
        starts_ = std::make_unique<WalkStarts>(mesh_);
    }

    // (k, n, 2): each column's gradients, point by point.
    py::array_t<double> gradients() const
    {
        py::array_t<double> out({static_cast<py::ssize_t>(columns_), static_cast<py::ssize_t>(mesh_.n),
                                 static_cast<py::ssize_t>(2)});
        std::copy(gradients_.begin(), gradients_.end(), out.mutable_data());
        return out;
    }

    py::array_t<std::int64_t> locate(const Doubles& qx, const Doubles& qy, int workers) const
    {
        const std::int64_t count = queryCount(qx, qy);
        const int threads = threadsOf(workers);
        py::array_t<std::int64_t> simplex(count);
        std::int64_t* out = simplex.mutable_data();
        py::gil_scoped_release released;
        locateByWalk(mesh_, *starts_, qx.data(), qy.data(), count, threads, out);
        return simplex;
    }

    py::array_t<double> evaluate(const Doubles& qx, const Doubles& qy, const Int64s& simplex, int workers) const
    {
        const std::int64_t count = queryCount(qx, qy);
        if (lengthOf(simplex, "simplex") != count) throw py::value_error("simplex must have one entry per query");
        for (std::int64_t i = 0; i < count; ++i)
            if (simplex.data()[i] >= mesh_.m) throw py::value_error("simplex entries must be rows, or negative for none");
        const int threads = threadsOf(workers);
        py::array_t<double> answers({static_cast<py::ssize_t>(count), static_cast<py::ssize_t>(columns_)});
        double* out = answers.mutable_data();
        py::gil_scoped_release released;
        evaluateCubic(mesh_, values_.data(), gradients_.data(), columns_, qx.data(), qy.data(), simplex.data(), count,
                      threads, out);
        return answers;
    }

    const std::vector<int>& sweeps() const { return sweeps_; }
    std::size_t bytes() const { return gradients_.size() * sizeof(double); }

private:
    Doubles x_, y_;
    Int32s rows_, across_;
    Int64s start_;
    Int32s adjacent_;
    Columns values_;
    CubicMesh mesh_;
    int columns_ = 0;
    std::vector<double> gradients_;
    std::vector<int> sweeps_;
    std::unique_ptr<WalkStarts> starts_;
};

}  // namespace

void bindCloughTocher(py::module_& module)
{
    py::class_<CloughTocherHandle>(module, "_CloughTocher")
        .def(py::init<Doubles, Doubles, Int32s, Int32s, Int64s, Int32s, Columns, double, int, int>(), py::arg("x"),
             py::arg("y"), py::arg("rows"), py::arg("across"), py::arg("start"), py::arg("adjacent"),
             py::arg("values"), py::arg("tol"), py::arg("maxiter"), py::arg("workers") = 1,
             "_CloughTocher(x, y, rows, across, start, adjacent, values, tol, maxiter, workers=1)\n--\n\n"
             "The global gradient estimate of each value column (n, k) over the rows (m, 3) with their neighbours "
             "across (opposite each corner, -1 on the hull) and the points' neighbours adjacent[start[p]:start[p+1]].")
        .def_property_readonly("sweeps", &CloughTocherHandle::sweeps,
                               "Each column's number of Gauss-Seidel sweeps, 0 where maxiter did not reach tol.")
        .def_property_readonly("nbytes", &CloughTocherHandle::bytes, "Bytes of the gradients.")
        .def("gradients", &CloughTocherHandle::gradients, "gradients()\n--\n\n(k, n, 2): the gradients of each column.")
        .def("locate", &CloughTocherHandle::locate, py::arg("qx"), py::arg("qy"), py::arg("workers") = 1,
             "locate(qx, qy, workers=1)\n--\n\nThe row holding each query by a walk; -2 where exact location must "
             "decide (outside the hull, or a walk too long), -1 for coordinates not finite.")
        .def("evaluate", &CloughTocherHandle::evaluate, py::arg("qx"), py::arg("qy"), py::arg("simplex"),
             py::arg("workers") = 1,
             "evaluate(qx, qy, simplex, workers=1)\n--\n\n(q, k): the surface at each query in its row, NaN for "
             "negative rows.");
}

}  // namespace kyhost_python
