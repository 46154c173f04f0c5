#include "triangle_adjacency.hpp"

#include <pybind11/numpy.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace py = pybind11;

namespace kyhost_python {

namespace {

using Rows = py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>;

// The directed edges of the rows grouped by their first point: edge k of
// row r runs from corner k+1 to corner k+2 (it lies opposite corner k).
struct EdgesByTail {
    std::vector<std::int64_t> start;  // n + 1 offsets
    std::vector<std::int32_t> head;   // head point of each grouped edge
    std::vector<std::int64_t> slot;   // 3 * row + k of each grouped edge
};

void checkRows(const Rows& rows, std::int64_t n)
{
    if (rows.ndim() != 2 || rows.shape(1) != 3) throw py::value_error("rows must have shape (m, 3)");
    const std::int32_t* values = rows.data();
    for (py::ssize_t i = 0; i < rows.size(); ++i)
        if (values[i] < 0 || values[i] >= n)
            throw py::value_error("row entry " + std::to_string(values[i]) + " is not a point from 0 to " +
                                  std::to_string(n - 1));
}

EdgesByTail groupEdges(const std::int32_t* rows, std::int64_t m, std::int64_t n)
{
    EdgesByTail edges;
    edges.start.assign(static_cast<std::size_t>(n + 1), 0);
    for (std::int64_t e = 0; e < 3 * m; ++e) {
        const std::int64_t r = e / 3, k = e % 3;
        ++edges.start[static_cast<std::size_t>(rows[3 * r + (k + 1) % 3]) + 1];
    }
    for (std::int64_t p = 0; p < n; ++p) edges.start[p + 1] += edges.start[p];
    std::vector<std::int64_t> fill(edges.start.begin(), edges.start.end() - 1);
    edges.head.resize(static_cast<std::size_t>(3 * m));
    edges.slot.resize(static_cast<std::size_t>(3 * m));
    for (std::int64_t e = 0; e < 3 * m; ++e) {
        const std::int64_t r = e / 3, k = e % 3;
        const std::int64_t at = fill[rows[3 * r + (k + 1) % 3]]++;
        edges.head[at] = rows[3 * r + (k + 2) % 3];
        edges.slot[at] = e;
    }
    return edges;
}

// neighbors[r, k]: the row holding the edge of row r opposite corner k in
// the other direction, -1 when none does (a hull edge).
py::array_t<std::int32_t> rowNeighbors(const Rows& rows, std::int64_t n)
{
    checkRows(rows, n);
    const std::int64_t m = rows.shape(0);
    py::array_t<std::int32_t> result({static_cast<py::ssize_t>(m), static_cast<py::ssize_t>(3)});
    std::int32_t* out = result.mutable_data();
    const std::int32_t* r = rows.data();
    {
        py::gil_scoped_release released;
        const EdgesByTail edges = groupEdges(r, m, n);
        for (std::int64_t e = 0; e < 3 * m; ++e) {
            const std::int64_t row = e / 3, k = e % 3;
            const std::int32_t tail = r[3 * row + (k + 1) % 3], head = r[3 * row + (k + 2) % 3];
            std::int32_t across = -1;
            for (std::int64_t at = edges.start[head]; at < edges.start[head + 1]; ++at)
                if (edges.head[at] == tail) {
                    across = static_cast<std::int32_t>(edges.slot[at] / 3);
                    break;
                }
            out[e] = across;
        }
    }
    return result;
}

// (indptr, indices): the points joined to point p by an edge of any row are
// indices[indptr[p]:indptr[p+1]], ascending, each once.
py::tuple pointAdjacency(const Rows& rows, std::int64_t n)
{
    checkRows(rows, n);
    const std::int64_t m = rows.shape(0);
    const std::int32_t* r = rows.data();
    std::vector<std::int64_t> start(static_cast<std::size_t>(n + 1), 0);
    std::vector<std::int32_t> joined;
    {
        py::gil_scoped_release released;
        // Both directions of every edge, grouped by tail, then each group
        // sorted and its repeats dropped.
        std::vector<std::int64_t> count(static_cast<std::size_t>(n + 1), 0);
        for (std::int64_t i = 0; i < 3 * m; ++i) count[static_cast<std::size_t>(r[i]) + 1] += 2;
        for (std::int64_t p = 0; p < n; ++p) count[p + 1] += count[p];
        std::vector<std::int64_t> fill(count.begin(), count.end() - 1);
        std::vector<std::int32_t> all(static_cast<std::size_t>(6 * m));
        for (std::int64_t row = 0; row < m; ++row)
            for (int k = 0; k < 3; ++k) {
                const std::int32_t a = r[3 * row + k], b = r[3 * row + (k + 1) % 3];
                all[fill[a]++] = b;
                all[fill[b]++] = a;
            }
        joined.reserve(static_cast<std::size_t>(3 * m + n));
        for (std::int64_t p = 0; p < n; ++p) {
            auto first = all.begin() + count[p], last = all.begin() + count[p + 1];
            std::sort(first, last);
            last = std::unique(first, last);
            joined.insert(joined.end(), first, last);
            start[p + 1] = static_cast<std::int64_t>(joined.size());
        }
    }
    if (joined.size() > static_cast<std::size_t>(INT32_MAX)) throw py::value_error("too many edges for int32 indices");
    py::array_t<std::int32_t> indptr(static_cast<py::ssize_t>(n + 1));
    py::array_t<std::int32_t> indices(static_cast<py::ssize_t>(joined.size()));
    std::copy(start.begin(), start.end(), indptr.mutable_data());
    std::copy(joined.begin(), joined.end(), indices.mutable_data());
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
