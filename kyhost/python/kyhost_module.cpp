// The Python module kyhost: calls plug-ins and host functions on numpy
// arrays, str and scipy.sparse matrices through the embedding interface.
#include <pybind11/pybind11.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "ball_search_bindings.hpp"
#include "call_lock.hpp"
#include "convex_hull_bindings.hpp"
#include "grid_nearest_bindings.hpp"
#include "cubic_bindings.hpp"
#include "inspect_bindings.hpp"
#include "point_faults.hpp"
#include "triangle_adjacency.hpp"
#include "triangulation_bindings.hpp"
#include "tiled_bindings.hpp"
#include "voronoi_bindings.hpp"
#include "out_of_core_bindings.hpp"
#include "kyhost_embed.hpp"
#include "linked_calls.hpp"
#include "prepared_interpolation.hpp"
#include "python_inputs.hpp"
#include "python_results.hpp"

namespace py = pybind11;

namespace kyhost_python {

namespace {

// Set when the module is imported; live until the interpreter ends.
PyObject* callErrorType = nullptr;
PyObject* kyWarningType = nullptr;

// Wall time of the last call inside the host, for measuring the module's
// own share of a call.
double lastCallSeconds = 0;

// note, when given, is added to the exception (shown after its text).
[[noreturn]] void raiseCallError(const py::str& text, const std::string& note = "")
{
    if (note.empty()) {
        PyErr_SetObject(callErrorType, text.ptr());
    } else {
        const py::object error = py::handle(callErrorType)(text);
        if (py::hasattr(error, "add_note")) error.attr("add_note")("kyhost: " + note);
        PyErr_SetObject(callErrorType, error.ptr());
    }
    throw py::error_already_set();
}

const kyhostFunction* findFunction(py::handle function)
{
    const py::object path = py::isinstance<py::str>(function) ? py::reinterpret_borrow<py::object>(function)
                                                               : py::module_::import("os").attr("fsdecode")(function);
    const std::string name = path.cast<std::string>();
    refuseNulByte(name, "the function name");
    const kyhostFunction* found = kyhostFind(name.c_str());
    if (found == nullptr) throw py::value_error(std::string("kyhost: ") + kyhostLastError());
    return found;
}

// Issues each warning with warnings.warn as the plug-in issues it. An
// exception from warn (a filter that turns warnings into errors) stops the
// call and is raised once the call has ended.
struct WarningRelay {
    std::optional<py::error_already_set> raised;

