#include "inspect_bindings.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <sstream>
#include <string>
#include <utility>

#include "check_report.hpp"
#include "picture_file.hpp"
#include "python_inputs.hpp"
#include "triangulation_check.hpp"
#include "triangulation_picture.hpp"

namespace py = pybind11;

namespace kyhost_python {

namespace {

using ColumnMajor = py::array_t<double, py::array::f_style | py::array::forcecast>;

using namespace ky::inspect;

PointSet pointSet(const ColumnMajor& x, const ColumnMajor& y)
{
    if (x.size() != y.size())
        throw py::value_error("x and y must have as many elements (" + std::to_string(x.size()) + " and " +
                              std::to_string(y.size()) + ")");
    return PointSet{x.data(), y.data(), static_cast<std::size_t>(x.size())};
}

// tri: M-by-3, indices counted from base (0 or 1) stored as doubles (an
// empty array is 0 rows).
TriangleRows triangleRows(const ColumnMajor& tri, int base)
{
    if (base != 0 && base != 1) throw py::value_error("base must be 0 or 1, not " + std::to_string(base));
    if (tri.size() == 0) return TriangleRows{tri.data(), 0, base};
    if (tri.ndim() != 2 || tri.shape(1) != 3)
        throw py::value_error("tri must have shape (m, 3), one row of 3 point indices per triangle");
    return TriangleRows{tri.data(), static_cast<std::size_t>(tri.shape(0)), base};
}

RowOrientation rowOrientation(const std::string& name)
{
    const std::optional<RowOrientation> orientation = rowOrientationNamed(name);
    if (!orientation)
        throw py::value_error("orientation must be 'clockwise', 'counterclockwise' or 'either', not '" + name + "'");
    return *orientation;
}

// The orientation as the Python API names it.
const char* orientationName(RowOrientation orientation)
{
    return orientation == RowOrientation::CounterClockwise ? "counterclockwise" : "clockwise";
}

py::list edges(const std::vector<EdgeFault>& faults)
{
    py::list result;
    for (const EdgeFault& e : faults) result.append(py::make_tuple(e.u, e.v, e.row, e.otherRow));
    return result;
}

// Every count and list of the report, 0-based; the text is the one that
// "kyhost check" prints.
py::dict checkValues(const ColumnMajor& x, const ColumnMajor& y, const ColumnMajor& tri, int base,
                     const std::string& orientation)
{
    const PointSet points = pointSet(x, y);
    const TriangleRows rows = triangleRows(tri, base);
    const RowOrientation wanted = rowOrientation(orientation);
    CheckReport report;
    {
        py::gil_scoped_release released;
        report = checkTriangulation(points, rows, wanted);
    }
    std::ostringstream text;
    writeCheckReport(text, report, rows);
    py::dict values;
    values["verdict"] = verdictLine(report);
    values["text"] = text.str();
    values["is_triangulation"] = report.isTriangulation();
    values["is_delaunay"] = report.isDelaunay();
    values["points"] = report.points;
    values["rows"] = report.rows;
    values["hull_corners"] = report.hullCorners;
    values["hull_boundary_points"] = report.hullBoundaryPoints;
    values["hull_has_area"] = report.hullHasArea;
    values["bad_index_rows"] = report.badIndexRows;
    values["repeated_corner_rows"] = report.repeatedCornerRows;
    values["orientation"] = orientationName(report.orientation);
    values["misoriented_rows"] = report.misorientedRows;
    values["flat_rows"] = report.flatRows;
    values["unused_points"] = report.unusedPoints;
    values["repeated_points"] = report.repeatedPoints;
    values["repeated_edges"] = edges(report.repeatedEdges);
    values["crowded_edges"] = edges(report.crowdedEdges);
    values["stray_boundary_edges"] = edges(report.strayBoundaryEdges);
    values["uncovered_hull_edges"] = edges(report.uncoveredHullEdges);
    values["non_delaunay_edges"] = edges(report.nonDelaunayEdges);
    values["area_comparison"] = report.areaComparison;
    values["rows_area"] = report.rowsArea;
    values["hull_area"] = report.hullArea;
    return values;
}

// Checks and draws as "kyhost draw" does, into path; returns the verdict
// line and the picture's size in pixels.
py::tuple drawPicture(const ColumnMajor& x, const ColumnMajor& y, const ColumnMajor& tri, const std::string& path,
                      const py::object& xi, const py::object& yi, const py::object& k, const std::string& title,
                      const std::string& format, const std::string& xlabel, const std::string& ylabel, int base,
                      const std::string& orientation)
{
    refuseNulByte(path, "the picture path");
    for (const auto& [text, what] : {std::pair{&title, "the title"}, std::pair{&xlabel, "the x label"},
                                     std::pair{&ylabel, "the y label"}, std::pair{&format, "the format"}})
        refuseNulByte(*text, what);
    std::optional<PictureFormat> chosen = pictureFormatFor(path);
    if (format == "png") chosen = PictureFormat::Png;
    if (format == "svg") chosen = PictureFormat::Svg;
    if (!format.empty() && format != "png" && format != "svg")
        throw py::value_error("format must be 'svg' or 'png', not '" + format + "'");
    if (!chosen) throw py::value_error("picture file '" + path + "' must end in .svg or .png, or give format");
    PictureRequest request;
    request.points = pointSet(x, y);
    request.tri = triangleRows(tri, base);
    const RowOrientation wanted = rowOrientation(orientation);
    ColumnMajor queryX, queryY, answers;
    if (!xi.is_none()) {
        queryX = xi.cast<ColumnMajor>();
        queryY = yi.cast<ColumnMajor>();
        answers = k.cast<ColumnMajor>();
        if (queryY.size() != queryX.size() || answers.size() != queryX.size())
            throw py::value_error("xi, yi and k must have as many elements");
        request.queries = QueryAnswers{queryX.data(), queryY.data(), answers.data(),
                                       static_cast<std::size_t>(queryX.size())};
    }
    if (!xlabel.empty()) request.xLabel = xlabel;
    if (!ylabel.empty()) request.yLabel = ylabel;
    Picture picture;
    std::string verdict;
    {
        py::gil_scoped_release released;
        const CheckReport report = checkTriangulation(request.points, request.tri, wanted);
        request.report = &report;
        request.title = title.empty() ? "Triangulation of " + std::to_string(report.points) + " points, " +
                                            std::to_string(report.rows) + " rows"
                                      : title;
        verdict = verdictLine(report);
        request.subtitle = "kyhost check: " + verdict;
        request.format = *chosen;
        picture = renderPicture(request);
        writePictureFile(path, picture.bytes);
    }
    return py::make_tuple(verdict, picture.width, picture.height);
}

}  // namespace

void bindInspect(py::module_& module)
{
    module.def("_check", &checkValues, py::arg("x"), py::arg("y"), py::arg("tri"), py::arg("base") = 1,
               py::arg("orientation") = "clockwise",
               "Exact check of tri (m-by-3, indices from base: 1 as sweeptri returns them) against the points; "
               "a dict, its text counting rows and points from base.");
    module.def("_draw", &drawPicture, py::arg("x"), py::arg("y"), py::arg("tri"), py::arg("path"),
               py::arg("xi") = py::none(), py::arg("yi") = py::none(), py::arg("k") = py::none(),
               py::arg("title") = "", py::arg("format") = "", py::arg("xlabel") = "", py::arg("ylabel") = "",
               py::arg("base") = 1, py::arg("orientation") = "clockwise",
               "Draws tri (indices from base) and optionally queries with their answers k (1-based) into path.");
}

}  // namespace kyhost_python
