#include "out_of_core_bindings.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <string>

#include "out_of_core_run.hpp"

namespace py = pybind11;

namespace kyhost_python {

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;

outofcore::IndexType indexType(const std::string& name)
{
    if (name == "float64") return outofcore::IndexType::Float64;
    if (name == "int64") return outofcore::IndexType::Int64;
    if (name == "int32") return outofcore::IndexType::Int32;
    throw py::value_error("index must be 'float64', 'int64' or 'int32', not '" + name + "'");
}

// The run's report as a dict; Refusal and Failure become the Python
// exceptions the module's wrapper names (ValueError and OSError).
py::dict triangulateToFile(const Doubles& x, const Doubles& y, const std::string& out, std::uint64_t memoryLimit, int workers,
                           const std::string& index, int base, bool clockwise, bool resume, std::int64_t tilePoints, bool progress,
                           double progressSeconds)
{
    if (x.ndim() != 1 || y.ndim() != 1 || x.shape(0) != y.shape(0))
        throw py::value_error("x and y must be vectors of one length");
    outofcore::Options options;
    options.outPath = out;
    options.memoryLimit = memoryLimit;
    options.workers = workers;
    options.index = indexType(index);
    options.base = base;
    options.clockwise = clockwise;
    options.resume = resume;
    options.tilePoints = tilePoints;
    options.progress = progress ? stderr : nullptr;
    options.progressSeconds = progressSeconds;
    options.messageBase = 0;  // Python counts points from 0
    outofcore::Report report;
    {
        const py::gil_scoped_release released;
        report = outofcore::triangulateToFile(x.data(), y.data(), x.shape(0), options);
    }
    py::dict result;
    result["points"] = report.points;
    result["rows"] = report.rows;
    result["tiles"] = report.tiles;
    result["tiles_resumed"] = report.tilesResumed;
    result["tile_points"] = report.tilePoints;
    result["seam_points"] = report.seamPoints;
    result["seam_rounds"] = report.seamRounds;
    result["workers"] = report.workers;
    result["output_bytes"] = report.outputBytes;
    result["peak_scratch_bytes"] = report.peakScratchBytes;
    result["seconds"] = report.seconds;
    return result;
}

}  // namespace

void bindOutOfCore(py::module_& module)
{
    py::register_exception<outofcore::Refusal>(module, "_OutOfCoreRefusal", PyExc_ValueError);
    py::register_exception<outofcore::Failure>(module, "_OutOfCoreFailure", PyExc_OSError);
    module.def("_triangulate_to_file", &triangulateToFile, py::arg("x"), py::arg("y"), py::arg("out"), py::arg("memory_limit"),
               py::arg("workers"), py::arg("index"), py::arg("base"), py::arg("clockwise"), py::arg("resume"), py::arg("tile_points"),
               py::arg("progress"), py::arg("progress_seconds"));
}

}  // namespace kyhost_python
