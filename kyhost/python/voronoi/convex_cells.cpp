#include "convex_cells.hpp"

#include <gmpxx.h>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <thread>

#include "geometry/exact_rounding.hpp"

namespace kyhost_voronoi {

using ky::geometry::roundRational;

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;

struct Corner {
    mpq_class x, y;
};

struct Polygon {
    std::vector<double> x, y;  // the clip, without repeated or collinear corners
};

Polygon convexClip(const double* cx, const double* cy, std::int64_t count)
{
    Polygon raw;
    for (std::int64_t i = 0; i < count; ++i) {
        if (!std::isfinite(cx[i]) || !std::isfinite(cy[i])) throw std::invalid_argument("the clip polygon's corners must be finite");
        if (!raw.x.empty() && raw.x.back() == cx[i] && raw.y.back() == cy[i]) continue;
        raw.x.push_back(cx[i]);
        raw.y.push_back(cy[i]);
    }
    while (raw.x.size() > 1 && raw.x.front() == raw.x.back() && raw.y.front() == raw.y.back()) {
        raw.x.pop_back();
        raw.y.pop_back();
    }
    const std::size_t k = raw.x.size();
    Polygon clip;
    int turns = 0;
    for (std::size_t i = 0; i < k; ++i) {
        const std::size_t before = (i + k - 1) % k, after = (i + 1) % k;
        const auto turn = CGAL::orientation(Kernel::Point_2(raw.x[before], raw.y[before]),
                                            Kernel::Point_2(raw.x[i], raw.y[i]),
                                            Kernel::Point_2(raw.x[after], raw.y[after]));
        if (turn == CGAL::RIGHT_TURN) throw std::invalid_argument("the clip polygon is not convex and counter-clockwise");
        if (turn == CGAL::COLLINEAR) continue;
        ++turns;
        clip.x.push_back(raw.x[i]);
        clip.y.push_back(raw.y[i]);
    }
    if (turns < 3) throw std::invalid_argument("the clip polygon has no area");
    // Left turns only, yet it could wind around more than once: every fan
    // triangle from the first corner must turn left too.
    for (std::size_t i = 1; i + 1 < clip.x.size(); ++i)
        if (CGAL::orientation(Kernel::Point_2(clip.x[0], clip.y[0]), Kernel::Point_2(clip.x[i], clip.y[i]),
                              Kernel::Point_2(clip.x[i + 1], clip.y[i + 1])) != CGAL::LEFT_TURN)
            throw std::invalid_argument("the clip polygon is not convex and counter-clockwise");
    return clip;
}

// True when the rounded vertex (vx, vy), and so the exact one it was rounded
// from, lies strictly left of every clip edge: the computed cross product
// exceeds a bound on its error (with the vertex off by half an ulp) many
// times over.
bool surelyInside(const Polygon& clip, double vx, double vy)
{
    if (!std::isfinite(vx) || !std::isfinite(vy)) return false;
    const std::size_t k = clip.x.size();
    for (std::size_t i = 0; i < k; ++i) {
        const std::size_t j = (i + 1) % k;
        const double dx = clip.x[j] - clip.x[i], dy = clip.y[j] - clip.y[i];
        const double wx = vx - clip.x[i], wy = vy - clip.y[i];
        const double scale = (std::fabs(dx) + std::fabs(dy)) *
                             (std::fabs(vx) + std::fabs(vy) + std::fabs(clip.x[i]) + std::fabs(clip.y[i]));
        if (!(scale > 1e-250) || !std::isfinite(scale)) return false;
        if (!(dx * wy - dy * wx > 1e-14 * scale)) return false;
    }
    return true;
}

// True when every vertex of the region, rounded and so exact, lies strictly
// right of one clip edge: the (convex) cell misses the clip.
bool surelyOutside(const Polygon& clip, const std::int32_t* region, std::int64_t count, const double* vertices)
{
    const std::size_t k = clip.x.size();
    for (std::size_t i = 0; i < k; ++i) {
        const std::size_t j = (i + 1) % k;
        const double dx = clip.x[j] - clip.x[i], dy = clip.y[j] - clip.y[i];
        bool all = true;
        for (std::int64_t r = 0; r < count && all; ++r) {
            const double vx = vertices[2 * region[r]], vy = vertices[2 * region[r] + 1];
            if (!std::isfinite(vx) || !std::isfinite(vy)) return false;
            const double scale = (std::fabs(dx) + std::fabs(dy)) *
                                 (std::fabs(vx) + std::fabs(vy) + std::fabs(clip.x[i]) + std::fabs(clip.y[i]));
            all = scale > 1e-250 && std::isfinite(scale) &&
                  dx * (vy - clip.y[i]) - dy * (vx - clip.x[i]) < -1e-14 * scale;
        }
        if (all) return true;
    }
    return false;
}

// Cuts the polygon to a * X + b * Y <= c (Sutherland-Hodgman, exact).
void cut(std::vector<Corner>& polygon, const mpq_class& a, const mpq_class& b, const mpq_class& c,
         std::vector<Corner>& out, std::vector<int>& side)
{
    const std::size_t k = polygon.size();
    side.resize(k);
    bool anyOut = false;
    for (std::size_t i = 0; i < k; ++i) {
        side[i] = sgn(mpq_class(a * polygon[i].x + b * polygon[i].y - c));
        anyOut = anyOut || side[i] > 0;
    }
    if (!anyOut) return;
    out.clear();
    for (std::size_t i = 0; i < k; ++i) {
        const std::size_t j = (i + 1) % k;
        if (side[i] <= 0) out.push_back(polygon[i]);
        if ((side[i] < 0 && side[j] > 0) || (side[i] > 0 && side[j] < 0)) {
            const Corner& p = polygon[i];
            const Corner& q = polygon[j];
            const mpq_class sp = a * p.x + b * p.y - c, sq = a * q.x + b * q.y - c;
            const mpq_class t = sp / (sp - sq);
            out.push_back({p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)});
        }
    }
    polygon.swap(out);
}

