#include "voronoi_bindings.hpp"

#include <pybind11/numpy.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "convex_cells.hpp"
#include "mesh_adjacency.hpp"
#include "polygon_cells.hpp"
#include "polygon_triangles.hpp"
#include "voronoi_diagram.hpp"

namespace py = pybind11;

namespace kyhost_python {

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;
using Int32s = py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>;
using Int64s = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>;
using Bytes = py::array_t<std::uint8_t, py::array::c_style | py::array::forcecast>;

template <class T>
py::array_t<T> arrayOf(const std::vector<T>& values, std::vector<py::ssize_t> shape)
{
    py::array_t<T> out(shape);
    if (!values.empty()) std::copy(values.begin(), values.end(), out.mutable_data());
    return out;
}

std::int32_t pointCount(const Doubles& x, const Doubles& y)
{
    if (x.ndim() != 1 || y.ndim() != 1 || x.shape(0) != y.shape(0))
        throw py::value_error("x and y must be vectors of one length");
    if (x.shape(0) >= INT32_MAX) throw py::value_error("too many points");
    return static_cast<std::int32_t>(x.shape(0));
}

void checkOffsets(const Int64s& start, std::int64_t n, std::int64_t entries, const char* name)
{
    if (start.ndim() != 1 || start.shape(0) != n + 1) throw py::value_error(std::string(name) + " must have n + 1 offsets");
    const std::int64_t* s = start.data();
    if (s[0] != 0 || s[n] != entries) throw py::value_error(std::string(name) + " must run from 0 to its entries");
    for (std::int64_t i = 0; i < n; ++i)
        if (s[i + 1] < s[i]) throw py::value_error(std::string(name) + " must not decrease");
}

void checkRange(const std::int32_t* values, std::int64_t count, std::int32_t low, std::int32_t high, const char* name)
{
    for (std::int64_t i = 0; i < count; ++i)
        if (values[i] < low || values[i] >= high) throw py::value_error(std::string(name) + " holds an entry out of range");
}

py::tuple diagram(const Doubles& x, const Doubles& y, const Int32s& rows, int threads)
{
    const std::int32_t n = pointCount(x, y);
    if (rows.ndim() != 2 || rows.shape(1) != 3) throw py::value_error("rows must have shape (m, 3)");
    const std::int64_t m = rows.shape(0);
    if (kyhost_spatial::firstBadCorner(rows.data(), m, n) >= 0) throw py::value_error("rows hold an entry that is not a point");
    kyhost_voronoi::Diagram d;
    {
        py::gil_scoped_release released;
        try {
            d = kyhost_voronoi::voronoiDiagram(x.data(), y.data(), n, rows.data(), m, threads);
        } catch (const std::invalid_argument& error) {
            py::gil_scoped_acquire held;
            throw py::value_error(error.what());
        }
    }
    const auto vertexCount = static_cast<py::ssize_t>(d.vertices.size() / 2);
    const auto ridgeCount = static_cast<py::ssize_t>(d.ridgePoints.size() / 2);
    return py::make_tuple(arrayOf(d.vertices, {vertexCount, 2}), arrayOf(d.rowVertex, {static_cast<py::ssize_t>(m)}),
                          arrayOf(d.ridgePoints, {ridgeCount, 2}), arrayOf(d.ridgeVertices, {ridgeCount, 2}),
                          arrayOf(d.regionStart, {static_cast<py::ssize_t>(n) + 1}),
                          arrayOf(d.regionVertices, {static_cast<py::ssize_t>(d.regionVertices.size())}));
}

kyhost_voronoi::CellInputs cellInputs(const Doubles& x, const Doubles& y, const Int64s& neighbourStart,
                                      const Int32s& neighbourPoints, const Int64s& regionStart,
                                      const Int32s& regionVertices, const Doubles& vertices)
{
    const std::int32_t n = pointCount(x, y);
    checkOffsets(neighbourStart, n, neighbourPoints.size(), "neighbour offsets");
    checkRange(neighbourPoints.data(), neighbourPoints.size(), 0, n, "neighbour points");
    kyhost_voronoi::CellInputs in{x.data(), y.data(), n, neighbourStart.data(), neighbourPoints.data()};
    if (regionStart.size() > 0) {
        checkOffsets(regionStart, n, regionVertices.size(), "region offsets");
        if (vertices.ndim() != 2 || vertices.shape(1) != 2) throw py::value_error("vertices must have shape (k, 2)");
        checkRange(regionVertices.data(), regionVertices.size(), -1, static_cast<std::int32_t>(vertices.shape(0)),
                   "regions");
        in.regionStart = regionStart.data();
        in.regionVertices = regionVertices.data();
        in.vertices = vertices.data();
    }
    return in;
}

py::tuple cells(const Doubles& x, const Doubles& y, const Int64s& neighbourStart, const Int32s& neighbourPoints,
                const Int64s& regionStart, const Int32s& regionVertices, const Doubles& vertices, const Bytes& active,
                const Doubles& clipX, const Doubles& clipY, int threads)
{
    kyhost_voronoi::CellInputs in = cellInputs(x, y, neighbourStart, neighbourPoints, regionStart, regionVertices, vertices);
    const std::int32_t n = in.n;
    if (active.size() != n) throw py::value_error("active must have one entry per point");
    in.active = active.data();
    if (clipX.ndim() != 1 || clipY.ndim() != 1 || clipX.shape(0) != clipY.shape(0))
        throw py::value_error("the clip's x and y must be vectors of one length");
    kyhost_voronoi::ClippedCells c;
    {
        py::gil_scoped_release released;
        try {
            c = kyhost_voronoi::clipCellsConvex(in, clipX.data(), clipY.data(), clipX.shape(0), threads);
        } catch (const std::invalid_argument& error) {
            py::gil_scoped_acquire held;
            throw py::value_error(error.what());
        }
    }
    return py::make_tuple(arrayOf(c.start, {static_cast<py::ssize_t>(c.start.size())}),
                          arrayOf(c.xy, {static_cast<py::ssize_t>(c.xy.size() / 2), 2}),
                          arrayOf(c.area, {static_cast<py::ssize_t>(c.area.size())}));
}

py::array_t<std::int64_t> polygonTriangles(const Doubles& x, const Doubles& y, const Int64s& ringStart)
{
    const std::int32_t n = pointCount(x, y);
    if (ringStart.ndim() != 1 || ringStart.shape(0) < 2) throw py::value_error("ring offsets must have rings + 1 entries");
    const std::int64_t rings = ringStart.shape(0) - 1;
    checkOffsets(ringStart, rings, n, "ring offsets");
    std::vector<std::int64_t> triangles;
    try {
        triangles = kyhost_voronoi::polygonTriangles(x.data(), y.data(), ringStart.data(), rings);
    } catch (const std::invalid_argument& error) {
        throw py::value_error(error.what());
    }
    return arrayOf(triangles, {static_cast<py::ssize_t>(triangles.size() / 3), 3});
}

py::tuple polygonCells(const Doubles& x, const Doubles& y, const Int64s& neighbourStart, const Int32s& neighbourPoints,
                       const Int64s& regionStart, const Int32s& regionVertices, const Doubles& vertices,
                       const Doubles& ringX, const Doubles& ringY, const Int64s& ringStart, int threads)
{
    const kyhost_voronoi::CellInputs in =
        cellInputs(x, y, neighbourStart, neighbourPoints, regionStart, regionVertices, vertices);
    const std::int32_t corners = pointCount(ringX, ringY);
    if (ringStart.ndim() != 1 || ringStart.shape(0) < 2) throw py::value_error("ring offsets must have rings + 1 entries");
    checkOffsets(ringStart, ringStart.shape(0) - 1, corners, "ring offsets");
    kyhost_voronoi::PolygonCells c;
    {
        py::gil_scoped_release released;
        try {
            c = kyhost_voronoi::clipCellsToPolygon(in, ringX.data(), ringY.data(), ringStart.data(),
                                                   ringStart.shape(0) - 1, threads);
        } catch (const std::invalid_argument& error) {
            py::gil_scoped_acquire held;
            throw py::value_error(error.what());
        }
    }
    return py::make_tuple(arrayOf(c.cellStart, {static_cast<py::ssize_t>(c.cellStart.size())}),
                          arrayOf(c.polygonStart, {static_cast<py::ssize_t>(c.polygonStart.size())}),
                          arrayOf(c.ringStart, {static_cast<py::ssize_t>(c.ringStart.size())}),
                          arrayOf(c.xy, {static_cast<py::ssize_t>(c.xy.size() / 2), 2}),
                          arrayOf(c.area, {static_cast<py::ssize_t>(c.area.size())}));
}

}  // namespace

