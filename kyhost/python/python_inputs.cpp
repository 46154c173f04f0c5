#include "python_inputs.hpp"

#include <pybind11/numpy.h>

#include <cstdint>
#include <string>
#include <utility>

namespace py = pybind11;

namespace kyhost_python {

namespace {

constexpr py::ssize_t maxCount = INT32_MAX;

std::int32_t checkedCount(py::ssize_t count, const char* what)
{
    if (count > maxCount)
        throw py::value_error(std::string("kyhost: the array's ") + what + " exceeds the host's limit of 2^31-1");
    return static_cast<std::int32_t>(count);
}

kyhost::OwnedArray checked(kyArray* array)
{
    if (array == nullptr) throw py::value_error(std::string("kyhost: ") + kyhostLastError());
    return kyhost::OwnedArray(array);
}

bool isNative(const py::dtype& type, char kind, py::ssize_t size)
{
    return type.kind() == kind && type.itemsize() == size && type.attr("isnative").cast<bool>();
}

bool isSparse(py::handle value)
{
    if (!py::hasattr(value, "tocsc") || !py::hasattr(value, "nnz")) return false;
    return py::module_::import("scipy.sparse").attr("issparse")(value).cast<bool>();
}

py::array toDoubleIndices(const py::array& array)
{
    const py::object numpy = py::module_::import("numpy");
    if (array.size() > 0 && array.dtype().itemsize() > 4) {
        const double largest = numpy.attr("abs")(array.attr("astype")(numpy.attr("float64"))).attr("max")().cast<double>();
        if (largest > 9007199254740992.0)
            throw py::value_error("kyhost: integer array values beyond 2^53 have no exact float64");
    }
    return array.attr("astype")(numpy.attr("float64"));
}

// A numpy array of float64 or uint8 as the host's m-by-n array.
void addNumpyArray(CallInputs& inputs, py::array array)
{
    // Integer arrays (index arrays such as TRI) are taken as float64, exactly
    // up to 2^53; uint8 stays bytes.
    if (array.dtype().kind() == 'i' || (array.dtype().kind() == 'u' && array.dtype().itemsize() > 1))
        array = toDoubleIndices(array);
    const py::dtype type = array.dtype();
    const char kind = type.kind();
    const bool isDouble = kind == 'f' && type.itemsize() == 8;
    const bool isByte = kind == 'u' && type.itemsize() == 1;
    if (!isDouble && !isByte)
        throw py::type_error("kyhost: arrays must be float64 or uint8, not " + type.attr("name").cast<std::string>() +
                             " (convert with .astype(float) or .astype(numpy.uint8))");
    const py::object numpy = py::module_::import("numpy");
    if (isDouble && !isNative(type, 'f', 8))
        array = array.attr("astype")(numpy.attr("float64"));

    const py::ssize_t ndim = array.ndim();
    if (ndim > 2) {
        py::tuple shape = py::make_tuple(array.shape(0), -1);
        array = array.attr("reshape")(shape, py::arg("order") = "F");
    }
    const std::int32_t m = ndim == 2 || ndim > 2 ? checkedCount(array.shape(0), "row count") : 1;
    const std::int32_t n = ndim == 0 ? 1 : checkedCount(ndim == 1 ? array.shape(0) : array.shape(1), "column count");
    const auto flags = array.flags();
    const bool inPlace = (flags & py::detail::npy_api::NPY_ARRAY_F_CONTIGUOUS_) != 0 &&
                         (flags & py::detail::npy_api::NPY_ARRAY_ALIGNED_) != 0;
    const void* data = array.data();
    if (inPlace) {
        inputs.arrays.push_back(checked(isDouble ? kyhostBorrowDouble(m, n, static_cast<const double*>(data))
                                                 : kyhostBorrowUint8(m, n, static_cast<const std::uint8_t*>(data))));
        inputs.keptAlive.push_back(array);
        return;
    }
    const std::ptrdiff_t rowStride = ndim == 2 || ndim > 2 ? array.strides(0) : 0;
    const std::ptrdiff_t columnStride = ndim == 0 ? 0 : (ndim == 1 ? array.strides(0) : array.strides(1));
    inputs.arrays.push_back(
        checked(isDouble ? kyhostCopyDouble(m, n, static_cast<const double*>(data), rowStride, columnStride)
                         : kyhostCopyUint8(m, n, static_cast<const std::uint8_t*>(data), rowStride, columnStride)));
}

// Whose memory an index array may stay in.
enum class Holder { caller, call };

// True when nothing can change the array's memory without first making an
// array writeable on purpose: the array and every array it is a view of are
// read-only, and the memory belongs to the last of them, to an immutable
// bytes object or to a capsule of compiled code. (A read-only array over a
// mapped file is not frozen: the file can change.)
bool isFrozen(py::handle value)
{
    py::object at = py::reinterpret_borrow<py::object>(value);
    while (py::isinstance<py::array>(at)) {
        const auto flags = py::reinterpret_borrow<py::array>(at).flags();
        if ((flags & py::detail::npy_api::NPY_ARRAY_WRITEABLE_) != 0) return false;
        const py::object base = at.attr("base");
        if (base.is_none()) return (flags & py::detail::npy_api::NPY_ARRAY_OWNDATA_) != 0;
        at = base;
    }
    return PyBytes_CheckExact(at.ptr()) || PyCapsule_CheckExact(at.ptr());
}

// A sparse matrix's index array (indptr, indices, row, col) as a
// contiguous 1-D int32 array. Of the caller's, a copy (or a conversion)
// that nothing else refers to, unless the caller's is frozen: the layout is
// checked on that copy and read from it, so no other thread can change it
// between the check and the reads (the call runs without the GIL). Only
// numpy's own functions look at the caller's values here.
py::array int32Vector(const py::object& numpy, py::handle values, const char* what, Holder holder = Holder::caller)
{
    if (!py::isinstance<py::array>(values))
        throw py::type_error(std::string("kyhost: the sparse matrix's ") + what + " is not a numpy array");
    const py::array given = py::reinterpret_borrow<py::array>(values);
    py::array array = given;
    const char kind = array.dtype().kind();
    if (kind != 'i' && kind != 'u')
        throw py::type_error(std::string("kyhost: the sparse matrix's ") + what + " must hold integers");
    if (array.ndim() != 1)
        throw py::value_error(std::string("kyhost: the sparse matrix's ") + what + " must be one-dimensional");
    if (!isNative(array.dtype(), 'i', 4)) {
        // Converted only when every value fits, so that none wraps around.
        if (array.size() > 0 && (numpy.attr("max")(array).cast<py::object>() > py::int_(maxCount) ||
                                 numpy.attr("min")(array).cast<py::object>() < py::int_(0)))
            throw py::value_error(std::string("kyhost: the sparse matrix's ") + what +
                                  " must lie in 0 to 2^31-1");
        array = array.attr("astype")(numpy.attr("int32"));
    }
    array = numpy.attr("ascontiguousarray")(array);
    if (holder == Holder::caller && numpy.attr("may_share_memory")(array, given).cast<bool>() && !isFrozen(given))
        array = array.attr("copy")();
    return array;
}

// The entries of the matrix's value array, as a contiguous 1-D array of
// any numeric type (values are never read, only counted and kept).
py::array valueVector(const py::object& numpy, py::handle values)
{
    if (!py::isinstance<py::array>(values)) throw py::type_error("kyhost: the sparse matrix's data is not a numpy array");
    py::array array = py::reinterpret_borrow<py::array>(values);
    if (array.dtype().kind() == 'c') throw py::type_error("kyhost: complex sparse matrices are not supported");
    if (array.ndim() != 1) throw py::value_error("kyhost: the sparse matrix's data must be one-dimensional");
    if (!isNative(array.dtype(), 'f', 8)) array = array.attr("astype")(numpy.attr("float64"));
    return numpy.attr("ascontiguousarray")(array);
}

std::int32_t sparseCount(const py::object& matrix, int axis)
{
    const py::tuple shape = matrix.attr("shape");
    return checkedCount(shape[axis].cast<py::ssize_t>(), axis == 0 ? "row count" : "column count");
}

// A compressed matrix (CSC as it is, or CSR seen as the CSC of its
// transpose) as the host checks it, with n + 1 starts, starts[n] index
// entries at most and as many values as indices. Nothing of scipy's runs on
// the caller's matrix: its own methods trust the layout and would read past
// the arrays of a malformed one. Returns the checked copies of the starts
// and the indices.
std::pair<py::array, py::array> checkedCompressed(const py::object& numpy, std::int32_t m, std::int32_t n,
                                                  const py::object& matrix, const py::array& values,
                                                  const char* orientation)
{
    py::array starts = int32Vector(numpy, matrix.attr("indptr"), "indptr");
    py::array indices = int32Vector(numpy, matrix.attr("indices"), "indices");
    kyArray* checked = kyhostBorrowSparseSized(m, n, static_cast<const std::int32_t*>(starts.data()),
                                               static_cast<std::size_t>(starts.size()),
                                               static_cast<const std::int32_t*>(indices.data()),
                                               static_cast<std::size_t>(indices.size()),
                                               static_cast<const double*>(values.data()),
                                               static_cast<std::size_t>(values.size()));
    if (checked == nullptr) throw py::value_error(std::string("kyhost: ") + orientation + kyhostLastError());
    kyhostFreeArray(checked);
    return {starts, indices};
}

// A CSR or COO matrix rebuilt from checked copies of its indices and
// converted to CSC by scipy: the conversion reads only the copies.
py::object checkedConversion(const py::object& numpy, const py::object& matrix, const std::string& format)
{
    const py::object sparse = py::module_::import("scipy.sparse");
    const py::object shape = matrix.attr("shape");
    const py::array values = valueVector(numpy, matrix.attr("data"));
    if (format == "csr") {
        const auto [starts, indices] = checkedCompressed(numpy, sparseCount(matrix, 1), sparseCount(matrix, 0), matrix,
                                                         values, "(CSR, checked as its transpose) ");
        return sparse.attr("csr_matrix")(py::make_tuple(values, indices, starts), py::arg("shape") = shape).attr("tocsc")();
    }
    const std::int32_t m = sparseCount(matrix, 0), n = sparseCount(matrix, 1);
    const py::array rows = int32Vector(numpy, matrix.attr("row"), "row indices");
    const py::array cols = int32Vector(numpy, matrix.attr("col"), "column indices");
    if (rows.size() != cols.size() || rows.size() != values.size())
        throw py::value_error("kyhost: the sparse matrix's row, col and data differ in length");
    const auto outside = [&](const py::array& indices, std::int32_t count) {
        return numpy.attr("min")(indices).cast<std::int64_t>() < 0 ||
               numpy.attr("max")(indices).cast<std::int64_t>() >= count;
    };
    if (rows.size() > 0 && (outside(rows, m) || outside(cols, n)))
        throw py::value_error("kyhost: the sparse matrix has an entry outside its shape");
    return sparse.attr("coo_matrix")(py::make_tuple(values, py::make_tuple(rows, cols)), py::arg("shape") = shape)
        .attr("tocsc")();
}

// A scipy.sparse matrix as the host's compressed-column matrix. A CSC
// matrix is used exactly as stored: rows in its order within each column,
// repeated entries kept, the caller's object never changed (no
// sum_duplicates, no sorting); its layout is read from the checked copies.
// CSR and COO matrices are checked where scipy would otherwise trust a
// malformed layout, then converted from the checked copies; other formats
// are converted by scipy.
void addSparse(CallInputs& inputs, py::handle value)
{
    const py::object numpy = py::module_::import("numpy");
    py::object csc = py::reinterpret_borrow<py::object>(value);
    const std::string format = py::str(value.attr("format")).cast<std::string>();
    // A matrix converted from the checked copies is the call's own already;
    // scipy's conversion of another format might share the caller's memory.
    const bool converted = format == "csr" || format == "coo";
    if (converted)
        csc = checkedConversion(numpy, csc, format);
    else if (format != "csc")
        csc = csc.attr("tocsc")();
    const Holder holder = converted ? Holder::call : Holder::caller;
    const std::int32_t m = sparseCount(csc, 0), n = sparseCount(csc, 1);
    const py::array columnStarts = int32Vector(numpy, csc.attr("indptr"), "indptr", holder);
    const py::array rowIndices = int32Vector(numpy, csc.attr("indices"), "indices", holder);
    const py::array values = valueVector(numpy, csc.attr("data"));
    inputs.arrays.push_back(checked(kyhostBorrowSparseSized(
        m, n, static_cast<const std::int32_t*>(columnStarts.data()), static_cast<std::size_t>(columnStarts.size()),
        static_cast<const std::int32_t*>(rowIndices.data()), static_cast<std::size_t>(rowIndices.size()),
        static_cast<const double*>(values.data()), static_cast<std::size_t>(values.size()))));
    inputs.keptAlive.insert(inputs.keptAlive.end(), {csc, columnStarts, rowIndices, values});
}

}  // namespace

void refuseNulByte(std::string_view text, const std::string& what)
{
    if (text.find('\0') != std::string_view::npos) throw py::value_error("kyhost: " + what + " contains a NUL byte");
}

std::vector<const kyArray*> CallInputs::handles() const
{
    std::vector<const kyArray*> result;
    for (const kyhost::OwnedArray& array : arrays) result.push_back(array.get());
    return result;
}

void addInput(CallInputs& inputs, py::handle value)
{
    if (py::isinstance<py::str>(value)) {
        // Encoded as the file system does, so that any file name reaches
        // byteappend unchanged.
        const py::bytes encoded = py::reinterpret_steal<py::bytes>(
            PyUnicode_AsEncodedString(value.ptr(), "utf-8", "surrogateescape"));
        if (!encoded) throw py::error_already_set();
        char* bytes = nullptr;
        Py_ssize_t length = 0;
        PyBytes_AsStringAndSize(encoded.ptr(), &bytes, &length);
        inputs.arrays.push_back(checked(kyhostCopyText(bytes, static_cast<std::size_t>(length))));
        return;
    }
    if (py::isinstance<py::array>(value)) {
        addNumpyArray(inputs, py::reinterpret_borrow<py::array>(value));
        return;
    }
    if (isSparse(value)) {
        addSparse(inputs, value);
        return;
    }
    if (py::isinstance<py::bytes>(value) || value.is_none())
        throw py::type_error("kyhost: cannot pass " + py::str(py::type::handle_of(value)).cast<std::string>() +
                             " (use numpy arrays, str or scipy.sparse matrices)");
    // Numbers and (nested) lists of numbers, as float64.
    const py::object numpy = py::module_::import("numpy");
    const py::array array = numpy.attr("asarray")(value);
    const char kind = array.dtype().kind();
    if (kind != 'f' && kind != 'i' && kind != 'u')
        throw py::type_error("kyhost: cannot pass " + py::str(py::type::handle_of(value)).cast<std::string>() +
                             " (use numpy arrays, str or scipy.sparse matrices)");
    addNumpyArray(inputs, array.attr("astype")(numpy.attr("float64")));
}

}  // namespace kyhost_python