bool positiveArea(const std::vector<Corner>& polygon)
{
    if (polygon.size() < 3) return false;
    mpq_class twice = 0;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const Corner& p = polygon[i];
        const Corner& q = polygon[(i + 1) % polygon.size()];
        twice += (p.x - polygon[0].x) * (q.y - polygon[0].y) - (p.y - polygon[0].y) * (q.x - polygon[0].x);
    }
    return sgn(twice) > 0;
}

struct Part {
    std::vector<std::int64_t> count;
    std::vector<double> xy, area;
};

// Appends the ring without consecutive repeats (rounding may join corners),
// or nothing when fewer than three corners remain; returns its area.
double appendRing(std::vector<double>& ring, double px, double py, Part& part)
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < ring.size() / 2; ++i) {
        if (kept > 0 && ring[2 * kept - 2] == ring[2 * i] && ring[2 * kept - 1] == ring[2 * i + 1]) continue;
        ring[2 * kept] = ring[2 * i];
        ring[2 * kept + 1] = ring[2 * i + 1];
        ++kept;
    }
    while (kept > 1 && ring[0] == ring[2 * kept - 2] && ring[1] == ring[2 * kept - 1]) --kept;
    if (kept < 3) return 0.0;
    double twice = 0.0;
    for (std::size_t i = 0; i < kept; ++i) {
        const std::size_t j = (i + 1) % kept;
        twice += (ring[2 * i] - px) * (ring[2 * j + 1] - py) - (ring[2 * i + 1] - py) * (ring[2 * j] - px);
    }
    part.xy.insert(part.xy.end(), ring.begin(), ring.begin() + static_cast<std::ptrdiff_t>(2 * kept));
    part.count.back() = static_cast<std::int64_t>(kept);
    return 0.5 * twice;
}

void clipRange(const CellInputs& in, const Polygon& clip, std::int32_t begin, std::int32_t end, Part& part)
{
    std::vector<Corner> polygon, spare;
    std::vector<int> side;
    std::vector<double> ring;
    for (std::int32_t p = begin; p < end; ++p) {
        part.count.push_back(0);
        part.area.push_back(0.0);
        if (in.active != nullptr && in.active[p] == 0) continue;
        ring.clear();
        bool inside = false;
        if (in.regionStart != nullptr) {
            const std::int64_t first = in.regionStart[p], last = in.regionStart[p + 1];
            const bool bounded = last - first >= 3 && in.regionVertices[first] >= 0;
            if (bounded && surelyOutside(clip, in.regionVertices + first, last - first, in.vertices)) continue;
            inside = bounded;
            for (std::int64_t i = first; inside && i < last; ++i) {
                const std::int32_t v = in.regionVertices[i];
                inside = v >= 0 && surelyInside(clip, in.vertices[2 * v], in.vertices[2 * v + 1]);
                if (inside) {
                    ring.push_back(in.vertices[2 * v]);
                    ring.push_back(in.vertices[2 * v + 1]);
                }
            }
        }
        if (!inside) {
            ring.clear();
            polygon.clear();
            for (std::size_t i = 0; i < clip.x.size(); ++i) polygon.push_back({clip.x[i], clip.y[i]});
            const mpq_class px = in.x[p], py = in.y[p];
            for (std::int64_t i = in.neighbourStart[p]; i < in.neighbourStart[p + 1] && !polygon.empty(); ++i) {
                const std::int32_t q = in.neighbourPoints[i];
                if (q == p) continue;
                const mpq_class qx = in.x[q], qy = in.y[q];
                // Closer to p than to q: 2 (q - p) . X <= |q|^2 - |p|^2.
                cut(polygon, 2 * (qx - px), 2 * (qy - py), qx * qx + qy * qy - px * px - py * py, spare, side);
            }
            if (!positiveArea(polygon)) continue;
            for (const Corner& c : polygon) {
                ring.push_back(roundRational(c.x));
                ring.push_back(roundRational(c.y));
            }
        }
        part.area.back() = appendRing(ring, in.x[p], in.y[p], part);
    }
}

}  // namespace

ClippedCells clipCellsConvex(const CellInputs& in, const double* clipX, const double* clipY, std::int64_t clipCount,
                             int threads)
{
    const Polygon clip = convexClip(clipX, clipY, clipCount);
    const std::int32_t n = in.n;
    const int parts = std::max(1, std::min(threads, n / 2048 + 1));
    std::vector<Part> results(static_cast<std::size_t>(parts));
    std::vector<std::thread> helpers;
    for (int i = 1; i < parts; ++i)
        helpers.emplace_back(clipRange, std::cref(in), std::cref(clip), static_cast<std::int32_t>(std::int64_t(n) * i / parts),
                             static_cast<std::int32_t>(std::int64_t(n) * (i + 1) / parts), std::ref(results[i]));
    clipRange(in, clip, 0, static_cast<std::int32_t>(n / parts), results[0]);
    for (auto& helper : helpers) helper.join();
    ClippedCells cells;
    cells.start.push_back(0);
    for (const Part& part : results) {
        for (std::int64_t c : part.count) cells.start.push_back(cells.start.back() + c);
        cells.xy.insert(cells.xy.end(), part.xy.begin(), part.xy.end());
        cells.area.insert(cells.area.end(), part.area.begin(), part.area.end());
    }
    return cells;
}

}  // namespace kyhost_voronoi
