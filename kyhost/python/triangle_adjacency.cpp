#include "triangle_adjacency.hpp"

#include <pybind11/numpy.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

#include "mesh_adjacency.hpp"

namespace py = pybind11;

namespace kyhost_python {

namespace {

using Rows = py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>;

void checkRows(const Rows& rows, std::int64_t n)
{
    if (rows.ndim() != 2 || rows.shape(1) != 3) throw py::value_error("rows must have shape (m, 3)");
    if (n < 0 || n > INT32_MAX) throw py::value_error("n must be a point count from 0 to 2^31 - 1");
    const std::int64_t bad = kyhost_spatial::firstBadCorner(rows.data(), rows.shape(0), static_cast<std::int32_t>(n));
    if (bad >= 0)
        throw py::value_error("row entry " + std::to_string(rows.data()[bad]) + " is not a point from 0 to " +
                              std::to_string(n - 1));
}

py::array_t<std::int32_t> rowNeighbors(const Rows& rows, std::int64_t n)
{
    checkRows(rows, n);
    const std::int64_t m = rows.shape(0);
    std::vector<std::int32_t> across;
    {
        py::gil_scoped_release released;
        across = kyhost_spatial::rowNeighbours(rows.data(), m, static_cast<std::int32_t>(n));
    }
    py::array_t<std::int32_t> result({static_cast<py::ssize_t>(m), static_cast<py::ssize_t>(3)});
    std::copy(across.begin(), across.end(), result.mutable_data());
    return result;
}

py::tuple pointAdjacency(const Rows& rows, std::int64_t n)
{
    checkRows(rows, n);
    kyhost_spatial::NeighbourGraph graph;
    {
        py::gil_scoped_release released;
        graph = kyhost_spatial::pointAdjacency(rows.data(), rows.shape(0), static_cast<std::int32_t>(n));
    }
    if (graph.points.size() > static_cast<std::size_t>(INT32_MAX)) throw py::value_error("too many edges for int32 indices");
    py::array_t<std::int32_t> indptr(static_cast<py::ssize_t>(graph.start.size()));
    py::array_t<std::int32_t> indices(static_cast<py::ssize_t>(graph.points.size()));
    std::copy(graph.start.begin(), graph.start.end(), indptr.mutable_data());
    std::copy(graph.points.begin(), graph.points.end(), indices.mutable_data());
    return py::make_tuple(indptr, indices);
}

}  // namespace

void bindTriangleAdjacency(py::module_& module)
{
    module.def("_row_neighbors", &rowNeighbors, py::arg("rows"), py::arg("n"),
               "_row_neighbors(rows, n)\n--\n\nneighbors[r, k]: the row across the edge opposite corner k of row r, "
               "-1 on the hull. rows: (m, 3) 0-based points below n.");
    module.def("_point_adjacency", &pointAdjacency, py::arg("rows"), py::arg("n"),
               "_point_adjacency(rows, n)\n--\n\n(indptr, indices) of the points joined by an edge of any row.");
}

}  // namespace kyhost_python
