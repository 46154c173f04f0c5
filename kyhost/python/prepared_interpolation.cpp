// _PreparedInterpolation: trinterp's kept mesh (trinterp/kept_mesh.hpp)
// for the interpolator objects. prepare() is the plug-in's call and keeps
// its mesh and values; calling the object answers other queries over them,
// as the plug-in would answer them.
#include "prepared_interpolation.hpp"

#include "kept_mesh.hpp"
#include "linked_calls.hpp"

namespace py = pybind11;

namespace kyhost_python {

namespace {

const kyhostFunction* preparing(py::handle)
{
    return kyhost::linkedFunction(&trinterp::interpolateAndKeep, "trinterp keeping its mesh");
}

const kyhostFunction* answering(py::handle)
{
    return kyhost::linkedFunction(&trinterp::interpolateKept, "trinterp on a kept mesh");
}

}  // namespace

void bindPreparedInterpolation(py::module_& module)
{
    using trinterp::KeptMesh;
    py::class_<KeptMesh>(module, "_PreparedInterpolation",
                         "_PreparedInterpolation()\n--\n\n"
                         "trinterp over a mesh kept between calls: prepare() makes the plug-in's call and keeps its "
                         "mesh and values; calling the object answers other queries over them.")
        .def(py::init<>())
        .def(
            "prepare",
            [](KeptMesh& self, const py::args& arguments) {
                const trinterp::KeptMeshInUse inUse(self);
                return runLinked(&preparing, py::str("trinterp"), arguments, 1);
            },
            "prepare(X, Y, Z, TRI, XI, YI, METHOD=None)\n--\n\n"
            "ZI as trinterp(X, Y, Z, TRI, XI, YI, METHOD) gives it, keeping the mesh and the values for later calls.")
        .def(
            "__call__",
            [](KeptMesh& self, const py::args& arguments) {
                const trinterp::KeptMeshInUse inUse(self);
                return runLinked(&answering, py::str("trinterp"), arguments, 1);
            },
            "__call__(XI, YI)\n--\n\nZI for the queries (XI, YI) over the kept mesh and values, as trinterp gives it.")
        .def_property_readonly("ready", &KeptMesh::ready, "True once prepare() has succeeded.")
        .def_property_readonly("nbytes", &KeptMesh::bytes,
                               "Bytes of the kept copies: the points' coordinates and numbers, the rows and the values.");
}

}  // namespace kyhost_python