void bindVoronoi(py::module_& module)
{
    module.def("_voronoi_diagram", &diagram, py::arg("x"), py::arg("y"), py::arg("rows"), py::arg("threads") = 1,
               "_voronoi_diagram(x, y, rows, threads=1)\n--\n\n(vertices, row_vertex, ridge_points, ridge_vertices, "
               "region_start, region_vertices) of the Voronoi diagram of points with clockwise Delaunay rows (0-based).");
    module.def("_voronoi_cells", &cells, py::arg("x"), py::arg("y"), py::arg("neighbour_start"),
               py::arg("neighbour_points"), py::arg("region_start"), py::arg("region_vertices"), py::arg("vertices"),
               py::arg("active"), py::arg("clip_x"), py::arg("clip_y"), py::arg("threads") = 1,
               "_voronoi_cells(...)\n--\n\n(cell_start, corners, areas): each point's cell clipped to a convex "
               "counter-clockwise polygon, exactly.");
    module.def("_voronoi_polygon_cells", &polygonCells, py::arg("x"), py::arg("y"), py::arg("neighbour_start"),
               py::arg("neighbour_points"), py::arg("region_start"), py::arg("region_vertices"), py::arg("vertices"),
               py::arg("ring_x"), py::arg("ring_y"), py::arg("ring_start"), py::arg("threads") = 1,
               "_voronoi_polygon_cells(...)\n--\n\n(cell_start, polygon_start, ring_start, corners, areas): each "
               "point's cell clipped to a valid polygon with holes.");
    module.def("_polygon_triangles", &polygonTriangles, py::arg("x"), py::arg("y"), py::arg("ring_start"),
               "_polygon_triangles(x, y, ring_start)\n--\n\nTriangles (t, 3) of corner indices, counter-clockwise, "
               "that tile a valid polygon with holes.");
}

}  // namespace kyhost_python
