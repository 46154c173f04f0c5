#include "ball_search_bindings.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "ball_search.hpp"
#include "triangulation_bindings.hpp"
#include "worker_threads.hpp"

namespace py = pybind11;
using namespace kyhost_spatial;

namespace kyhost_python {

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;

// Queries as two vectors and a radius for each.
std::int64_t checkedQueries(const Doubles& qx, const Doubles& qy, const Doubles& r)
{
    if (qx.ndim() != 1 || qy.ndim() != 1 || r.ndim() != 1) throw py::value_error("qx, qy and r must be vectors");
    const std::int64_t count = qx.shape(0);
    if (qy.shape(0) != count || r.shape(0) != count) throw py::value_error("qx, qy and r must have one length");
    return count;
}

double checkedNorm(double p)
{
    if (p != 1 && p != 2 && p != std::numeric_limits<double>::infinity())
        throw py::value_error("p must be 1, 2 or inf");
    return p;
}

int threadsOf(int workers)
{
    if (workers == 0 || workers < -1) throw py::value_error("workers must be a positive number of threads, or -1 for all");
    return threadsFor(workers);
}

py::object newInt(std::int64_t value)
{
    PyObject* made = PyLong_FromLongLong(value);
    if (made == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(made);
}

class BallHandle {
public:
    explicit BallHandle(py::object index) : indexObject_(std::move(index))
    {
        const TriangulationIndex& built = triangulationIndexOf(indexObject_);
        py::gil_scoped_release released;
        search_ = std::make_unique<BallSearch>(built);
    }

    // A 1-D object array of lists of points as given, one per query.
    py::array lists(const Doubles& qx, const Doubles& qy, const Doubles& r, double p, int workers, bool sorted) const
    {
        const std::int64_t count = checkedQueries(qx, qy, r);
        const int threads = threadsOf(workers);
        checkedNorm(p);
        BallLists found;
        {
            py::gil_scoped_release released;
            found = search_->within(qx.data(), qy.data(), r.data(), count, p, threads, sorted);
        }
        py::array out = py::module_::import("numpy").attr("empty")(count, "object");
        auto** slots = reinterpret_cast<PyObject**>(out.mutable_data());
        for (std::int64_t q = 0; q < count; ++q) {
            const std::int64_t begin = found.start[q], end = found.start[q + 1];
            PyObject* list = PyList_New(end - begin);
            if (list == nullptr) throw py::error_already_set();
            Py_XDECREF(slots[q]);
            slots[q] = list;  // owned by the array from here on
            for (std::int64_t k = begin; k < end; ++k) PyList_SET_ITEM(list, k - begin, newInt(found.items[k]).release().ptr());
        }
        return out;
    }

    py::array_t<std::int64_t> counts(const Doubles& qx, const Doubles& qy, const Doubles& r, double p, int workers) const
    {
        const std::int64_t count = checkedQueries(qx, qy, r);
        const int threads = threadsOf(workers);
        checkedNorm(p);
        py::array_t<std::int64_t> out(count);
        std::int64_t* counts = out.mutable_data();
        py::gil_scoped_release released;
        search_->countWithin(qx.data(), qy.data(), r.data(), count, p, threads, counts);
        return out;
    }

    // (m, 2) int64: the pairs i < j within r, ascending, written straight
    // into the array.
    py::array_t<std::int64_t> pairs(double r, double p, int workers) const
    {
        const int threads = threadsOf(workers);
        checkedNorm(p);
        py::array_t<std::int64_t> out;
        {
            py::gil_scoped_release released;
            search_->pairs(r, p, threads, [&out](std::int64_t count) {
                const py::gil_scoped_acquire acquired;
                out = py::array_t<std::int64_t>({static_cast<py::ssize_t>(count), static_cast<py::ssize_t>(2)});
                return out.mutable_data();
            });
        }
        return out;
    }

    // The same pairs as a set of tuples; each point's int is made once and
    // shared by its tuples.
    py::set pairSet(double r, double p, int workers) const
    {
        const int threads = threadsOf(workers);
        checkedNorm(p);
        std::vector<std::int64_t> found;
        {
            py::gil_scoped_release released;
            search_->pairs(r, p, threads, [&found](std::int64_t count) {
                found.resize(2 * static_cast<std::size_t>(count));
                return found.data();
            });
        }
        std::int64_t largest = -1;
        for (const std::int64_t g : found) largest = std::max(largest, g);
        std::vector<py::object> ints(static_cast<std::size_t>(largest + 1));
        const auto intOf = [&ints](std::int64_t g) -> PyObject* {
            py::object& slot = ints[static_cast<std::size_t>(g)];
            if (!slot) slot = newInt(g);
            return slot.ptr();
        };
        // The tuples hold only ints and make no cycles: the collector is
        // kept from scanning the growing set over and over while it is built.
        struct CollectorPause {
            int wasOn = PyGC_Disable();
            ~CollectorPause()
            {
                if (wasOn) PyGC_Enable();
            }
        } pause;
        py::set out;
        for (std::size_t k = 0; k + 1 < found.size(); k += 2) {
            PyObject* pair = PyTuple_Pack(2, intOf(found[k]), intOf(found[k + 1]));
            if (pair == nullptr) throw py::error_already_set();
            const py::object owned = py::reinterpret_steal<py::object>(pair);
            if (PySet_Add(out.ptr(), pair) != 0) throw py::error_already_set();
        }
        return out;
    }

    py::array_t<std::int64_t> countPairs(const Doubles& qx, const Doubles& qy, const Doubles& radii, double p,
                                         int workers) const
    {
        if (qx.ndim() != 1 || qy.ndim() != 1 || qx.shape(0) != qy.shape(0) || radii.ndim() != 1)
            throw py::value_error("qx and qy must be vectors of one length, radii a vector");
        const int threads = threadsOf(workers);
        checkedNorm(p);
        const std::vector<double> r(radii.data(), radii.data() + radii.shape(0));
        std::vector<std::int64_t> totals;
        {
            py::gil_scoped_release released;
            totals = search_->countPairs(qx.data(), qy.data(), qx.shape(0), r, p, threads);
        }
        py::array_t<std::int64_t> out(static_cast<py::ssize_t>(totals.size()));
        std::copy(totals.begin(), totals.end(), out.mutable_data());
        return out;
    }

private:
    py::object indexObject_;  // keeps the index, and through it the arrays, alive
    std::unique_ptr<BallSearch> search_;
};

}  // namespace

void bindBallSearch(py::module_& module)
{
    py::class_<BallHandle>(module, "_BallSearch")
        .def(py::init<py::object>(), py::arg("index"))
        .def("lists", &BallHandle::lists, py::arg("qx"), py::arg("qy"), py::arg("r"), py::arg("p"),
             py::arg("workers"), py::arg("sorted"),
             "lists(qx, qy, r, p, workers, sorted)\n--\n\nObject array of lists: the points as given within r[i] "
             "of each query (cKDTree's <= on its computed norm).")
        .def("counts", &BallHandle::counts, py::arg("qx"), py::arg("qy"), py::arg("r"), py::arg("p"),
             py::arg("workers"),
             "counts(qx, qy, r, p, workers)\n--\n\nThe number of points as given within r[i] of each query.")
        .def("pairs", &BallHandle::pairs, py::arg("r"), py::arg("p"), py::arg("workers"),
             "pairs(r, p, workers)\n--\n\n(m, 2) int64: the pairs i < j of points within r, ascending.")
        .def("pair_set", &BallHandle::pairSet, py::arg("r"), py::arg("p"), py::arg("workers"),
             "pair_set(r, p, workers)\n--\n\nThe same pairs as a set of tuples.")
        .def("count_pairs", &BallHandle::countPairs, py::arg("qx"), py::arg("qy"), py::arg("radii"), py::arg("p"),
             py::arg("workers"),
             "count_pairs(qx, qy, radii, p, workers)\n--\n\nFor each radius, the pairs (query, point) within it.");
}

}  // namespace kyhost_python
