#include "voronoi_command.hpp"

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numeric>
#include <optional>
#include <sstream>
#include <unistd.h>

#include "convex_cells.hpp"
#include "kyhost_embed.hpp"
#include "mesh_adjacency.hpp"
#include "number_text.hpp"
#include "output_file.hpp"
#include "polygon_cells.hpp"
#include "usage_error.hpp"
#include "voronoi_diagram.hpp"

namespace ky {

namespace {

const char* const voronoiHelp =
    "Writes the Voronoi cell of each point (X, Y) clipped to a region, as planar polygons (the\n"
    "coordinates are taken as plane coordinates: the cells are not geodesic, even for longitude\n"
    "and latitude). Every corner is its exact value rounded once, so cells that meet share\n"
    "identical corners, and each cell holds its point wherever the region holds it.\n"
    "--clip box:XMIN,YMIN,XMAX,YMAX, hull (the points' convex hull, the default) or\n"
    "csv:POLY.csv, a polygon: one corner x,y per line (a header line is allowed), its exterior\n"
    "ring first and each hole after an empty line, rings open or closed, in any orientation.\n"
    "--out FILE.geojson (or .json): a FeatureCollection with one Feature per point, in the\n"
    "points' order, properties {\"index\": k, \"base\": 1} (k counts from 1), geometry a\n"
    "Polygon, a MultiPolygon, or null for an empty cell; rings closed, exteriors counter-\n"
    "clockwise and holes clockwise (RFC 7946); numbers in the shortest form that reads back\n"
    "as the same double. --out FILE.csv: a header index,polygon,ring,corner,x,y and one row\n"
    "per corner (index from 1; polygon and ring from 0 within the cell, ring 0 the exterior and\n"
    "1.. its holes; rings open: the first corner is not repeated); an empty cell has no rows.\n"
    "FILE is replaced only once it is complete. Repeated points are refused.\n"
    "Exit status: 0 when the cells are written, 1 when the points cannot be triangulated,\n"
    "2 for a mistake in the arguments or data, or a failed write.";

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;

struct Points {
    std::vector<double> x, y;
};

Points readPoints(const kyArray* x, const kyArray* y)
{
    const auto count = [](const kyArray* a, const char* name) {
        if (a->arrayClass != ArrayClass::Double) throw UsageError(std::string(name) + " must be a real matrix");
        return static_cast<std::size_t>(a->m) * static_cast<std::size_t>(a->n);
    };
    const std::size_t n = count(x, "X");
    if (count(y, "Y") != n)
        throw UsageError("X and Y must have as many elements (" + std::to_string(n) + " and " +
                         std::to_string(count(y, "Y")) + ")");
    Points p;
    const auto* xs = static_cast<const double*>(x->data);
    const auto* ys = static_cast<const double*>(y->data);
    p.x.assign(xs, xs + n);
    p.y.assign(ys, ys + n);
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(p.x[i]) || !std::isfinite(p.y[i]))
            throw UsageError("point " + std::to_string(i + 1) + " is not finite: (" + formatShortest(p.x[i]) + ", " +
                             formatShortest(p.y[i]) + ")");
    if (n >= static_cast<std::size_t>(INT32_MAX) / 4) throw UsageError("too many points");
    return p;
}

// The first repeated point (the lowest index that repeats an earlier one).
void refuseRepeats(const Points& p)
{
    std::vector<std::int32_t> order(p.x.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
        return p.x[a] != p.x[b] ? p.x[a] < p.x[b] : p.y[a] != p.y[b] ? p.y[a] < p.y[b] : a < b;
    });
    std::int32_t later = -1, first = -1;
    for (std::size_t i = 1; i < order.size(); ++i) {
        std::size_t g = i - 1;
        if (p.x[order[i]] != p.x[order[g]] || p.y[order[i]] != p.y[order[g]]) continue;
        while (g > 0 && p.x[order[g - 1]] == p.x[order[i]] && p.y[order[g - 1]] == p.y[order[i]]) --g;
        if (later < 0 || order[i] < later) {
            later = order[i];
            first = order[g];
        }
    }
    if (later >= 0)
        throw UsageError("points " + std::to_string(first + 1) + " and " + std::to_string(later + 1) +
                         " are both at (" + formatShortest(p.x[later]) + ", " + formatShortest(p.y[later]) + ")");
}

