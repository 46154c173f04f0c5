#include "python_results.hpp"

#include <pybind11/numpy.h>

#include <cstdint>
#include <new>
#include <string>

#include "call_lock.hpp"
#include "kyhost_embed.hpp"

namespace py = pybind11;

namespace kyhost_python {

namespace {

// A capsule that frees the host array when the last numpy view goes.
py::capsule arrayOwner(kyhost::OwnedArray& array)
{
    py::capsule owner(array.get(), [](void* p) { releaseResultArray(static_cast<kyArray*>(p)); });
    array.release();
    return owner;
}

template <typename T>
py::array columnMajorView(py::ssize_t m, py::ssize_t n, void* data, const py::capsule& owner)
{
    const auto size = static_cast<py::ssize_t>(sizeof(T));
    return py::array_t<T>({m, n}, {size, size * m}, static_cast<T*>(data), owner);
}

py::object textValue(const kyArray* array)
{
    const std::int32_t m = kyhostArrayRows(array), n = kyhostArrayColumns(array);
    const auto* bytes = static_cast<const char*>(kyhostArrayData(array));
    if (m <= 1) return decodeText(bytes, m == 1 ? static_cast<std::size_t>(n) : 0);
    py::list rows;  // a character matrix: one str per row
    for (std::int32_t i = 0; i < m; ++i) {
        std::string row;
        for (std::int32_t j = 0; j < n; ++j) row += bytes[i + static_cast<std::size_t>(j) * m];
        rows.append(decodeText(row.data(), row.size()));
    }
    return rows;
}

py::object sparseValue(kyhost::OwnedArray& array)
{
    const std::int32_t m = kyhostArrayRows(array.get()), n = kyhostArrayColumns(array.get());
    auto* columnStarts = const_cast<std::int32_t*>(kyhostArrayColumnStarts(array.get()));
    auto* rowIndices = const_cast<std::int32_t*>(kyhostArrayRowIndices(array.get()));
    auto* values = static_cast<double*>(kyhostArrayData(array.get()));
    if (values == nullptr) throw std::bad_alloc();  // the values are made on demand
    const py::ssize_t entries = columnStarts[n];
    const py::capsule owner = arrayOwner(array);
    const py::array_t<std::int32_t> indptr({static_cast<py::ssize_t>(n) + 1}, columnStarts, owner);
    const py::array_t<std::int32_t> indices({entries}, rowIndices, owner);
    const py::array_t<double> data({entries}, values, owner);
    const py::object csc = py::module_::import("scipy.sparse").attr("csc_matrix");
    return csc(py::make_tuple(data, indices, indptr), py::arg("shape") = py::make_tuple(m, n));
}

}  // namespace

py::str decodeText(const char* bytes, std::size_t length)
{
    PyObject* text = PyUnicode_DecodeUTF8(bytes, static_cast<Py_ssize_t>(length), "surrogateescape");
    if (text == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(text);
}

py::object resultValue(kyArray* taken)
{
    kyhost::OwnedArray array(taken);
    const py::ssize_t m = kyhostArrayRows(taken), n = kyhostArrayColumns(taken);
    switch (kyhostArrayClass(taken)) {
    case KYHOST_DOUBLE: {
        void* data = kyhostArrayData(taken);
        return columnMajorView<double>(m, n, data, arrayOwner(array));
    }
    case KYHOST_UINT8: {
        void* data = kyhostArrayData(taken);
        return columnMajorView<std::uint8_t>(m, n, data, arrayOwner(array));
    }
    case KYHOST_TEXT: return textValue(taken);
    case KYHOST_SPARSE: return sparseValue(array);
    }
    throw py::type_error("kyhost: the result has a class the module does not know");
}

}  // namespace kyhost_python
