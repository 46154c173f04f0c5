#include "point_location.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "barycentric.hpp"
#include "distance_order.hpp"
#include "mesh_adjacency.hpp"
#include "spatial_order.hpp"

namespace kyhost_spatial {

namespace {

// Points and the query in the data's exact frame (orientation does not
// change under exact scaling), where CGAL's static filter decides at once.
struct FrameCoordinates {
    const double* xy;
    double qx, qy;
    Point2 point(std::int32_t p) const { return {xy[2 * static_cast<std::size_t>(p)], xy[2 * static_cast<std::size_t>(p) + 1]}; }
    double separation(std::int32_t p) const
    {
        const double dx = xy[2 * static_cast<std::size_t>(p)] - qx, dy = xy[2 * static_cast<std::size_t>(p) + 1] - qy;
        return dx * dx + dy * dy;
    }
};

// Points and the query as given, for queries outside the frame: CGAL's
// filtered predicates stay exact at any magnitude.
struct GivenCoordinates {
    const double* x;
    const double* y;
    double qx, qy;
    Point2 point(std::int32_t p) const { return {x[p], y[p]}; }
    double separation(std::int32_t p) const { return std::hypot(x[p] - qx, y[p] - qy); }
};

// A level's point p as a point of the triangulation.
std::int32_t pointOf(const LocationLevel& level, std::int32_t p)
{
    return level.points.empty() ? p : level.points[p];
}

// The row of v's star whose wedge holds the direction from v to the query
// (for a hull point whose star the direction misses, a row on the hull edge
// that the query lies beyond).
template <class Coordinates>
std::int64_t starRow(const LocationLevel& level, std::int32_t v, const Coordinates& at)
{
    const std::int64_t degree = level.stars.degree(v);
    const std::int32_t* star = level.stars.triangles.data() + level.stars.start[v];
    if (degree <= 1) return degree == 1 ? star[0] : 0;
    const Point2 centre = at.point(pointOf(level, v));
    const Point2 q(at.qx, at.qy);
    if (q == centre) return star[0];
    const auto wedgeStart = [&](std::int64_t i) {
        const std::int32_t t = star[i];
        return at.point(pointOf(level, level.rows[3 * t + (cornerOf(level.rows, t, v) + 1) % 3]));
    };
    const Point2 first = wedgeStart(0);
    // A hull point's star spans at most 180 degrees, between its two hull
    // edges: a query outside either edge's line starts from the row on that
    // edge (where the walk leaves the hull at once).
    const std::int32_t firstRow = star[0], lastRow = star[degree - 1];
    if (level.across[3 * firstRow + (cornerOf(level.rows, firstRow, v) + 2) % 3] < 0) {
        if (CGAL::orientation(centre, first, q) == CGAL::LEFT_TURN) return firstRow;
        const Point2 last =
            at.point(pointOf(level, level.rows[3 * lastRow + (cornerOf(level.rows, lastRow, v) + 2) % 3]));
        if (CGAL::orientation(last, centre, q) == CGAL::LEFT_TURN) return lastRow;
    }
    // Directions measured clockwise from the first: half 0 is [0, 180)
    // degrees, half 1 is [180, 360).
    const auto half = [&](const Point2& u) {
        const CGAL::Orientation o = CGAL::orientation(centre, first, u);
        if (o != CGAL::COLLINEAR) return o == CGAL::RIGHT_TURN ? 0 : 1;
        const bool sameX = (u.x() > centre.x()) == (first.x() > centre.x()) && (u.x() < centre.x()) == (first.x() < centre.x());
        const bool sameY = (u.y() > centre.y()) == (first.y() > centre.y()) && (u.y() < centre.y()) == (first.y() < centre.y());
        return sameX && sameY ? 0 : 1;
    };
    const int queryHalf = half(q);
    // True when the query's direction comes before u's, clockwise from the first.
    const auto queryBefore = [&](const Point2& u) {
        const int h = half(u);
        if (h != queryHalf) return queryHalf < h;
        return CGAL::orientation(centre, q, u) == CGAL::RIGHT_TURN;
    };
    std::int64_t low = 0, high = degree - 1;
    while (low < high) {
        const std::int64_t middle = low + (high - low + 1) / 2;
        if (queryBefore(wedgeStart(middle))) high = middle - 1;
        else low = middle;
    }
    return star[low];
}

// Points with at least this many rows are hubs: a walk that meets one
// jumps straight to the hub's row toward the query (starRow) rather than
// crossing the thin rows around it one by one (points in convex position
// make a fan of them around one point).
constexpr std::int64_t hubDegree = 32;
constexpr int hubJumps = 8;  // per walk: each hub once, and no more than this

// Visibility walk from row t; returns the row that holds the query, or the
// hull row it leaves by (outside set).
template <class Coordinates>
std::int64_t walkTo(const LocationLevel& level, std::int64_t t, const Coordinates& at, bool& outside)
{
    const Point2 q(at.qx, at.qy);
    int came = -1;
    std::int32_t jumped[hubJumps];
    int jumps = 0;
    for (std::int64_t steps = 0; steps <= (hubJumps + 1) * (level.m + 1); ++steps) {
        for (int c = 0; c < 3 && jumps < hubJumps; ++c) {
            const std::int32_t v = level.rows[3 * t + c];
            if (level.stars.degree(v) < hubDegree || std::find(jumped, jumped + jumps, v) != jumped + jumps) continue;
            jumped[jumps++] = v;
            t = starRow(level, v, at);
            came = -1;
            break;
        }
        int exit = -1;
        for (int j = 0; j < 3 && exit < 0; ++j) {
            if (j == came) continue;
            const Point2 from = at.point(pointOf(level, level.rows[3 * t + (j + 1) % 3]));
            const Point2 to = at.point(pointOf(level, level.rows[3 * t + (j + 2) % 3]));
            if (CGAL::orientation(from, to, q) == CGAL::LEFT_TURN) exit = j;
        }
        if (exit < 0) {
            outside = false;
            return t;
        }
        const std::int32_t next = level.across[3 * t + exit];
        if (next < 0) {
            outside = true;
            return t;
        }
        came = level.across[3 * next] == t ? 0 : (level.across[3 * next + 1] == t ? 1 : 2);
        t = next;
    }
    throw std::logic_error("point location: a walk did not end (the triangulation is not a Delaunay triangulation)");
}

// A short visibility walk from row t: the row that holds the query
// strictly inside (on no edge's line), or -1 when the walk meets an edge
// line through the query, leaves the hull or takes more than `steps` steps.
// A query strictly inside a row has that row as its only answer, so this
// answer does not depend on where the walk started.
template <class Coordinates>
std::int64_t strictlyInsideNear(const LocationLevel& level, std::int64_t t, const Coordinates& at, int steps)
{
    const Point2 q(at.qx, at.qy);
    for (int step = 0; step <= steps; ++step) {
        int exit = -1;
        for (int j = 0; j < 3; ++j) {
            const CGAL::Orientation o = CGAL::orientation(at.point(level.rows[3 * t + (j + 1) % 3]),
                                                          at.point(level.rows[3 * t + (j + 2) % 3]), q);
            if (o == CGAL::COLLINEAR) return -1;
            if (o == CGAL::LEFT_TURN && exit < 0) exit = j;
        }
        if (exit < 0) return t;
        t = level.across[3 * t + exit];
        if (t < 0) return -1;
    }
    return -1;
}

// Steps a walk from the answer before may take, and the queries after which
// a batch in which fewer than half were settled so goes by the hierarchy in
// a spatial order instead (queries in no particular order).
constexpr int orderedSteps = 8;
constexpr std::int64_t orderTrial = 1024;

}  // namespace

PointLocation::PointLocation(const double* x, const double* y, std::int32_t n, const ExactFrame& frame,
                             const double* frameXY, const std::int32_t* rows, const std::int32_t* across,
                             std::int64_t m)
    : x_(x), y_(y), n_(n), frame_(frame), frameXY_(frameXY)
{
    LocationLevel base;
    base.rows = rows;
    base.across = across;
    base.m = m;
    base.stars = vertexStars(rows, across, m, n);
    levels_.push_back(std::move(base));
}

void PointLocation::addLevel(std::vector<std::int32_t> points, std::vector<std::int32_t> rows)
{
    const LocationLevel& below = levels_.back();
    LocationLevel level;
    level.finer.resize(points.size());
    if (below.points.empty()) {
        level.finer = points;
    } else {
        // Both lists ascend: the finer number of each point by one merge.
        std::size_t at = 0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            while (at < below.points.size() && below.points[at] < points[i]) ++at;
            if (at == below.points.size() || below.points[at] != points[i])
                throw std::invalid_argument("a coarser level's point is not in the level below");
            level.finer[i] = static_cast<std::int32_t>(at);
        }
    }
    level.points = std::move(points);
    level.ownRows = std::move(rows);
    level.m = static_cast<std::int64_t>(level.ownRows.size() / 3);
    level.rows = level.ownRows.data();
    const auto count = static_cast<std::int32_t>(level.points.size());
    level.ownAcross = rowNeighbours(level.rows, level.m, count);
    level.across = level.ownAcross.data();
    level.stars = vertexStars(level.rows, level.across, level.m, count);
    levels_.push_back(std::move(level));
}

