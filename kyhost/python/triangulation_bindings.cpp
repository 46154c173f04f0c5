#include "triangulation_bindings.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "barycentric.hpp"
#include "point_location.hpp"
#include "triangulation_index.hpp"
#include "worker_threads.hpp"

namespace py = pybind11;
using namespace kyhost_spatial;

namespace kyhost_python {

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;
using Int32s = py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>;
using Int64s = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>;

std::int64_t vectorLength(const py::array& a, const char* name)
{
    if (a.ndim() != 1) throw py::value_error(std::string(name) + " must be 1-D");
    return a.shape(0);
}

std::int64_t rowCount(const Int32s& rows, std::int64_t n, const char* name)
{
    if (rows.ndim() != 2 || rows.shape(1) != 3) throw py::value_error(std::string(name) + " must have shape (m, 3)");
    const std::int64_t bad = firstBadCorner(rows.data(), rows.shape(0), static_cast<std::int32_t>(n));
    if (bad >= 0)
        throw py::value_error(std::string(name) + " entry " + std::to_string(rows.data()[bad]) +
                              " is not a point from 0 to " + std::to_string(n - 1));
    return rows.shape(0);
}

// Queries as two vectors of one length.
std::int64_t queryCount(const Doubles& qx, const Doubles& qy)
{
    const std::int64_t count = vectorLength(qx, "qx");
    if (vectorLength(qy, "qy") != count) throw py::value_error("qx and qy must have the same length");
    return count;
}

int threadsOf(int workers)
{
    if (workers == 0 || workers < -1) throw py::value_error("workers must be a positive number of threads, or -1 for all");
    return threadsFor(workers);
}

// A read-only array over memory that `owner` keeps alive. Its base is a
// capsule holding `owner`, not `owner` itself: the memory belongs to
// compiled code that never changes it, which a capsule base says to the
// package's own checks (a sparse layout over it is read in place).
template <class T>
py::array readOnlyView(const T* data, std::vector<py::ssize_t> shape, const py::object& owner)
{
    PyObject* held = owner.inc_ref().ptr();
    void (*release)(void*) = [](void* object) { Py_DECREF(static_cast<PyObject*>(object)); };
    const py::capsule keeper(static_cast<const void*>(held), release);
    py::array view(py::dtype::of<T>(), std::move(shape), {}, data, keeper);
    view.attr("setflags")(py::arg("write") = false);
    return view;
}

class IndexHandle {
public:
    IndexHandle(Doubles x, Doubles y, Int32s rows, std::optional<Int64s> original, std::optional<Int64s> groupStart,
                std::optional<Int64s> members, std::int64_t givenCount, std::optional<Int64s> graphStart,
                std::optional<Int32s> graphPoints)
        : x_(std::move(x)), y_(std::move(y)), rows_(std::move(rows)), original_(std::move(original)),
          groupStart_(std::move(groupStart)), members_(std::move(members))
    {
        const SearchPoints points = checkedPoints(givenCount);
        const std::int64_t m = rows_.shape(0);
        if (graphStart && graphPoints && m > 0) {
            NeighbourGraph graph = checkedGraph(*graphStart, *graphPoints, points.n);
            py::gil_scoped_release released;
            index_ = std::make_unique<TriangulationIndex>(points, rows_.data(), m, std::move(graph));
            return;
        }
        py::gil_scoped_release released;
        index_ = std::make_unique<TriangulationIndex>(points, rows_.data(), m);
    }