// sweeptri's rows, 0-based and clockwise; none for points on one line.
std::vector<std::int32_t> triangulate(const kyArray* x, const kyArray* y, std::size_t n, std::string& error)
{
    if (n < 3) return {};
    const kyhostFunction* sweeptri = kyhostFind("sweeptri");
    if (sweeptri == nullptr) throw UsageError(kyhostLastError());
    const kyArray* inputs[2] = {x, y};
    kyhost::CallRecord call(kyhostRun(sweeptri, 1, 2, inputs, nullptr, nullptr));
    if (!call) {
        error = kyhostLastError();
        return {};
    }
    if (const char* text = kyhostCallError(call.get())) {
        error = text;
        return {};
    }
    const kyArray* tri = kyhostCallResult(call.get(), 0);
    std::vector<std::int32_t> rows;
    if (tri == nullptr || tri->m == 0) return rows;
    const auto* values = static_cast<const double*>(tri->data);
    const std::size_t m = static_cast<std::size_t>(tri->m);
    rows.resize(3 * m);
    for (std::size_t r = 0; r < m; ++r)
        for (std::size_t c = 0; c < 3; ++c) rows[3 * r + c] = static_cast<std::int32_t>(values[c * m + r]) - 1;
    return rows;
}

struct Clip {
    enum class Kind { Box, Hull, Polygon } kind = Kind::Hull;
    std::vector<double> x, y;
    std::vector<std::int64_t> ringStart{0};
};

double parseNumber(const std::string& text, const std::string& what)
{
    const std::optional<double> value = parseDouble(text);
    if (!value || !std::isfinite(*value)) throw UsageError(what + ": '" + text + "' is not a finite number");
    return *value;
}

Clip readPolygon(const std::string& path)
{
    std::ifstream file(path);
    if (!file) throw UsageError("cannot read the clip polygon " + path);
    Clip clip;
    clip.kind = Clip::Kind::Polygon;
    std::string line;
    std::size_t lineNumber = 0;
    const auto closeRing = [&] {
        if (static_cast<std::int64_t>(clip.x.size()) == clip.ringStart.back()) return;
        // A closed ring loses its repeated first corner.
        const std::size_t first = static_cast<std::size_t>(clip.ringStart.back());
        if (clip.x.size() - first > 1 && clip.x.back() == clip.x[first] && clip.y.back() == clip.y[first]) {
            clip.x.pop_back();
            clip.y.pop_back();
        }
        if (clip.x.size() - first < 3) throw UsageError(path + ": a ring has fewer than 3 corners");
        clip.ringStart.push_back(static_cast<std::int64_t>(clip.x.size()));
    };
    while (std::getline(file, line)) {
        ++lineNumber;
        const std::string_view text = trimBlanks(line);
        if (text.empty()) {
            closeRing();
            continue;
        }
        const std::size_t comma = text.find(',');
        const std::optional<double> x = comma == std::string_view::npos ? std::nullopt : parseDouble(text.substr(0, comma));
        const std::optional<double> y = comma == std::string_view::npos ? std::nullopt : parseDouble(text.substr(comma + 1));
        if (!x || !y) {
            if (lineNumber == 1) continue;  // a header
            throw UsageError(path + " line " + std::to_string(lineNumber) + ": expected x,y");
        }
        if (!std::isfinite(*x) || !std::isfinite(*y))
            throw UsageError(path + " line " + std::to_string(lineNumber) + ": the corner is not finite");
        clip.x.push_back(*x);
        clip.y.push_back(*y);
    }
    closeRing();
    if (clip.ringStart.size() < 2) throw UsageError(path + ": the clip polygon has no corners");
    return clip;
}

