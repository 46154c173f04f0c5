// The tiler's steps for kyhost.dask.triangulate: each one a pure function
// of arrays, so that dask can run it on any worker. The plan travels as two
// arrays (cells and splits) and is rebuilt where it is used.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstring>
#include <optional>
#include <stdexcept>
#include <vector>

#include "default_triangulator.hpp"
#include "out_of_core_bindings.hpp"
#include "tiled_delaunay.hpp"

namespace py = pybind11;

namespace kyhost_python {

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;
using Int64s = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>;

template <class T>
py::array_t<T> arrayOf(const std::vector<T>& values, std::vector<py::ssize_t> shape)
{
    py::array_t<T> out(shape);
    if (!values.empty()) std::memcpy(out.mutable_data(), values.data(), values.size() * sizeof(T));
    return out;
}

py::ssize_t vectorPair(const py::array& x, const py::array& y)
{
    if (x.ndim() != 1 || y.ndim() != 1 || x.shape(0) != y.shape(0)) throw py::value_error("x and y must be vectors of one length");
    return x.shape(0);
}

// cells (T, 4): xmin, ymin, xmax, ymax; splits (S, 4): byX, at, low, high.
py::tuple planArrays(const tiling::TilePlan& plan)
{
    std::vector<double> cells, splits;
    for (const tiling::Cell& c : plan.cells) cells.insert(cells.end(), {c.xmin, c.ymin, c.xmax, c.ymax});
    for (const auto& s : plan.splits) splits.insert(splits.end(), {s.byX ? 1.0 : 0.0, s.at, double(s.low), double(s.high)});
    return py::make_tuple(arrayOf(cells, {py::ssize_t(plan.cells.size()), 4}), arrayOf(splits, {py::ssize_t(plan.splits.size()), 4}));
}

tiling::TilePlan planOf(const Doubles& cells, const Doubles& splits)
{
    if (cells.ndim() != 2 || cells.shape(1) != 4 || cells.shape(0) < 1 || splits.ndim() != 2 || splits.shape(1) != 4 ||
        splits.shape(0) != (cells.shape(0) == 1 ? 0 : cells.shape(0) - 1))
        throw py::value_error("a tile plan is cells (T, 4) and splits (T - 1, 4)");
    tiling::TilePlan plan;
    const double* c = cells.data();
    for (py::ssize_t t = 0; t < cells.shape(0); ++t) plan.cells.push_back({c[4 * t], c[4 * t + 1], c[4 * t + 2], c[4 * t + 3]});
    const double* s = splits.data();
    const auto tiles = static_cast<double>(cells.shape(0));
    const auto nodes = static_cast<double>(splits.shape(0));
    for (py::ssize_t k = 0; k < splits.shape(0); ++k) {
        const double low = s[4 * k + 2], high = s[4 * k + 3];
        for (const double child : {low, high})
            if (!(child >= -tiles && child < nodes) || child != static_cast<double>(static_cast<std::int32_t>(child)))
                throw py::value_error("a split of the tile plan names no node or tile");
        plan.splits.push_back({s[4 * k] != 0, s[4 * k + 1], static_cast<std::int32_t>(low), static_cast<std::int32_t>(high)});
    }
    return plan;
}

py::tuple planTiles(const Doubles& x, const Doubles& y, std::int64_t tilePoints)
{
    const py::ssize_t n = vectorPair(x, y);
    if (tilePoints < 1) throw py::value_error("tile_points must be positive");
    tiling::TilePlan plan;
    {
        const py::gil_scoped_release released;
        plan = tiling::planTiles(x.data(), y.data(), n, tilePoints);
    }
    return planArrays(plan);
}

py::array_t<std::int32_t> tileOf(const Doubles& cells, const Doubles& splits, const Doubles& x, const Doubles& y)
{
    const tiling::TilePlan plan = planOf(cells, splits);
    const py::ssize_t n = vectorPair(x, y);
    py::array_t<std::int32_t> tiles(n);
    std::int32_t* out = tiles.mutable_data();
    const double* px = x.data();
    const double* py_ = y.data();
    {
        const py::gil_scoped_release released;
        for (py::ssize_t i = 0; i < n; ++i) out[i] = plan.tileOf(px[i], py_[i]);
    }
    return tiles;
}

// (final rows (k, 3), seam ids, boundary edges (e, 2)), all int64; rows
// clockwise.
py::tuple finishTile(const Doubles& cell, const Doubles& x, const Doubles& y, const Int64s& ids)
{
    const py::ssize_t m = vectorPair(x, y);
    if (cell.ndim() != 1 || cell.shape(0) != 4) throw py::value_error("a cell is xmin, ymin, xmax, ymax");
    if (ids.ndim() != 1 || ids.shape(0) != m) throw py::value_error("ids must have one entry per point");
    if (m > INT32_MAX) throw py::value_error("a tile holds at most 2^31 - 1 points");
    const tiling::Cell c{cell.data()[0], cell.data()[1], cell.data()[2], cell.data()[3]};
    tiling::TileResult result;
    {
        const py::gil_scoped_release released;
        result = tiling::finishTile(c, x.data(), y.data(), ids.data(), static_cast<std::int32_t>(m), outofcore::defaultTriangulator());
    }
    return py::make_tuple(arrayOf(result.finalRows, {py::ssize_t(result.finalRows.size() / 3), 3}),
                          arrayOf(result.seamPoints, {py::ssize_t(result.seamPoints.size())}),
                          arrayOf(result.boundaryEdges, {py::ssize_t(result.boundaryEdges.size() / 2), 2}));
}

py::array_t<std::int64_t> seamRows(const Doubles& ux, const Doubles& uy, const Int64s& uids, const Int64s& edges)
{
    const py::ssize_t nu = vectorPair(ux, uy);
    if (uids.ndim() != 1 || uids.shape(0) != nu) throw py::value_error("ids must have one entry per point");
    if (edges.ndim() != 2 || edges.shape(1) != 2) throw py::value_error("boundary edges must be (e, 2)");
    std::vector<std::int64_t> boundary(edges.data(), edges.data() + edges.size());
    std::vector<std::int64_t> rows;
    {
        const py::gil_scoped_release released;
        rows = tiling::seamRows(ux.data(), uy.data(), uids.data(), nu, boundary, outofcore::defaultTriangulator());
    }
    return arrayOf(rows, {py::ssize_t(rows.size() / 3), 3});
}

// One seam round inside cell (None: the whole plane, the last round):
// (rows (k, 3) final here, the seam ids, x, y and boundary edges (e, 2)
// passed up), all over global ids.
py::tuple joinSeams(const py::object& cell, const Doubles& ux, const Doubles& uy, const Int64s& uids, const Int64s& edges)
{
    const py::ssize_t nu = vectorPair(ux, uy);
    if (uids.ndim() != 1 || uids.shape(0) != nu) throw py::value_error("ids must have one entry per point");
    if (edges.ndim() != 2 || edges.shape(1) != 2) throw py::value_error("boundary edges must be (e, 2)");
    std::optional<tiling::Cell> inside;
    if (!cell.is_none()) {
        const Doubles c = cell.cast<Doubles>();
        if (c.ndim() != 1 || c.shape(0) != 4) throw py::value_error("a cell is xmin, ymin, xmax, ymax");
        inside = tiling::Cell{c.data()[0], c.data()[1], c.data()[2], c.data()[3]};
    }
    tiling::SeamSet u;
    u.x.assign(ux.data(), ux.data() + nu), u.y.assign(uy.data(), uy.data() + nu), u.ids.assign(uids.data(), uids.data() + nu);
    std::vector<std::int64_t> boundary(edges.data(), edges.data() + edges.size());
    tiling::SeamJoin join;
    {
        const py::gil_scoped_release released;
        join = tiling::joinSeams(inside ? &*inside : nullptr, std::move(u), std::move(boundary), outofcore::defaultTriangulator());
    }
    const auto up = static_cast<py::ssize_t>(join.up.ids.size());
    return py::make_tuple(arrayOf(join.rows, {py::ssize_t(join.rows.size() / 3), 3}), arrayOf(join.up.ids, {up}),
                          arrayOf(join.up.x, {up}), arrayOf(join.up.y, {up}),
                          arrayOf(join.boundaryEdges, {py::ssize_t(join.boundaryEdges.size() / 2), 2}));
}

}  // namespace

void bindTiling(py::module_& module)
{
    module.def("_plan_tiles", &planTiles, py::arg("x"), py::arg("y"), py::arg("tile_points"));
    module.def("_tile_of", &tileOf, py::arg("cells"), py::arg("splits"), py::arg("x"), py::arg("y"));
    module.def("_finish_tile", &finishTile, py::arg("cell"), py::arg("x"), py::arg("y"), py::arg("ids"));
    module.def("_seam_rows", &seamRows, py::arg("ux"), py::arg("uy"), py::arg("uids"), py::arg("edges"));
    module.def("_join_seams", &joinSeams, py::arg("cell"), py::arg("ux"), py::arg("uy"), py::arg("uids"), py::arg("edges"));
}

}  // namespace kyhost_python