    // The points' neighbour graph: (start int64, points int32), read-only.
    py::tuple graph(const py::object& self) const
    {
        const NeighbourGraph& g = index_->graph();
        return py::make_tuple(readOnlyView(g.start.data(), {static_cast<py::ssize_t>(g.start.size())}, self),
                              readOnlyView(g.points.data(), {static_cast<py::ssize_t>(g.points.size())}, self));
    }

private:
    SearchPoints checkedPoints(std::int64_t givenCount) const
    {
        const std::int64_t n = vectorLength(x_, "x");
        if (vectorLength(y_, "y") != n) throw py::value_error("x and y must have the same length");
        if (n > INT32_MAX) throw py::value_error("too many points");
        for (std::int64_t i = 0; i < n; ++i)
            if (!std::isfinite(x_.data()[i]) || !std::isfinite(y_.data()[i]))
                throw py::value_error("point " + std::to_string(i) + " is not finite");
        rowCount(rows_, n, "rows");  // checks the rows
        SearchPoints points;
        points.x = x_.data();
        points.y = y_.data();
        points.n = static_cast<std::int32_t>(n);
        points.givenCount = givenCount;
        if (givenCount < n) throw py::value_error("given_count is below the number of points");
        if (original_) {
            if (vectorLength(*original_, "original") != n) throw py::value_error("original must have one entry per point");
            const std::int64_t* o = original_->data();
            for (std::int64_t i = 0; i < n; ++i)
                if (o[i] < 0 || o[i] >= givenCount || (i > 0 && o[i] <= o[i - 1]))
                    throw py::value_error("original must ascend within the points as given");
            points.original = o;
        }
        if (groupStart_ && members_) {
            if (vectorLength(*groupStart_, "group_start") != n + 1) throw py::value_error("group_start must have n + 1 entries");
            const std::int64_t* s = groupStart_->data();
            const std::int64_t size = vectorLength(*members_, "members");
            for (std::int64_t i = 0; i < n; ++i)
                if (s[i] < 0 || s[i] >= s[i + 1] || s[i + 1] > size) throw py::value_error("group_start must ascend within members");
            if (s[0] != 0 || s[n] != size) throw py::value_error("group_start must cover members");
            for (std::int64_t i = 0; i < size; ++i)
                if (members_->data()[i] < 0 || members_->data()[i] >= givenCount)
                    throw py::value_error("members must be points as given");
            points.groupStart = s;
            points.members = members_->data();
        }
        return points;
    }

    static NeighbourGraph checkedGraph(const Int64s& start, const Int32s& points, std::int32_t n)
    {
        if (vectorLength(start, "graph_start") != static_cast<std::int64_t>(n) + 1)
            throw py::value_error("graph_start must have n + 1 entries");
        const std::int64_t size = vectorLength(points, "graph_points");
        const std::int64_t* s = start.data();
        if (s[0] != 0 || s[n] != size) throw py::value_error("graph_start must cover graph_points");
        for (std::int32_t p = 0; p < n; ++p)
            if (s[p + 1] < s[p]) throw py::value_error("graph_start must ascend");
        for (std::int64_t i = 0; i < size; ++i)
            if (points.data()[i] < 0 || points.data()[i] >= n) throw py::value_error("graph_points must be points");
        NeighbourGraph graph;
        graph.start.assign(s, s + n + 1);
        graph.points.assign(points.data(), points.data() + size);
        return graph;
    }

public:

    const TriangulationIndex& index() const { return *index_; }
    std::int32_t pointCount() const { return index_->points().n; }

    py::tuple nearest(const Doubles& qx, const Doubles& qy, int workers, bool ties) const
    {
        const std::int64_t count = queryCount(qx, qy);
        const int threads = threadsOf(workers);
        py::array_t<std::int64_t> index(count);
        py::array_t<double> distance(count);
        py::array_t<bool> tied(ties ? count : 0);
        std::int64_t* indexOut = index.mutable_data();
        double* distanceOut = distance.mutable_data();
        auto* tiedOut = ties ? reinterpret_cast<std::uint8_t*>(tied.mutable_data()) : nullptr;
        {
            py::gil_scoped_release released;
            index_->search().nearest(qx.data(), qy.data(), count, threads, indexOut, distanceOut, tiedOut);
        }
        return py::make_tuple(index, distance, ties ? py::object(tied) : py::none());
    }

    py::tuple query(const Doubles& qx, const Doubles& qy, int k, double bound, int workers, double p) const
    {
        const std::int64_t count = queryCount(qx, qy);
        if (k < 1) throw py::value_error("k must be at least 1");
        if (std::isnan(bound)) throw py::value_error("distance_upper_bound must not be NaN");
        if (p != 1 && p != 2 && p != std::numeric_limits<double>::infinity())
            throw py::value_error("p must be 1, 2 or inf");
        const int threads = threadsOf(workers);
        py::array_t<double> distance({static_cast<py::ssize_t>(count), static_cast<py::ssize_t>(k)});
        py::array_t<std::int64_t> index({static_cast<py::ssize_t>(count), static_cast<py::ssize_t>(k)});
        double* distanceOut = distance.mutable_data();
        std::int64_t* indexOut = index.mutable_data();
        {
            py::gil_scoped_release released;
            index_->search().kNearestInNorm(qx.data(), qy.data(), count, k, p, bound, threads, distanceOut, indexOut);
        }
        return py::make_tuple(distance, index);
    }

    py::array_t<double> distances(const Int64s& points, const Doubles& qx, const Doubles& qy) const
    {
        const std::int64_t count = queryCount(qx, qy);
        if (vectorLength(points, "points") != count) throw py::value_error("points must have one entry per query");
        py::array_t<double> out(count);
        double* d = out.mutable_data();
        for (std::int64_t i = 0; i < count; ++i) {
            const std::int64_t p = points.data()[i];
            if (p < 0 || p >= pointCount()) throw py::value_error("points must be numbers of the triangulation's points");
            d[i] = index_->search().distanceTo(static_cast<std::int32_t>(p), qx.data()[i], qy.data()[i]);
        }
        return out;
    }