Clip readClip(const std::string& text)
{
    if (text == "hull") return Clip{};
    if (text.rfind("box:", 0) == 0) {
        std::vector<double> v;
        std::stringstream parts(text.substr(4));
        for (std::string part; std::getline(parts, part, ',');) v.push_back(parseNumber(part, "--clip box"));
        if (v.size() != 4) throw UsageError("--clip box:XMIN,YMIN,XMAX,YMAX needs four numbers");
        if (!(v[0] < v[2] && v[1] < v[3])) throw UsageError("--clip box is empty: need XMIN < XMAX and YMIN < YMAX");
        Clip clip;
        clip.kind = Clip::Kind::Box;
        clip.x = {v[0], v[2], v[2], v[0]};
        clip.y = {v[1], v[1], v[3], v[3]};
        clip.ringStart = {0, 4};
        return clip;
    }
    if (text.rfind("csv:", 0) == 0) return readPolygon(text.substr(4));
    throw UsageError("--clip must be box:XMIN,YMIN,XMAX,YMAX, hull or csv:POLY.csv; got '" + text + "'");
}

Kernel::Point_2 cornerAt(const Clip& c, std::size_t i) { return {c.x[i], c.y[i]}; }

// True when the closed segments a-b and c-d have a point in common. Exact.
bool segmentsMeet(const Kernel::Point_2& a, const Kernel::Point_2& b, const Kernel::Point_2& c, const Kernel::Point_2& d)
{
    return CGAL::do_intersect(Kernel::Segment_2(a, b), Kernel::Segment_2(c, d));
}

// Refuses a polygon whose rings cross or touch themselves or each other
// (edges meet only where consecutive edges of a ring share their corner),
// or that has no area; rings made counter-clockwise (exterior) and
// clockwise (holes).
void checkPolygon(Clip& clip)
{
    struct Edge {
        std::size_t a, b, ring;
        double low, high;
    };
    std::vector<Edge> edges;
    const std::size_t rings = clip.ringStart.size() - 1;
    for (std::size_t r = 0; r < rings; ++r) {
        const auto first = static_cast<std::size_t>(clip.ringStart[r]), last = static_cast<std::size_t>(clip.ringStart[r + 1]);
        for (std::size_t i = first; i < last; ++i) {
            const std::size_t j = i + 1 == last ? first : i + 1;
            if (clip.x[i] == clip.x[j] && clip.y[i] == clip.y[j]) throw UsageError("the clip polygon repeats a corner");
            edges.push_back({i, j, r, std::min(clip.x[i], clip.x[j]), std::max(clip.x[i], clip.x[j])});
        }
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& e, const Edge& f) { return e.low < f.low; });
    for (std::size_t e = 0; e < edges.size(); ++e)
        for (std::size_t f = e + 1; f < edges.size() && edges[f].low <= edges[e].high; ++f) {
            const Edge& u = edges[e];
            const Edge& v = edges[f];
            const bool adjacent = u.ring == v.ring && (u.b == v.a || v.b == u.a);
            if (adjacent) {
                // Consecutive edges may only share their corner: not fold back.
                const std::size_t shared = u.b == v.a ? u.b : u.a;
                const std::size_t p = u.a == shared ? u.b : u.a, q = v.a == shared ? v.b : v.a;
                if (CGAL::collinear(cornerAt(clip, p), cornerAt(clip, shared), cornerAt(clip, q)) &&
                    !CGAL::collinear_are_ordered_along_line(cornerAt(clip, p), cornerAt(clip, shared), cornerAt(clip, q)))
                    throw UsageError("the clip polygon is not valid: a ring folds back on itself");
                if (u.b == v.a && v.b == u.a) throw UsageError("the clip polygon is not valid: a ring has two corners");
                continue;
            }
            if (segmentsMeet(cornerAt(clip, u.a), cornerAt(clip, u.b), cornerAt(clip, v.a), cornerAt(clip, v.b)))
                throw UsageError("the clip polygon is not valid: its rings cross or touch (near " +
                                 formatShortest(clip.x[u.a]) + ", " + formatShortest(clip.y[u.a]) + ")");
        }
    // Orientation by the exact sign of twice the area (CGAL's orientation of
    // the lowest corner's neighbours decides it for a simple ring).
    for (std::size_t r = 0; r < rings; ++r) {
        const auto first = static_cast<std::size_t>(clip.ringStart[r]), last = static_cast<std::size_t>(clip.ringStart[r + 1]);
        std::size_t lowest = first;
        for (std::size_t i = first; i < last; ++i)
            if (clip.x[i] < clip.x[lowest] || (clip.x[i] == clip.x[lowest] && clip.y[i] < clip.y[lowest])) lowest = i;
        const std::size_t before = lowest == first ? last - 1 : lowest - 1, after = lowest + 1 == last ? first : lowest + 1;
        const auto turn = CGAL::orientation(cornerAt(clip, before), cornerAt(clip, lowest), cornerAt(clip, after));
        const bool ccw = turn == CGAL::LEFT_TURN;
        if ((r == 0) != ccw) {
            std::reverse(clip.x.begin() + static_cast<std::ptrdiff_t>(first), clip.x.begin() + static_cast<std::ptrdiff_t>(last));
            std::reverse(clip.y.begin() + static_cast<std::ptrdiff_t>(first), clip.y.begin() + static_cast<std::ptrdiff_t>(last));
        }
    }
}