    static int issue(const char* text, void* self)
    {
        auto* relay = static_cast<WarningRelay*>(self);
        py::gil_scoped_acquire gil;
        try {
            // stacklevel 1 is the Python line that made the call.
            py::module_::import("warnings").attr("warn")(decodeText(text, std::strlen(text)),
                                                         py::handle(kyWarningType), 1);
            return 0;
        } catch (py::error_already_set& error) {
            relay->raised.emplace(std::move(error));
        } catch (...) {
            relay->raised.emplace();  // nothing Python raised: stop the call all the same
        }
        return 1;
    }
};

// Finds the function (under the call lock, as every use of the host is)
// and calls it.
using Lookup = const kyhostFunction* (*)(py::handle);

py::object runFunction(Lookup lookup, py::handle function, const py::args& arguments, int nargout)
{
    if (nargout < 0 || nargout > 64) throw py::value_error("kyhost: nargout must be 0 to 64");
    const std::string name = py::str(function).cast<std::string>();
    const CallLock lock;
    const kyhostFunction* found = lookup(function);
    CallInputs inputs;
    for (const py::handle argument : arguments) addInput(inputs, argument);
    const std::vector<const kyArray*> handles = inputs.handles();

    WarningRelay relay;
    kyhost::CallRecord call;
    {
        py::gil_scoped_release released;
        call.reset(kyhostRun(found, nargout, static_cast<int>(handles.size()), handles.data(),
                             &WarningRelay::issue, &relay));
    }
    if (call) lastCallSeconds = kyhostCallSeconds(call.get());
    if (relay.raised) throw std::move(*relay.raised);
    if (!call) throw std::runtime_error(std::string("kyhost: ") + kyhostLastError());
    if (const char* error = kyhostCallError(call.get()))
        raiseCallError(decodeText(error, std::strlen(error)),
                       handles.size() >= 2 ? ky::inspect::describePointFault(error, handles[0], handles[1]) : "");
    if (nargout > 0 && kyhostCallResult(call.get(), 0) == nullptr)
        raiseCallError(py::str(name + " did not assign its output"));
    const auto result = [&](int k) -> py::object {
        kyArray* array = kyhostCallTakeResult(call.get(), k);
        return array == nullptr ? py::none() : resultValue(array);
    };
    if (nargout <= 1) return result(0);
    py::tuple results(nargout);
    for (int k = 0; k < nargout; ++k) results[static_cast<std::size_t>(k)] = result(k);
    return results;
}

py::object callByName(py::handle function, const py::args& arguments, int nargout)
{
    return runFunction(&findFunction, function, arguments, nargout);
}

py::object callPlugin(const char* name, std::initializer_list<py::object> required, const py::object& optional)
{
    py::list arguments;
    for (const py::object& argument : required) arguments.append(argument);
    if (!optional.is_none()) arguments.append(optional);
    return callByName(py::str(name), py::tuple(arguments), 1);
}

// sweeptri(P) with no Y: the plug-in takes X and Y as two arrays. An
// (n, 2) array of points is refused with the call that was likely meant.
[[noreturn]] void refuseLonePoints(const py::object& X)
{
    const py::object shape = py::module_::import("numpy").attr("shape")(X);
    const std::string shown = py::str(shape).cast<std::string>();
    const py::tuple dims = shape.cast<py::tuple>();
    if (dims.size() == 2 && dims[1].cast<py::ssize_t>() == 2)
        throw py::type_error("sweeptri takes X and Y as two arrays; for points P of shape " + shown +
                             " call sweeptri(P[:, 0], P[:, 1]), or use kyhost.Triangulation(P)");
    throw py::type_error("sweeptri takes X and Y (got X of shape " + shown + " and no Y)");
}

// The host array address an argument would be read from: for tests that
// check which inputs are read in place.
py::tuple inputStorage(py::handle value)
{
    const CallLock lock;
    CallInputs inputs;
    addInput(inputs, value);
    const kyArray* array = inputs.arrays.back().get();
    return py::make_tuple(reinterpret_cast<std::uintptr_t>(kyhostArrayData(array)), kyhostArrayRows(array),
                          kyhostArrayColumns(array));
}

// The addresses of the column starts and row indices that a sparse
// argument's host array reads: for tests that check that the layout is the
// call's own copy.
py::tuple sparseLayoutStorage(py::handle value)
{
    const CallLock lock;
    CallInputs inputs;
    addInput(inputs, value);
    const kyArray* array = inputs.arrays.back().get();
    if (kyhostArrayClass(array) != KYHOST_SPARSE) throw py::type_error("kyhost: not a sparse matrix");
    return py::make_tuple(reinterpret_cast<std::uintptr_t>(kyhostArrayColumnStarts(array)),
                          reinterpret_cast<std::uintptr_t>(kyhostArrayRowIndices(array)));
}

}  // namespace

py::object runLinked(LinkedLookup lookup, py::handle name, const py::args& arguments, int nargout)
{
    return runFunction(lookup, name, arguments, nargout);
}

}  // namespace kyhost_python