    py::array neighbors(const py::object& self) const
    {
        {
            py::gil_scoped_release released;
            index_->across();  // made at the first call
        }
        return readOnlyView(index_->across().data(),
                            {static_cast<py::ssize_t>(index_->rowCount()), static_cast<py::ssize_t>(3)}, self);
    }

    // (indptr, indices) as scipy's vertex_neighbor_vertices holds them: int32.
    py::tuple adjacency(const py::object& self) const
    {
        const NeighbourGraph& graph = index_->graph();
        if (graph.points.size() > static_cast<std::size_t>(INT32_MAX)) throw py::value_error("too many edges for int32 indices");
        py::array_t<std::int32_t> indptr(static_cast<py::ssize_t>(graph.start.size()));
        std::copy(graph.start.begin(), graph.start.end(), indptr.mutable_data());
        indptr.attr("setflags")(py::arg("write") = false);
        return py::make_tuple(indptr, readOnlyView(graph.points.data(), {static_cast<py::ssize_t>(graph.points.size())}, self));
    }

private:
    Doubles x_, y_;
    Int32s rows_;
    std::optional<Int64s> original_, groupStart_, members_;
    std::unique_ptr<TriangulationIndex> index_;
};

class LocatorHandle {
public:
    explicit LocatorHandle(py::object index) : indexObject_(std::move(index))
    {
        const TriangulationIndex& built = indexObject_.cast<const IndexHandle&>().index();
        if (built.rowCount() == 0) throw py::value_error("no triangles to locate points in");
        const SearchPoints& points = built.points();
        py::gil_scoped_release released;
        location_ = std::make_unique<PointLocation>(points.x, points.y, points.n, built.search().frame(),
                                                    built.search().frameXY(), built.rows(), built.across().data(),
                                                    built.rowCount());
        levelPoints_ = points.n;
    }

    void addLevel(const Int32s& points, const Int32s& rows)
    {
        const std::int64_t count = vectorLength(points, "points");
        const std::int32_t* p = points.data();
        for (std::int64_t i = 0; i < count; ++i)
            if (p[i] < 0 || p[i] >= levelPoints_ || (i > 0 && p[i] <= p[i - 1]))
                throw py::value_error("a level's points must ascend within the triangulation's points");
        const std::int64_t m = rowCount(rows, count, "rows");
        if (m == 0) throw py::value_error("a level needs triangles");
        std::vector<std::int32_t> ownPoints(p, p + count), ownRows(rows.data(), rows.data() + 3 * m);
        py::gil_scoped_release released;
        location_->addLevel(std::move(ownPoints), std::move(ownRows));
    }

    py::array_t<std::int64_t> locate(const Doubles& qx, const Doubles& qy, double tolerance, bool everywhere) const
    {
        const std::int64_t count = queryCount(qx, qy);
        if (std::isnan(tolerance)) throw py::value_error("tol must not be NaN");
        py::array_t<std::int64_t> simplex(count);
        std::int64_t* out = simplex.mutable_data();
        py::gil_scoped_release released;
        if (everywhere) location_->locateEverywhere(qx.data(), qy.data(), count, tolerance, out);
        else location_->locate(qx.data(), qy.data(), count, tolerance, out);
        return simplex;
    }

    py::array_t<double> weights(const Int64s& simplex, const Doubles& qx, const Doubles& qy) const
    {
        const std::int64_t count = queryCount(qx, qy);
        if (vectorLength(simplex, "simplex") != count) throw py::value_error("simplex must have one entry per query");
        const std::int64_t m = indexObject_.cast<const IndexHandle&>().index().rowCount();
        for (std::int64_t i = 0; i < count; ++i)
            if (simplex.data()[i] < -1 || simplex.data()[i] >= m) throw py::value_error("simplex entries must be rows or -1");
        py::array_t<double> out({static_cast<py::ssize_t>(count), static_cast<py::ssize_t>(3)});
        double* w = out.mutable_data();
        py::gil_scoped_release released;
        location_->weights(simplex.data(), qx.data(), qy.data(), count, w);
        return out;
    }