bool convexSingleRing(const Clip& clip)
{
    if (clip.ringStart.size() != 2) return false;
    const std::size_t k = clip.x.size();
    for (std::size_t i = 0; i < k; ++i)
        if (CGAL::orientation(cornerAt(clip, i), cornerAt(clip, (i + 1) % k), cornerAt(clip, (i + 2) % k)) !=
            CGAL::LEFT_TURN)
            return false;
    return true;
}

// The hull of the rows (clockwise) as a counter-clockwise ring.
void hullRing(const Points& p, const std::vector<std::int32_t>& rows, Clip& clip)
{
    const auto m = static_cast<std::int64_t>(rows.size() / 3);
    const auto n = static_cast<std::int32_t>(p.x.size());
    const std::vector<std::int32_t> across = kyhost_spatial::rowNeighbours(rows.data(), m, n);
    // Hull edges of clockwise rows run clockwise: next[u] = v for u -> v;
    // walking them backwards runs counter-clockwise.
    std::vector<std::int32_t> previous(static_cast<std::size_t>(n), -1);
    std::int32_t start = -1;
    for (std::int64_t t = 0; t < m; ++t)
        for (int k = 0; k < 3; ++k)
            if (across[3 * t + k] < 0) {
                const std::int32_t u = rows[3 * t + (k + 1) % 3], v = rows[3 * t + (k + 2) % 3];
                previous[v] = u;
                start = v;
            }
    std::int32_t at = start;
    do {
        clip.x.push_back(p.x[at]);
        clip.y.push_back(p.y[at]);
        at = previous[at];
    } while (at != start && at >= 0 && clip.x.size() <= p.x.size());
    clip.ringStart = {0, static_cast<std::int64_t>(clip.x.size())};
}

void writeNumber(OutputFile& out, double value)
{
    char* at = out.reserve(32);
    const auto result = std::to_chars(at, at + 32, value);
    out.commit(static_cast<std::size_t>(result.ptr - at));
}

void writeGeoJson(OutputFile& out, const kyhost_voronoi::PolygonCells& c)
{
    const std::size_t n = c.cellStart.size() - 1;
    out.write("{\"type\":\"FeatureCollection\",\"features\":[");
    for (std::size_t p = 0; p < n; ++p) {
        if (p > 0) out.put(',');
        out.write("\n{\"type\":\"Feature\",\"properties\":{\"index\":");
        out.write(std::to_string(p + 1));
        out.write(",\"base\":1},\"geometry\":");
        const std::int64_t polygons = c.cellStart[p + 1] - c.cellStart[p];
        if (polygons == 0) {
            out.write("null}");
            continue;
        }
        out.write(polygons == 1 ? "{\"type\":\"Polygon\",\"coordinates\":" : "{\"type\":\"MultiPolygon\",\"coordinates\":[");
        for (std::int64_t q = c.cellStart[p]; q < c.cellStart[p + 1]; ++q) {
            if (q > c.cellStart[p]) out.put(',');
            out.put('[');
            for (std::int64_t r = c.polygonStart[q]; r < c.polygonStart[q + 1]; ++r) {
                if (r > c.polygonStart[q]) out.put(',');
                out.put('[');
                const std::int64_t first = c.ringStart[r], last = c.ringStart[r + 1];
                for (std::int64_t k = first; k <= last; ++k) {  // closed: the first corner again
                    const std::int64_t corner = k == last ? first : k;
                    if (k > first) out.put(',');
                    out.put('[');
                    writeNumber(out, c.xy[2 * corner]);
                    out.put(',');
                    writeNumber(out, c.xy[2 * corner + 1]);
                    out.put(']');
                }
                out.put(']');
            }
            out.put(']');
        }
        out.write(polygons == 1 ? "}}" : "]}}");
    }
    out.write("\n]}\n");
}