template <class Coordinates>
std::int64_t PointLocation::locateOne(const Coordinates& at, double qx, double qy, double tolerance) const
{
    std::int32_t v = 0;  // a point of the coarsest level
    std::int64_t t = 0;
    bool outside = false;
    for (std::size_t l = levels_.size(); l-- > 0;) {
        const LocationLevel& level = levels_[l];
        t = walkTo(level, starRow(level, v, at), at, outside);
        if (l == 0) break;
        int nearest = 0;
        double nearestDistance = std::numeric_limits<double>::infinity();
        for (int c = 0; c < 3; ++c) {
            const double d = at.separation(pointOf(level, level.rows[3 * t + c]));
            if (d < nearestDistance) {
                nearestDistance = d;
                nearest = c;
            }
        }
        v = level.finer[level.rows[3 * t + nearest]];
    }
    return outside && !heldWithin(t, qx, qy, tolerance) ? -1 : t;
}

bool PointLocation::heldWithin(std::int64_t t, double qx, double qy, double tolerance) const
{
    if (!(tolerance > 0)) return false;
    const std::int32_t* row = levels_[0].rows + 3 * t;
    const std::array<double, 3> w = barycentricWeights(
        {x_[row[0]], y_[row[0]], x_[row[1]], y_[row[1]], x_[row[2]], y_[row[2]]}, qx, qy);
    return w[0] >= -tolerance && w[1] >= -tolerance && w[2] >= -tolerance;
}

