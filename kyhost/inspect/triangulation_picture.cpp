#include "triangulation_picture.hpp"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <vector>

#include "cairo_library.hpp"
#include "edge_index.hpp"
#include "picture_layout.hpp"

namespace ky::inspect {

namespace {

struct Colour {
    double r, g, b;
};
// Okabe-Ito.
constexpr Colour black{0, 0, 0};
constexpr Colour orange{0.902, 0.624, 0};
constexpr Colour blue{0, 0.447, 0.698};
constexpr Colour bluishGreen{0, 0.620, 0.451};
constexpr Colour vermillion{0.835, 0.369, 0};
constexpr Colour reddishPurple{0.800, 0.475, 0.655};
constexpr Colour grey{0.45, 0.45, 0.45};

// "1 point", "2 points": a count with its noun, plural with an s.
std::string counted(std::size_t n, const std::string& noun, const std::string& rest)
{
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s") + rest;
}

// "12 faulty rows" or, when only some are marked, "12 faulty rows (5 marked)".
std::string markedCount(std::size_t total, std::size_t marked, const std::string& noun, const std::string& rest)
{
    std::string text = counted(total, noun, rest);
    if (marked < total) text += " (" + std::to_string(marked) + " marked)";
    return text;
}

// Every k-th of count items, k chosen so that at most maxMarkedProblems are
// taken.
std::size_t markStride(std::size_t count)
{
    return std::max<std::size_t>(1, (count + maxMarkedProblems - 1) / maxMarkedProblems);
}

// A well-mixed 64-bit hash of a row number, to sample rows evenly across the
// matrix without any pattern of the rows' order showing.
std::uint64_t mixed(std::uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

void setColour(cairo_t* cr, Colour c, double alpha = 1) { cairo().set_source_rgba(cr, c.r, c.g, c.b, alpha); }

enum class Mark { Line, ThickLine, DashedLine, Fill, Dot, Ring, QueryJoin };
struct LegendEntry {
    Mark mark;
    Colour colour;
    std::string text;
};

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo().surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* cr) const { cairo().destroy(cr); }
};

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length)
{
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

void requireGood(cairo_status_t status, const char* what)
{
    if (status != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error(std::string(what) + ": " + cairo().status_to_string(status));
}

// Rows with whole, distinct indices in range: the ones that can be drawn.
std::vector<IndexedRow> drawableRows(const PointSet& points, const TriangleRows& tri)
{
    std::vector<IndexedRow> rows;
    rows.reserve(tri.rows);
    for (std::size_t r = 0; r < tri.rows; ++r) {
        IndexedRow row{{tri.corner(r, 0, points.n), tri.corner(r, 1, points.n), tri.corner(r, 2, points.n)},
                       static_cast<std::int32_t>(r)};
        const auto [a, b, c] = row.corners;
        if (a >= 0 && b >= 0 && c >= 0 && a != b && b != c && c != a) rows.push_back(row);
    }
    return rows;
}

class Painter {
public:
    Painter(cairo_t* cr, const PictureRequest& request, const DataFrame& frame)
        : cr_(cr), request_(request), frame_(frame), points_(request.points)
    {
        const double n = static_cast<double>(std::max<std::size_t>(points_.n, 1));
        dotRadius_ = std::clamp(60 / std::sqrt(n), 0.25, 3.0);
        edgeWidth_ = std::clamp(20 / std::sqrt(n), 0.12, 1.0);
    }

    void paint()
    {
        cairo().set_source_rgb(cr_, 1, 1, 1);
        cairo().paint(cr_);
        cairo().save(cr_);
        cairo().rectangle(cr_, PageLayout::plotLeft, PageLayout::plotTop, PageLayout::plotSide, PageLayout::plotSide);
        cairo().clip(cr_);
        const std::vector<IndexedRow> rows = drawableRows(points_, request_.tri);
        faultyRows(rows);
        edges(sampledRows(rows));
        cellOutlines();
        dots();
        faultEdges();  // on top, so that problems stay visible in dense sets
        faultPoints();
        queries();
        cairo().restore(cr_);
        axes();
        titles();
        legend();
    }

    std::size_t drawnQueries() const { return drawnQueries_; }
    std::size_t drawnRows() const { return drawnRows_; }
    const std::vector<std::string>& legendTexts() const { return legendTexts_; }

private:
    double px(std::size_t i) const { return frame_.pageX(points_.x[i]); }
    double py(std::size_t i) const { return frame_.pageY(points_.y[i]); }

    // Long paths are stroked in pieces, which keeps cairo's stroker quick:
    // every 20,000 segments, or sooner when they are long, since the cost of
    // filling a stroke grows with how many of its edges cross each row of
    // pixels.
    void strokeEvery(std::size_t& pending)
    {
        if (++pending < 20000 && pendingLength_ < 2000) return;
        cairo().stroke(cr_);
        pending = 0;
        pendingLength_ = 0;
    }

    void segment(std::size_t u, std::size_t v)
    {
        cairo().move_to(cr_, px(u), py(u));
        cairo().line_to(cr_, px(v), py(v));
        pendingLength_ += std::abs(px(u) - px(v)) + std::abs(py(u) - py(v));
    }

    // The rows whose outlines are drawn: all of them while their total length
    // on the page stays within rowLengthBudget, otherwise a sample of about
    // that length. Stroking costs time in proportion to the length drawn, and
    // the long rows of a broken matrix would otherwise take minutes.
    std::vector<IndexedRow> sampledRows(const std::vector<IndexedRow>& rows)
    {
        const auto length = [&](std::size_t u, std::size_t v) { return std::hypot(px(u) - px(v), py(u) - py(v)); };
        double total = 0;
        for (const IndexedRow& row : rows) {
            const auto [a, b, c] = row.corners;
            total += length(static_cast<std::size_t>(a), static_cast<std::size_t>(b)) +
                     length(static_cast<std::size_t>(b), static_cast<std::size_t>(c)) +
                     length(static_cast<std::size_t>(c), static_cast<std::size_t>(a));
        }
        if (!(total > rowLengthBudget)) {
            drawnRows_ = rows.size();
            return rows;
        }
        const double share = rowLengthBudget / total;
        const auto threshold = static_cast<std::uint64_t>(share * 18446744073709551615.0);
        std::vector<IndexedRow> sample;
        for (const IndexedRow& row : rows)
            if (mixed(static_cast<std::uint64_t>(row.row)) < threshold) sample.push_back(row);
        drawnRows_ = sample.size();
        return sample;
    }

    void faultyRows(const std::vector<IndexedRow>& rows)
    {
        const CheckReport& report = *request_.report;
        std::vector<bool> faulty(request_.tri.rows, false);
        for (const auto* list : {&report.misorientedRows, &report.flatRows})
            for (std::int32_t r : *list) faulty[static_cast<std::size_t>(r)] = true;
        for (const auto* list : {&report.repeatedEdges, &report.crowdedEdges, &report.strayBoundaryEdges})
            for (const EdgeFault& e : *list)
                for (std::int32_t r : {e.row, e.otherRow})
                    if (r >= 0) faulty[static_cast<std::size_t>(r)] = true;
        std::size_t count = 0, marked = 0;
        for (const IndexedRow& row : rows) count += faulty[static_cast<std::size_t>(row.row)] ? 1 : 0;
        const std::size_t stride = markStride(count);
        setColour(cr_, vermillion, 0.45);
        std::size_t seen = 0;
        for (const IndexedRow& row : rows) {
            if (!faulty[static_cast<std::size_t>(row.row)]) continue;
            if (seen++ % stride != 0) continue;
            const auto [a, b, c] = row.corners;
            cairo().move_to(cr_, px(a), py(a));
            cairo().line_to(cr_, px(b), py(b));
            cairo().line_to(cr_, px(c), py(c));
            cairo().close_path(cr_);
            cairo().fill(cr_);
            ++marked;
        }
        if (count > 0) addLegend({Mark::Fill, vermillion, markedCount(count, marked, "faulty row", "")});
    }

    // Each edge once, however many rows hold it.
    void edges(const std::vector<IndexedRow>& rows)
    {
        const EdgeIndex index(points_.n, rows);
        setColour(cr_, blue);
        cairo().set_line_width(cr_, edgeWidth_);
        std::size_t pending = 0, count = 0;
        index.forEachEdge([&](std::int32_t u, std::int32_t v, auto, auto) {
            segment(static_cast<std::size_t>(u), static_cast<std::size_t>(v));
            strokeEvery(pending);
            ++count;
        });
        cairo().stroke(cr_);
        std::string text = std::to_string(request_.tri.rows) + " rows";
        if (drawnRows_ < request_.tri.rows) text += ", " + std::to_string(drawnRows_) + " drawn";
        addLegend({Mark::Line, blue, text + " (" + std::to_string(count) + " edges)"});
    }

    // The cells' rings, thinner than the edges and in another colour, so
    // that both stay readable where they cross.
    void cellOutlines()
    {
        if (request_.cells == nullptr) return;
        const CellOutlines& cells = *request_.cells;
        setColour(cr_, reddishPurple);
        cairo().set_line_width(cr_, std::max(0.1, 0.8 * edgeWidth_));
        std::size_t pending = 0;
        for (std::size_t r = 0; r + 1 < cells.ringStart.size(); ++r) {
            const std::size_t first = cells.ringStart[r], end = cells.ringStart[r + 1];
            if (end - first < 2) continue;
            cairo().move_to(cr_, frame_.pageX(cells.x[first]), frame_.pageY(cells.y[first]));
            for (std::size_t k = first + 1; k < end; ++k) {
                cairo().line_to(cr_, frame_.pageX(cells.x[k]), frame_.pageY(cells.y[k]));
                pendingLength_ += std::abs(frame_.pageX(cells.x[k]) - frame_.pageX(cells.x[k - 1])) +
                                  std::abs(frame_.pageY(cells.y[k]) - frame_.pageY(cells.y[k - 1]));
            }
            cairo().close_path(cr_);
            strokeEvery(pending);
        }
        cairo().stroke(cr_);
        addLegend({Mark::Line, reddishPurple, counted(cells.cells, "Voronoi cell", ", clipped to the " + cells.region)});
    }

    void edgeList(const std::vector<EdgeFault>& list, Colour colour, bool dashed, const std::string& noun,
                  const std::string& rest)
    {
        if (list.empty()) return;
        setColour(cr_, colour);
        cairo().set_line_width(cr_, 2.5);
        const double dash[] = {6, 4};
        cairo().set_dash(cr_, dash, dashed ? 2 : 0, 0);
        std::size_t pending = 0, marked = 0;
        const std::size_t stride = markStride(list.size());
        for (std::size_t k = 0; k < list.size(); k += stride) {
            segment(static_cast<std::size_t>(list[k].u), static_cast<std::size_t>(list[k].v));
            strokeEvery(pending);
            ++marked;
        }
        cairo().stroke(cr_);
        cairo().set_dash(cr_, nullptr, 0, 0);
        addLegend({dashed ? Mark::DashedLine : Mark::ThickLine, colour, markedCount(list.size(), marked, noun, rest)});
    }

    void faultEdges()
    {
        const CheckReport& report = *request_.report;
        edgeList(report.strayBoundaryEdges, vermillion, false, "edge", " with no row beyond");
        edgeList(report.uncoveredHullEdges, vermillion, true, "hull edge", " in no row");
        edgeList(report.nonDelaunayEdges, reddishPurple, false, "edge", " not locally Delaunay");
    }

    void dots()
    {
        setColour(cr_, black);
        for (std::size_t i = 0; i < points_.n; ++i) {
            cairo().new_sub_path(cr_);
            cairo().arc(cr_, px(i), py(i), dotRadius_, 0, 2 * M_PI);
            if (i % 20000 == 19999) cairo().fill(cr_);
        }
        cairo().fill(cr_);
        addLegend({Mark::Dot, black, std::to_string(points_.n) + " points"});
    }

    void ringList(const std::vector<std::int32_t>& list, Colour colour, const std::string& noun, const std::string& rest)
    {
        if (list.empty()) return;
        setColour(cr_, colour);
        cairo().set_line_width(cr_, 2);
        std::size_t pending = 0, marked = 0;
        const std::size_t stride = markStride(list.size());
        for (std::size_t k = 0; k < list.size(); k += stride) {
            const auto i = static_cast<std::size_t>(list[k]);
            cairo().new_sub_path(cr_);
            cairo().arc(cr_, px(i), py(i), 6, 0, 2 * M_PI);
            strokeEvery(pending);
            ++marked;
        }
        cairo().stroke(cr_);
        addLegend({Mark::Ring, colour, markedCount(list.size(), marked, noun, rest)});
    }

    void faultPoints()
    {
        ringList(request_.report->unusedPoints, vermillion, "point", " in no row");
        ringList(request_.report->repeatedPoints, reddishPurple, "repeated point", "");
    }

    void queries()
    {
        if (!request_.queries) return;
        const QueryAnswers& q = *request_.queries;
        const std::size_t stride = std::max<std::size_t>(1, (q.count + maxDrawnQueries - 1) / maxDrawnQueries);
        std::vector<std::pair<std::size_t, std::size_t>> joins;  // query, answer
        std::size_t outOfRange = 0;
        for (std::size_t i = 0; i < q.count; ++i) {
            const std::int32_t k = pointIndex(q.answer[i], points_.n);
            if (k < 0) ++outOfRange;
            else if (i % stride == 0 && std::isfinite(q.x[i]) && std::isfinite(q.y[i]))
                joins.emplace_back(i, static_cast<std::size_t>(k));
        }
        drawnQueries_ = joins.size();
        setColour(cr_, orange);
        cairo().set_line_width(cr_, 1.2);
        for (const auto& [i, k] : joins) {
            const double x = frame_.pageX(q.x[i]), y = frame_.pageY(q.y[i]);
            cairo().move_to(cr_, x, y);
            cairo().line_to(cr_, px(k), py(k));
            cairo().move_to(cr_, x - 3.5, y - 3.5);
            cairo().line_to(cr_, x + 3.5, y + 3.5);
            cairo().move_to(cr_, x - 3.5, y + 3.5);
            cairo().line_to(cr_, x + 3.5, y - 3.5);
        }
        cairo().stroke(cr_);
        setColour(cr_, bluishGreen);
        cairo().set_line_width(cr_, 1.6);
        for (const auto& [i, k] : joins) {
            cairo().new_sub_path(cr_);
            cairo().arc(cr_, px(k), py(k), 4, 0, 2 * M_PI);
        }
        cairo().stroke(cr_);
        std::string text = std::to_string(drawnQueries_) + " queries";
        if (stride > 1) text += " (every " + std::to_string(stride) + "th of " + std::to_string(q.count) + ")";
        addLegend({Mark::QueryJoin, orange, text + ", joined to"});
        addLegend({Mark::Ring, bluishGreen, "their answers"});
        if (outOfRange > 0)
            addLegend({Mark::Ring, grey, std::to_string(outOfRange) + " answers not a point 1..n"});
    }

    void addLegend(LegendEntry entry)
    {
        legendTexts_.push_back(entry.text);
        legend_.push_back(std::move(entry));
    }

    void text(double x, double y, const std::string& s, double size, bool bold = false, double alignX = 0)
    {
        cairo().select_font_face(cr_, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                               bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
        cairo().set_font_size(cr_, size);
        cairo_text_extents_t extents;
        cairo().text_extents(cr_, s.c_str(), &extents);
        cairo().move_to(cr_, x - alignX * extents.x_advance, y);
        cairo().show_text(cr_, s.c_str());
    }

    void axes()
    {
        const double left = PageLayout::plotLeft, top = PageLayout::plotTop, side = PageLayout::plotSide;
        setColour(cr_, black);
        cairo().set_line_width(cr_, 1);
        cairo().rectangle(cr_, left, top, side, side);
        cairo().stroke(cr_);
        for (const Tick& t : axisTicks(frame_.lowX(), frame_.highX())) {
            const double x = frame_.pageX(t.value);
            cairo().move_to(cr_, x, top + side);
            cairo().line_to(cr_, x, top + side + 6);
            cairo().stroke(cr_);
            text(x, top + side + 22, t.label, 12, false, 0.5);
        }
        for (const Tick& t : axisTicks(frame_.lowY(), frame_.highY())) {
            const double y = frame_.pageY(t.value);
            cairo().move_to(cr_, left - 6, y);
            cairo().line_to(cr_, left, y);
            cairo().stroke(cr_);
            text(left - 9, y + 4, t.label, 12, false, 1);
        }
        text(left + side / 2, top + side + 45, request_.xLabel, 14, true, 0.5);
        text(left - 85, top + side / 2, request_.yLabel, 14, true, 0.5);
    }

    void titles()
    {
        setColour(cr_, black);
        text(PageLayout::plotLeft, 30, request_.title, 18, true);
        text(PageLayout::plotLeft, 55, request_.subtitle, 13);
    }

    void legend()
    {
        const double x = PageLayout::legendLeft;
        double y = PageLayout::plotTop + 10;
        setColour(cr_, black);
        text(x, y, "Legend", 14, true);
        for (const LegendEntry& entry : legend_) {
            y += 26;
            const double mx = x + 14, my = y - 4;
            cairo().new_path(cr_);
            setColour(cr_, entry.colour, entry.mark == Mark::Fill ? 0.45 : 1);
            cairo().set_line_width(cr_, entry.mark == Mark::Line ? 1.2 : 2.5);
            const double dash[] = {6, 4};
            switch (entry.mark) {
            case Mark::Line:
            case Mark::ThickLine:
            case Mark::DashedLine:
                cairo().set_dash(cr_, dash, entry.mark == Mark::DashedLine ? 2 : 0, 0);
                cairo().move_to(cr_, mx - 12, my);
                cairo().line_to(cr_, mx + 12, my);
                cairo().stroke(cr_);
                cairo().set_dash(cr_, nullptr, 0, 0);
                break;
            case Mark::Fill:
                cairo().rectangle(cr_, mx - 12, my - 7, 24, 14);
                cairo().fill(cr_);
                break;
            case Mark::Dot:
                cairo().arc(cr_, mx, my, 3, 0, 2 * M_PI);
                cairo().fill(cr_);
                break;
            case Mark::Ring:
                cairo().set_line_width(cr_, 2);
                cairo().arc(cr_, mx, my, 6, 0, 2 * M_PI);
                cairo().stroke(cr_);
                break;
            case Mark::QueryJoin:
                cairo().set_line_width(cr_, 1.2);
                cairo().move_to(cr_, mx - 16, my - 3.5);
                cairo().line_to(cr_, mx - 9, my + 3.5);
                cairo().move_to(cr_, mx - 16, my + 3.5);
                cairo().line_to(cr_, mx - 9, my - 3.5);
                cairo().move_to(cr_, mx - 12.5, my);
                cairo().line_to(cr_, mx + 12, my);
                cairo().stroke(cr_);
                break;
            }
            setColour(cr_, black);
            text(x + 34, y, entry.text, 12);
        }
    }

    cairo_t* cr_;
    const PictureRequest& request_;
    const DataFrame& frame_;
    const PointSet& points_;
    double dotRadius_ = 1, edgeWidth_ = 0.5;
    std::vector<LegendEntry> legend_;
    std::size_t drawnQueries_ = 0;
    std::size_t drawnRows_ = 0;
    double pendingLength_ = 0;  // of the segments not yet stroked
    std::vector<std::string> legendTexts_;
};

DataFrame frameFor(const PictureRequest& request)
{
    double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    const auto include = [&](double x, double y) {
        if (!std::isfinite(x) || !std::isfinite(y)) return;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    };
    for (std::size_t i = 0; i < request.points.n; ++i) include(request.points.x[i], request.points.y[i]);
    if (request.queries)
        for (std::size_t i = 0; i < request.queries->count; ++i) include(request.queries->x[i], request.queries->y[i]);
    if (minX > maxX) minX = maxX = minY = maxY = 0;
    return DataFrame(minX, maxX, minY, maxY);
}

}  // namespace

Picture renderPicture(const PictureRequest& request)
{
    Picture picture;
    const DataFrame frame = frameFor(request);
    const int scale = request.format == PictureFormat::Png ? pngScale : 1;
    picture.width = static_cast<int>(PageLayout::width) * scale;
    picture.height = static_cast<int>(PageLayout::height) * scale;
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
        request.format == PictureFormat::Svg
            ? cairo().svg_surface_create_for_stream(appendBytes, &picture.bytes, picture.width, picture.height)
            : cairo().image_surface_create(CAIRO_FORMAT_RGB24, picture.width, picture.height));
    requireGood(cairo().surface_status(surface.get()), "cannot create the picture");
    if (request.format == PictureFormat::Svg) cairo().svg_surface_set_document_unit(surface.get(), CAIRO_SVG_UNIT_PX);
    {
        std::unique_ptr<cairo_t, ContextDeleter> cr(cairo().create(surface.get()));
        cairo().scale(cr.get(), scale, scale);
        Painter painter(cr.get(), request, frame);
        painter.paint();
        picture.drawnQueries = painter.drawnQueries();
        picture.drawnRows = painter.drawnRows();
        picture.legend = painter.legendTexts();
        requireGood(cairo().status(cr.get()), "cannot draw the picture");
    }
    if (request.format == PictureFormat::Png) {
        cairo().surface_flush(surface.get());
        requireGood(cairo().surface_write_to_png_stream(surface.get(), appendBytes, &picture.bytes),
                    "cannot encode the PNG picture");
    } else {
        cairo().surface_finish(surface.get());
        requireGood(cairo().surface_status(surface.get()), "cannot finish the SVG picture");
    }
    return picture;
}

std::optional<PictureFormat> pictureFormatFor(const std::string& path)
{
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return std::nullopt;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "svg") return PictureFormat::Svg;
    if (extension == "png") return PictureFormat::Png;
    return std::nullopt;
}

}  // namespace ky::inspect

// Fontconfig, which cairo uses to find its fonts, keeps its configuration
// until the process ends and drops the last pointer to parts of it: the
// leak checker of sanitizer builds would report that as a leak of ours.
// Nor is that worth a note on standard error. (Nothing calls these in
// other builds.)
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