PYBIND11_MODULE(_kyhost, module)
{
    using namespace kyhost_python;
    // Each docstring starts with "name(parameters)\n--\n\n", which Python reads as the
    // function's signature (inspect.signature, help()).
    py::options options;
    options.disable_function_signatures();
    module.doc() =
        "Calls Karvel plug-ins (sweeptri, nearwalk, byteappend, ...) and the host function sparse on numpy arrays.\n\n"
        "Inputs: float64 or uint8 numpy arrays of any shape and memory order (1-D of n is 1-by-n), str, "
        "scipy.sparse matrices, numbers and lists of numbers (as float64). Results: 2-D numpy arrays over the "
        "host's column-major storage, str, or scipy.sparse.csc_matrix. Errors raise kyhost.CallError with the "
        "plug-in's text; warnings are issued as kyhost.KyWarning.";

    static py::exception<void> callError(module, "CallError", PyExc_RuntimeError);
    callErrorType = callError.ptr();
    callError.doc() = "The call ended in an error; the message is the plug-in's or the host's text.";
    kyWarningType = PyErr_NewExceptionWithDoc("kyhost.KyWarning", "A warning a plug-in issued during a call.",
                                              PyExc_UserWarning, nullptr);
    if (kyWarningType == nullptr) throw py::error_already_set();
    module.add_object("KyWarning", py::handle(kyWarningType));

    module.def(
        "call",
        [](py::handle function, const py::args& arguments, int nargout) {
            return callByName(function, arguments, nargout);
        },
        py::arg("function"), py::arg("nargout") = 1,
        "call(function, *args, nargout=1)\n--\n\n"
        "Calls a plug-in (by name, looked up in kyhost's plug-in directory and then KYHOST_PATH, or by path) or "
        "the host function 'sparse'. Returns output 1; None when nargout is 0 and nothing was returned; a tuple "
        "of nargout outputs when nargout > 1.");

    module.def(
        "sweeptri",
        [](py::object X, py::object Y, py::object option) {
            if (Y.is_none()) refuseLonePoints(X);
            return callPlugin("sweeptri", {X, Y}, option);
        },
        py::arg("X"), py::arg("Y") = py::none(), py::arg("option") = py::none(),
        "sweeptri(X, Y, option=None)\n--\n\nTRI = sweeptri(X, Y, option=None): Delaunay triangulation, M-by-3 1-based point indices (float64).\n"
        "option 'sorted' skips the sort for points already in ascending y, then x.");
    module.def(
        "nearwalk",
        [](py::object X, py::object Y, py::object TRI, py::object XI, py::object YI, py::object S) {
            return callPlugin("nearwalk", {X, Y, TRI, XI, YI}, S);
        },
        py::arg("X"), py::arg("Y"), py::arg("TRI"), py::arg("XI"), py::arg("YI"), py::arg("S") = py::none(),
        "nearwalk(X, Y, TRI, XI, YI, S=None)\n--\n\nK = nearwalk(X, Y, TRI, XI, YI, S=None): for each query point (XI, YI), the 1-based index of a nearest "
        "data point, in XI's shape. S: a ready sparse neighbour matrix instead of one built from TRI.");
    module.def(
        "byteappend",
        [](py::object filename, py::object data) {
            if (!py::isinstance<py::str>(filename))
                filename = py::module_::import("os").attr("fsdecode")(filename);
            refuseNulByte(filename.cast<std::string>(), "the file name");
            return callPlugin("byteappend", {filename, data}, py::none());
        },
        py::arg("filename"), py::arg("data"),
        "byteappend(filename, data)\n--\n\nCOUNT = byteappend(filename, data): appends the bytes of a uint8 array (column by column) to the file.");
    module.def(
        "sparse",
        [](py::object I, py::object J, py::object V, py::object nr, py::object nc) {
            const Lookup hostSparse = [](py::handle) -> const kyhostFunction* { return kyhostHostFunction("sparse"); };
            return runFunction(hostSparse, py::str("sparse"), py::make_tuple(I, J, V, nr, nc), 1);
        },
        py::arg("I"), py::arg("J"), py::arg("V"), py::arg("nr"), py::arg("nc"),
        "sparse(I, J, V, nr, nc)\n--\n\nS = sparse(I, J, V, nr, nc): nr-by-nc scipy.sparse.csc_matrix with an entry at every (I(k), J(k)) "
        "(1-based); repeated pairs once, values summed.");
    module.def("plugin_directory", [] { return std::string(kyhostPluginDirectory()); },
               "plugin_directory()\n--\n\nkyhost's own plug-in directory, searched before KYHOST_PATH.");
    module.def("_last_call_seconds", [] { return lastCallSeconds; },
               "_last_call_seconds()\n--\n\nWall time of the last call inside the host (without the module's conversions), in seconds.");
    module.def("_input_storage", &inputStorage, py::arg("value"),
               "_input_storage(value)\n--\n\n(address, rows, columns) of the host array an argument becomes; for tests.");
    module.def("_sparse_layout_storage", &sparseLayoutStorage, py::arg("value"),
               "_sparse_layout_storage(value)\n--\n\n(column starts, row indices) addresses the host array of a sparse "
               "argument reads; for tests.");
    module.attr("__version__") = KY_VERSION;
    bindInspect(module);
    bindTriangleAdjacency(module);
    bindTriangulation(module);
    bindTiled(module);
    bindPreparedInterpolation(module);
    bindGridNearest(module);
    bindCloughTocher(module);
    bindVoronoi(module);
    bindOutOfCore(module);
    bindTiling(module);
    bindBallSearch(module);
    bindConvexHull(module);
}