void writeCsv(OutputFile& out, const kyhost_voronoi::PolygonCells& c)
{
    out.write("index,polygon,ring,corner,x,y\n");
    const std::size_t n = c.cellStart.size() - 1;
    for (std::size_t p = 0; p < n; ++p)
        for (std::int64_t q = c.cellStart[p]; q < c.cellStart[p + 1]; ++q)
            for (std::int64_t r = c.polygonStart[q]; r < c.polygonStart[q + 1]; ++r)
                for (std::int64_t k = c.ringStart[r]; k < c.ringStart[r + 1]; ++k) {
                    out.write(std::to_string(p + 1) + "," + std::to_string(q - c.cellStart[p]) + "," +
                              std::to_string(r - c.polygonStart[q]) + "," + std::to_string(k - c.ringStart[r]) + ",");
                    writeNumber(out, c.xy[2 * k]);
                    out.put(',');
                    writeNumber(out, c.xy[2 * k + 1]);
                    out.put('\n');
                }
}

// The cells of the points clipped to `clip`, from sweeptri's rows (0-based,
// clockwise; none when the points lie on one line).
kyhost_voronoi::PolygonCells clippedCells(const Points& points, const std::vector<std::int32_t>& rows, Clip clip)
{
    const auto m = static_cast<std::int64_t>(rows.size() / 3);
    const auto n = static_cast<std::int32_t>(points.x.size());

    kyhost_voronoi::Diagram diagram;
    kyhost_spatial::NeighbourGraph graph;
    if (m > 0) {
        diagram = kyhost_voronoi::voronoiDiagram(points.x.data(), points.y.data(), n, rows.data(), m, 2);
        graph = kyhost_spatial::pointAdjacency(rows.data(), m, n);
    } else {
        std::vector<std::int32_t> order(static_cast<std::size_t>(n));
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
            return points.x[a] != points.x[b] ? points.x[a] < points.x[b] : points.y[a] < points.y[b];
        });
        graph = kyhost_spatial::pathAdjacency(order);
    }
    kyhost_voronoi::CellInputs in{points.x.data(), points.y.data(), n, graph.start.data(), graph.points.data()};
    if (m > 0) {
        in.regionStart = diagram.regionStart.data();
        in.regionVertices = diagram.regionVertices.data();
        in.vertices = diagram.vertices.data();
    }
    if (clip.kind == Clip::Kind::Hull && m > 0) hullRing(points, rows, clip);
    kyhost_voronoi::PolygonCells cells;
    try {
        if (clip.kind == Clip::Kind::Hull && m == 0) {
            // A hull of no area: every cell is empty.
            cells.cellStart.assign(static_cast<std::size_t>(n) + 1, 0);
        } else if (clip.kind != Clip::Kind::Polygon || convexSingleRing(clip)) {
            cells = kyhost_voronoi::asPolygonCells(
                kyhost_voronoi::clipCellsConvex(in, clip.x.data(), clip.y.data(), static_cast<std::int64_t>(clip.x.size()), 2));
        } else {
            cells = kyhost_voronoi::clipCellsToPolygon(in, clip.x.data(), clip.y.data(), clip.ringStart.data(),
                                                       static_cast<std::int64_t>(clip.ringStart.size() - 1), 2);
        }
    } catch (const std::invalid_argument& problem) {
        throw UsageError(std::string("--clip: ") + problem.what());
    }
    return cells;
}

}  // namespace

