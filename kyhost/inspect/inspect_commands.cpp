#include "inspect_commands.hpp"

#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "check_report.hpp"
#include "mapped_input_guard.hpp"
#include "memory_size.hpp"
#include "picture_file.hpp"
#include "triangulation_check.hpp"
#include "triangulation_picture.hpp"

namespace ky::inspect {

namespace {

const char* const checkHelp =
    "Checks exactly whether TRI is a Delaunay triangulation of the points X, Y: every index a\n"
    "whole number from 1 to n, every point used, every row clockwise (or as --orientation\n"
    "says), no directed edge in two rows and no edge in more than two, the rows covering the\n"
    "convex hull exactly (areas summed exactly), and every inner edge locally Delaunay.\n"
    "Exact for any finite doubles.\n"
    "Fewer than three distinct points, or points all on one line, have no triangle: TRI must\n"
    "then have no rows. Prints one line per check with the first few offending rows, then\n"
    "the verdict. Exit status: 0 valid, 1 invalid, 2 for a mistake in the arguments.\n"
    "With --memory-limit, X, Y and TRI are .npy files (npy:PATH; TRI float64, int64 or int32,\n"
    "M-by-3, of any length) read in place and TRI in passes, holding at most about that much\n"
    "memory; the same verdict, from local tests: the edges in one row only must run once\n"
    "around a convex boundary instead of matching a computed hull, and no area is summed.\n"
    "It refuses (exit status 2) when the limit cannot hold the points' bits and the boundary.";

const char* const drawHelp =
    "Draws the triangulation TRI of the points X, Y into FILE, with the problems that kyhost\n"
    "check finds marked, and with queries XI, YI joined to their answers K (as nearwalk\n"
    "returns them) when given. With --voronoi the points' Voronoi cells, clipped to their\n"
    "hull, are drawn over it (exit status 2 when TRI is not a Delaunay triangulation).\n"
    "FILE ending in .svg gives an SVG (best up to some 20,000\n"
    "points), .png a PNG (for large sets); any other name needs --format svg or png.\n"
    "Exit status: 0 when the picture is written (whatever the check found), 2 for a\n"
    "mistake in the arguments or a picture that cannot be written.";

struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

const double* realValues(const kyArray* array, const std::string& name)
{
    if (array->arrayClass != ArrayClass::Double) throw InputError(name + " must be a real matrix");
    return static_cast<const double*>(array->data);
}

std::size_t elements(const kyArray* array) { return static_cast<std::size_t>(elementCount(array)); }

PointSet pointSet(const kyArray* x, const kyArray* y)
{
    PointSet points{realValues(x, "X"), realValues(y, "Y"), elements(x)};
    if (elements(y) != points.n)
        throw InputError("X and Y must have as many elements (" + std::to_string(points.n) + " and " +
                         std::to_string(elements(y)) + ")");
    return points;
}

std::string shape(const kyArray* array) { return std::to_string(array->m) + "-by-" + std::to_string(array->n); }

// TRI as rows, or nothing when it is not M-by-3 (no elements counts as 0 rows).
std::optional<TriangleRows> triangleRows(const kyArray* tri)
{
    const double* values = realValues(tri, "TRI");
    if (elements(tri) == 0) return TriangleRows{values, 0};
    if (tri->n != 3) return std::nullopt;
    return TriangleRows{values, static_cast<std::size_t>(tri->m)};
}

// The column name of an argument read from a named CSV column
// ("csv:points.csv#lon" or "csv:points.txt#lon,sep=tab" give "lon").
std::optional<std::string> columnName(const std::string& argument)
{
    if (argument.rfind("csv:", 0) != 0 && argument.rfind("u8csv:", 0) != 0) return std::nullopt;
    const std::size_t hash = argument.rfind('#');
    if (hash == std::string::npos) return std::nullopt;
    std::stringstream parts(argument.substr(hash + 1));
    for (std::string part; std::getline(parts, part, ',');)
        if (!part.empty() && part.rfind("sep=", 0) != 0 && part.find_first_not_of("0123456789") != std::string::npos)
            return part;
    return std::nullopt;
}

// The same --orientation for check and draw.
void addOrientationOption(CLI::App* command, std::string& orientation)
{
    command
        ->add_option("--orientation", orientation,
                     "the way every row must run: clockwise (the default, as sweeptri returns rows), "
                     "counterclockwise, or either (all rows one way; the report says which)")
        ->check(CLI::IsMember({"clockwise", "counterclockwise", "either"}));
}

RowOrientation orientationOption(const std::string& name) { return rowOrientationNamed(name).value_or(RowOrientation::Clockwise); }

int reportInputError(const std::exception& error)
{
    std::cerr << "kyhost: " << error.what() << '\n';
    return 2;
}

int finishOutput()
{
    std::cout.flush();
    if (std::cout) return 0;
    std::cerr << "error: cannot write to standard output\n";
    return 2;
}

}  // namespace

InspectCommands::InspectCommands(CLI::App& app, ArgumentReader reader, StreamedOpener opener, CellOutliner outliner,
                                 CheckProgressLines progress)
    : reader_(std::move(reader)), opener_(std::move(opener)), outliner_(std::move(outliner)), progress_(std::move(progress))
{
    check_ = app.add_subcommand("check", "check exactly that TRI is a Delaunay triangulation of X, Y");
    check_->footer(checkHelp);
    check_->add_option("X Y TRI", checkArgs_, "the points and the triangles, each as KIND:VALUE (see kyhost --help)")
        ->required()
        ->expected(3);
    addOrientationOption(check_, orientation_);
    check_->add_option("--base", base_, "what TRI's indices count from: 1 (the default, as sweeptri) or 0")
        ->check(CLI::IsMember({0, 1}));
    check_->add_option("--memory-limit", memoryLimit_,
                       "check .npy inputs of any size in place, holding at most about SIZE (2G, 512M, ...)");
    check_->add_option("--progress-seconds", progressSeconds_,
                       "with --memory-limit: seconds between progress lines on standard error (default 10)")
        ->check(CLI::Range(0.05, 3600.0));
    draw_ = app.add_subcommand("draw", "draw a triangulation, its problems and queries into an SVG or PNG");
    draw_->footer(drawHelp);
    draw_->add_option("X Y TRI [XI YI K]", drawArgs_, "points, triangles, and optionally queries and answers")
        ->required()
        ->expected(3, 6);
    draw_->add_option("--out", outPath_, "picture file, ending in .svg or .png")->required();
    draw_->add_option("--title", title_, "title above the picture");
    draw_->add_option("--xlabel", xLabel_, "title of the x axis (default: X's CSV column name, or X)");
    draw_->add_option("--ylabel", yLabel_, "title of the y axis (default: Y's CSV column name, or Y)");
    draw_->add_option("--format", format_, "svg or png, whatever FILE's name (for names without .svg or .png)")
        ->check(CLI::IsMember({"svg", "png"}));
    addOrientationOption(draw_, orientation_);
    draw_->add_flag("--voronoi", voronoi_,
                    "also draw the points' Voronoi cells, clipped to their hull (TRI must be a Delaunay triangulation)");
}

int InspectCommands::run() const { return check_->parsed() ? runCheck() : runDraw(); }

int InspectCommands::runCheck() const
{
    if (!memoryLimit_.empty()) return runStreamedCheck();
    const ArrayHandle x = reader_(checkArgs_[0]), y = reader_(checkArgs_[1]), tri = reader_(checkArgs_[2]);
    try {
        const PointSet points = pointSet(x.get(), y.get());
        std::optional<TriangleRows> rows = triangleRows(tri.get());
        if (rows) rows->base = base_;
        if (!rows) {
            std::cout << "invalid: TRI is " << shape(tri.get()) << "; a triangulation has one row of 3 indices per triangle\n";
            return finishOutput() != 0 ? 2 : 1;
        }
        const CheckReport report = checkTriangulation(points, *rows, orientationOption(orientation_));
        writeCheckReport(std::cout, report, *rows);
        if (finishOutput() != 0) return 2;
        return report.isDelaunay() ? 0 : 1;
    } catch (const std::invalid_argument& error) {
        return reportInputError(error);
    } catch (const InputError& error) {
        return reportInputError(error);
    }
}

int InspectCommands::runStreamedCheck() const
{
    const std::optional<std::uint64_t> limit = parseMemorySize(memoryLimit_);
    if (!limit) {
        std::cerr << "kyhost: --memory-limit takes a size such as 2G, 512M or 1000000 (bytes), not '" << memoryLimit_ << "'\n";
        return 2;
    }
    if (!opener_) {
        std::cerr << "kyhost: --memory-limit is not available here\n";
        return 2;
    }
    const StreamedInputs inputs = opener_(checkArgs_[0], checkArgs_[1], checkArgs_[2], base_);
    try {
        StreamedCheck result;
        // A file truncated while it is read ends the check with InputChanged.
        const CheckProgressReport progress = progress_ ? progress_(progressSeconds_) : CheckProgressReport{};
        runGuarded([&] { result = checkStreamed(inputs.points, *inputs.rows, orientationOption(orientation_), base_, *limit, progress); });
        writeStreamedReport(std::cout, result);
        if (finishOutput() != 0) return 2;
        return result.isDelaunay() ? 0 : 1;
    } catch (const CheckMemoryTooSmall& error) {
        std::cerr << "kyhost: " << error.what() << " (--memory-limit " << memorySizeText(*limit) << ")\n";
        return 2;
    } catch (const std::invalid_argument& error) {
        return reportInputError(error);
    } catch (const InputChanged& error) {
        std::cerr << "kyhost: " << error.what() << '\n';
        return 2;
    }
}

int InspectCommands::runDraw() const
{
    std::optional<PictureFormat> format = pictureFormatFor(outPath_);
    if (!format_.empty()) format = format_ == "png" ? PictureFormat::Png : PictureFormat::Svg;
    if (!format) {
        std::cerr << "kyhost: picture file '" << outPath_
                  << "' must end in .svg (SVG) or .png (PNG), or give --format; nothing was drawn\n";
        return 2;
    }
    if (drawArgs_.size() != 3 && drawArgs_.size() != 6) {
        std::cerr << "kyhost: draw takes X Y TRI, or X Y TRI XI YI K\n";
        return 2;
    }
    std::vector<ArrayHandle> arrays;
    for (const std::string& text : drawArgs_) arrays.push_back(reader_(text));
    try {
        PictureRequest request;
        request.points = pointSet(arrays[0].get(), arrays[1].get());
        const std::optional<TriangleRows> rows = triangleRows(arrays[2].get());
        if (!rows) throw InputError("TRI is " + shape(arrays[2].get()) + ", not M-by-3");
        request.tri = *rows;
        if (arrays.size() == 6) {
            QueryAnswers queries{realValues(arrays[3].get(), "XI"), realValues(arrays[4].get(), "YI"),
                                 realValues(arrays[5].get(), "K"), elements(arrays[3].get())};
            if (elements(arrays[4].get()) != queries.count || elements(arrays[5].get()) != queries.count)
                throw InputError("XI, YI and K must have as many elements");
            request.queries = queries;
        }
        const CheckReport report = checkTriangulation(request.points, request.tri, orientationOption(orientation_));
        request.report = &report;
        CellOutlines cells;
        if (voronoi_) {
            if (!outliner_) {
                std::cerr << "kyhost: --voronoi is not available here\n";
                return 2;
            }
            // The cells come from the rows' circumcentres, which make a
            // Voronoi diagram only when the rows are a Delaunay triangulation.
            if (!report.isDelaunay()) {
                std::cerr << "kyhost: --voronoi needs a Delaunay triangulation of X, Y, and TRI is not one ("
                          << verdictLine(report) << "); nothing was drawn\n";
                return 2;
            }
            cells = outliner_(request.points, request.tri);
            request.cells = &cells;
        }
        request.title = title_.empty() ? "Triangulation of " + std::to_string(report.points) + " points, " +
                                             std::to_string(report.rows) + " rows"
                                       : title_;
        request.subtitle = "kyhost check: " + verdictLine(report);
        request.format = *format;
        request.xLabel = !xLabel_.empty() ? xLabel_ : columnName(drawArgs_[0]).value_or("X");
        request.yLabel = !yLabel_.empty() ? yLabel_ : columnName(drawArgs_[1]).value_or("Y");
        if (*format == PictureFormat::Svg && report.points > 20000)
            std::cerr << "note: an SVG of " << report.points << " points is large and slow to view; .png suits large sets\n";
        const Picture picture = renderPicture(request);
        writePictureFile(outPath_, picture.bytes);
        std::cout << "picture: " << outPath_ << " (" << (*format == PictureFormat::Svg ? "SVG" : "PNG") << ", "
                  << picture.width << " by " << picture.height << " pixels)\n"
                  << verdictLine(report) << '\n';
        return finishOutput();
    } catch (const std::invalid_argument& error) {
        return reportInputError(error);
    } catch (const InputError& error) {
        return reportInputError(error);
    } catch (const std::runtime_error& error) {
        std::cerr << "error: " << error.what() << '\n';
        return 2;
    }
}

}  // namespace ky::inspect
