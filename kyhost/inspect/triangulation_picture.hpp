// A picture of a triangulation: its edges and points, the problems that the
// check found (offending rows filled, stray boundary edges and edges that
// are not locally Delaunay drawn thick, unused and repeated points ringed),
// and optionally query points joined to their answers. With a title, a
// legend and axis ticks in the data's own coordinates; the colours are the
// Okabe-Ito palette, distinct for red-green colour-blind readers. Drawn
// with cairo, into memory: writing the file is the caller's (checked) step.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "triangulation_check.hpp"

namespace ky::inspect {

enum class PictureFormat { Svg, Png };

// Queries and their answers (1-based data point positions, as nearwalk
// returns them), count entries each.
struct QueryAnswers {
    const double* x = nullptr;
    const double* y = nullptr;
    const double* answer = nullptr;
    std::size_t count = 0;
};

// Closed rings drawn as outlines over the triangulation (the Voronoi cells
// of `kyhost draw --voronoi`): ring r has the corners ringStart[r] ..
// ringStart[r + 1] - 1 of x and y, the first not repeated.
struct CellOutlines {
    std::vector<double> x, y;
    std::vector<std::size_t> ringStart{0};
    std::size_t cells = 0;        // cells that have at least one ring
    std::string region = "hull";  // what the cells are clipped to, for the legend
};

struct PictureRequest {
    PointSet points;
    TriangleRows tri;
    const CheckReport* report = nullptr;  // the check of points and tri
    std::optional<QueryAnswers> queries;
    const CellOutlines* cells = nullptr;  // drawn when set
    std::string title;
    std::string subtitle;
    std::string xLabel = "X", yLabel = "Y";  // the axes' titles
    PictureFormat format = PictureFormat::Svg;
};

// Queries drawn at most; beyond that an evenly spaced selection.
inline constexpr std::size_t maxDrawnQueries = 1000;
// Total length, in picture units, of the row outlines drawn: past it a
// sample of the rows of about that length is drawn (the legend says how
// many), since drawing costs time in proportion to the length. A Delaunay
// triangulation of 10^6 points spread over the plot needs about half of it.
inline constexpr double rowLengthBudget = 8e6;
// Problems of each kind marked at most; beyond that an evenly spaced
// selection (the legend says how many of how many).
inline constexpr std::size_t maxMarkedProblems = 2000;
// Picture units per PNG pixel: PNGs are drawn at twice the SVG's size.
inline constexpr int pngScale = 2;

struct Picture {
    std::string bytes;  // the whole file
    int width = 0, height = 0;  // pixels (SVG: user units, written as px)
    std::size_t drawnQueries = 0;
    std::size_t drawnRows = 0;  // rows whose outlines were drawn
    std::vector<std::string> legend;  // the legend's texts, in order
};

// Throws std::runtime_error when cairo reports a failure.
Picture renderPicture(const PictureRequest& request);

// .svg or .png (either case); std::nullopt for any other name.
std::optional<PictureFormat> pictureFormatFor(const std::string& path);

}  // namespace ky::inspect