inspect::CellOutlines hullCellOutlines(const inspect::PointSet& given, const inspect::TriangleRows& tri)
{
    Points points;
    for (std::size_t i = 0; i < given.n; ++i) {
        points.x.push_back(given.x[i]);
        points.y.push_back(given.y[i]);
    }
    // The diagram takes clockwise rows; a Delaunay triangulation's rows may
    // run either way (draw --orientation), so each is turned as needed.
    std::vector<std::int32_t> rows(3 * tri.rows);
    for (std::size_t r = 0; r < tri.rows; ++r) {
        std::int32_t c[3];
        for (int k = 0; k < 3; ++k) c[k] = tri.corner(r, k, given.n);
        const Kernel::Point_2 a(points.x[c[0]], points.y[c[0]]), b(points.x[c[1]], points.y[c[1]]),
            d(points.x[c[2]], points.y[c[2]]);
        if (CGAL::orientation(a, b, d) == CGAL::LEFT_TURN) std::swap(c[1], c[2]);
        std::copy(c, c + 3, rows.begin() + static_cast<std::ptrdiff_t>(3 * r));
    }
    const kyhost_voronoi::PolygonCells cells = clippedCells(points, rows, Clip{});
    inspect::CellOutlines outlines;
    for (std::size_t cell = 0; cell + 1 < cells.cellStart.size(); ++cell) {
        if (cells.cellStart[cell + 1] > cells.cellStart[cell]) ++outlines.cells;
        for (auto polygon = cells.cellStart[cell]; polygon < cells.cellStart[cell + 1]; ++polygon)
            for (auto ring = cells.polygonStart[polygon]; ring < cells.polygonStart[polygon + 1]; ++ring) {
                for (auto corner = cells.ringStart[ring]; corner < cells.ringStart[ring + 1]; ++corner) {
                    outlines.x.push_back(cells.xy[2 * corner]);
                    outlines.y.push_back(cells.xy[2 * corner + 1]);
                }
                outlines.ringStart.push_back(outlines.x.size());
            }
    }
    return outlines;
}

VoronoiCommand::VoronoiCommand(CLI::App& app, ArgumentReader reader) : reader_(std::move(reader))
{
    command_ = app.add_subcommand("voronoi", "write the Voronoi cells of X, Y clipped to a box, the hull or a polygon");
    command_->add_option("X Y", arguments_, "the points' coordinates, KIND:VALUE (npy:X.npy, csv:...)")
        ->expected(2)
        ->required();
    command_->add_option("--clip", clip_, "box:XMIN,YMIN,XMAX,YMAX, hull (default) or csv:POLY.csv");
    command_->add_option("--out", outPath_, "FILE.geojson, FILE.json or FILE.csv")->required();
    command_->footer(voronoiHelp);
}

int VoronoiCommand::run() const
{
    const std::string extension = std::filesystem::path(outPath_).extension().string();
    const bool csv = extension == ".csv";
    if (!csv && extension != ".geojson" && extension != ".json")
        throw UsageError("--out must end in .geojson, .json or .csv; got '" + outPath_ + "'");
    Clip clip = readClip(clip_);
    if (clip.kind == Clip::Kind::Polygon) checkPolygon(clip);
    const ArrayHandle xArray = reader_(arguments_[0]);
    const ArrayHandle yArray = reader_(arguments_[1]);
    const Points points = readPoints(xArray.get(), yArray.get());
    refuseRepeats(points);
    std::string error;
    const std::vector<std::int32_t> rows = triangulate(xArray.get(), yArray.get(), points.x.size(), error);
    if (!error.empty()) {
        std::cerr << "error: sweeptri: " << error << '\n';
        return 1;
    }
    const kyhost_voronoi::PolygonCells cells = clippedCells(points, rows, clip);

    // Written beside FILE and renamed over it once complete.
    const std::string temporary = outPath_ + ".part-" + std::to_string(::getpid());
    {
        OutputFile out = OutputFile::create(temporary);
        if (csv) writeCsv(out, cells);
        else writeGeoJson(out, cells);
        out.finish();
    }
    if (std::rename(temporary.c_str(), outPath_.c_str()) != 0) {
        const int problem = errno;
        std::remove(temporary.c_str());
        throw UsageError("cannot write " + outPath_ + ": " + std::strerror(problem));
    }
    return 0;
}

}  // namespace ky