template <class Answer>
void PointLocation::inFrameOrGiven(double px, double py, const Answer& answer) const
{
    if (frameXY_ != nullptr && frame_.holds(px, py)) {
        answer(FrameCoordinates{frameXY_, frame_.scaled(px), frame_.scaled(py)});
    } else {
        // Out of the frame the exact predicates work on the points as given.
        answer(GivenCoordinates{x_, y_, px, py});
    }
}

void PointLocation::locate(const double* qx, const double* qy, std::int64_t count, double tolerance,
                           std::int64_t* simplex) const
{
    std::fill(simplex, simplex + count, -1);
    if (levels_[0].m == 0) return;
    // Queries in the caller's order, each first walked a few steps from the
    // row of the one before (a grid, a path: nearly all settle at once);
    // the others through the hierarchy. When the order turns out to be no
    // help, the rest go by the hierarchy in a spatial order.
    std::int64_t previous = -1, tried = 0, settled = 0, q = 0;
    for (; q < count && (tried < orderTrial || 2 * settled >= tried); ++q) {
        const double px = qx[q], py = qy[q];  // read once: the caller's arrays are not locked
        if (!std::isfinite(px) || !std::isfinite(py)) continue;
        inFrameOrGiven(px, py, [&](const auto& at) {
            std::int64_t found = -1;
            if (previous >= 0) {
                ++tried;
                found = strictlyInsideNear(levels_[0], previous, at, orderedSteps);
                settled += found >= 0;
            }
            if (found < 0) found = locateOne(at, px, py, tolerance);
            simplex[q] = found;
            if (found >= 0) previous = found;
        });
    }
    std::vector<std::int64_t> finite;
    for (std::int64_t i = q; i < count; ++i)
        if (std::isfinite(qx[i]) && std::isfinite(qy[i])) finite.push_back(i);
    // Nearby queries one after another: the walks share their memory.
    for (const std::int64_t i : rankHilbertOrder(qx, qy, std::move(finite))) {
        const double px = qx[i], py = qy[i];
        if (std::isfinite(px) && std::isfinite(py))
            inFrameOrGiven(px, py, [&](const auto& at) { simplex[i] = locateOne(at, px, py, tolerance); });
    }
}