    std::size_t levels() const { return location_->levelCount(); }

private:
    py::object indexObject_;  // keeps the index, and through it the arrays, alive
    std::unique_ptr<PointLocation> location_;
    std::int32_t levelPoints_ = 0;
};

// scipy's barycentric transform of the rows (each row's corners in the order
// given): shape (m, 3, 2).
py::array_t<double> barycentricTransforms(const Doubles& x, const Doubles& y, const Int32s& rows)
{
    const std::int64_t n = vectorLength(x, "x");
    if (vectorLength(y, "y") != n) throw py::value_error("x and y must have the same length");
    const std::int64_t m = rowCount(rows, n, "rows");
    py::array_t<double> out({static_cast<py::ssize_t>(m), static_cast<py::ssize_t>(3), static_cast<py::ssize_t>(2)});
    double* t = out.mutable_data();
    const std::int32_t* r = rows.data();
    const double* px = x.data();
    const double* py_ = y.data();
    py::gil_scoped_release released;
    for (std::int64_t i = 0; i < m; ++i) {
        const std::int32_t* row = r + 3 * i;
        const std::array<double, 6> one =
            barycentricTransform({px[row[0]], py_[row[0]], px[row[1]], py_[row[1]], px[row[2]], py_[row[2]]});
        std::copy(one.begin(), one.end(), t + 6 * i);
    }
    return out;
}

}  // namespace

const TriangulationIndex& triangulationIndexOf(py::handle index)
{
    return index.cast<const IndexHandle&>().index();
}

void bindTriangulation(py::module_& module)
{
    py::class_<IndexHandle>(module, "_TriangulationIndex")
        .def(py::init<Doubles, Doubles, Int32s, std::optional<Int64s>, std::optional<Int64s>, std::optional<Int64s>,
                      std::int64_t, std::optional<Int64s>, std::optional<Int32s>>(),
             py::arg("x"), py::arg("y"), py::arg("rows"), py::arg("original") = py::none(),
             py::arg("group_start") = py::none(), py::arg("members") = py::none(), py::arg("given_count"),
             py::arg("graph_start") = py::none(), py::arg("graph_points") = py::none())
        .def("nearest", &IndexHandle::nearest, py::arg("qx"), py::arg("qy"), py::arg("workers") = 1,
             py::arg("ties") = false,
             "nearest(qx, qy, workers=1, ties=False)\n--\n\n(index, distance, tied or None): the nearest point as given of "
             "each query (-1 and inf where a coordinate is not finite); tied: another point is exactly as near.")
        .def("query", &IndexHandle::query, py::arg("qx"), py::arg("qy"), py::arg("k"), py::arg("bound"),
             py::arg("workers") = 1, py::arg("p") = 2.0,
             "query(qx, qy, k, bound, workers=1, p=2)\n--\n\n(distance, index), each (q, k): the k nearest points "
             "closer than bound in the norm p (1, 2 or inf), ascending; missing ones inf and given_count.")
        .def("distances", &IndexHandle::distances, py::arg("points"), py::arg("qx"), py::arg("qy"),
             "distances(points, qx, qy)\n--\n\nThe distance from each query to a point (its number among the used "
             "points), as nearest reports it.")
        .def("graph", [](const py::object& self) { return self.cast<const IndexHandle&>().graph(self); },
             "graph()\n--\n\n(start, points): the points' neighbour graph the searches walk, read-only; passed back "
             "as graph_start and graph_points it spares building it again.")
        .def("neighbors", [](const py::object& self) { return self.cast<const IndexHandle&>().neighbors(self); },
             "neighbors()\n--\n\nThe rows' neighbours (m, 3) int32, read-only.")
        .def("adjacency", [](const py::object& self) { return self.cast<const IndexHandle&>().adjacency(self); },
             "adjacency()\n--\n\n(indptr, indices) int32, read-only: the points joined to each point.");
    py::class_<LocatorHandle>(module, "_PointLocator")
        .def(py::init<py::object>(), py::arg("index"))
        .def("add_level", &LocatorHandle::addLevel, py::arg("points"), py::arg("rows"),
             "add_level(points, rows)\n--\n\nA coarser level: ascending point numbers and their clockwise rows.")
        .def("locate", &LocatorHandle::locate, py::arg("qx"), py::arg("qy"), py::arg("tol"), py::arg("everywhere") = false,
             "locate(qx, qy, tol, everywhere=False)\n--\n\nThe row holding each query, -1 outside.")
        .def("weights", &LocatorHandle::weights, py::arg("simplex"), py::arg("qx"), py::arg("qy"),
             "weights(simplex, qx, qy)\n--\n\nBarycentric weights (q, 3) in the rows' corner order, NaN for -1.")
        .def_property_readonly("levels", &LocatorHandle::levels);
    module.def("_barycentric_transform", &barycentricTransforms, py::arg("x"), py::arg("y"), py::arg("rows"),
               "_barycentric_transform(x, y, rows)\n--\n\nscipy's barycentric transform (m, 3, 2) of the rows.");
}

}  // namespace kyhost_python