void PointLocation::locateEverywhere(const double* qx, const double* qy, std::int64_t count, double tolerance,
                                     std::int64_t* simplex) const
{
    std::fill(simplex, simplex + count, -1);
    const LocationLevel& level = levels_[0];
    std::call_once(boxesMade_, [&] {
        boxes_.resize(4 * static_cast<std::size_t>(level.m));
        for (std::int64_t t = 0; t < level.m; ++t) {
            const std::int32_t* row = level.rows + 3 * t;
            double* box = boxes_.data() + 4 * t;
            box[0] = std::min({x_[row[0]], x_[row[1]], x_[row[2]]});
            box[1] = std::max({x_[row[0]], x_[row[1]], x_[row[2]]});
            box[2] = std::min({y_[row[0]], y_[row[1]], y_[row[2]]});
            box[3] = std::max({y_[row[0]], y_[row[1]], y_[row[2]]});
        }
    });
    // Weights of at least -tolerance keep a point within 2 * tolerance
    // times the box's size of the box (and rounding far less).
    const double widen = tolerance > 0 ? 4 * tolerance + 0x1p-40 : 0.0;
    const auto holds = [&](std::int64_t t, double px, double py) {
        const double* box = boxes_.data() + 4 * t;
        const double margin = widen * std::fmax(box[1] - box[0], box[3] - box[2]);
        if (px < box[0] - margin || px > box[1] + margin || py < box[2] - margin || py > box[3] + margin) return false;
        const std::int32_t* row = level.rows + 3 * t;
        const Point2 q(px, py);
        bool inside = true;
        for (int j = 0; j < 3 && inside; ++j)
            inside = CGAL::orientation(Point2(x_[row[(j + 1) % 3]], y_[row[(j + 1) % 3]]),
                                       Point2(x_[row[(j + 2) % 3]], y_[row[(j + 2) % 3]]), q) != CGAL::LEFT_TURN;
        return inside || heldWithin(t, px, py, tolerance);
    };
    // Queries go in blocks, so that each pass over the rows serves several.
    constexpr std::int64_t block = 16;
    for (std::int64_t begin = 0; begin < count; begin += block) {
        const std::int64_t end = std::min(count, begin + block);
        std::int64_t left = 0;
        double px[block], py[block];  // read once: the caller's arrays are not locked
        bool open[block];
        for (std::int64_t q = begin; q < end; ++q) {
            px[q - begin] = qx[q];
            py[q - begin] = qy[q];
            open[q - begin] = std::isfinite(px[q - begin]) && std::isfinite(py[q - begin]);
            left += open[q - begin];
        }
        for (std::int64_t t = 0; t < level.m && left > 0; ++t)
            for (std::int64_t q = begin; q < end; ++q)
                if (open[q - begin] && holds(t, px[q - begin], py[q - begin])) {
                    simplex[q] = t;
                    open[q - begin] = false;
                    --left;
                }
    }
}

void PointLocation::weights(const std::int64_t* simplex, const double* qx, const double* qy, std::int64_t count,
                            double* out) const
{
    const std::int32_t* rows = levels_[0].rows;
    for (std::int64_t q = 0; q < count; ++q) {
        double* w = out + 3 * q;
        if (simplex[q] < 0) {
            w[0] = w[1] = w[2] = std::numeric_limits<double>::quiet_NaN();
            continue;
        }
        const std::int32_t* row = rows + 3 * simplex[q];
        const std::array<double, 3> found = barycentricWeights(
            {x_[row[0]], y_[row[0]], x_[row[1]], y_[row[1]], x_[row[2]], y_[row[2]]}, qx[q], qy[q]);
        std::copy(found.begin(), found.end(), w);
    }
}

}  // namespace kyhost_spatial
