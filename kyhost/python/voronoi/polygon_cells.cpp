#include "polygon_cells.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>
#include <utility>

#include "polygon_triangles.hpp"

namespace kyhost_voronoi {

namespace {

using Corner = std::pair<double, double>;
using Ring = std::vector<Corner>;

double twiceArea(const Ring& ring)
{
    double twice = 0.0;
    const Corner origin = ring[0];
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Corner& a = ring[i];
        const Corner& b = ring[(i + 1) % ring.size()];
        twice += (a.first - origin.first) * (b.second - origin.second) - (a.second - origin.second) * (b.first - origin.first);
    }
    return twice;
}

bool inside(const Ring& ring, Corner p)
{
    bool in = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const Corner& a = ring[i];
        const Corner& b = ring[j];
        if ((a.second > p.second) != (b.second > p.second) &&
            p.first < (b.first - a.first) * (p.second - a.second) / (b.second - a.second) + a.first)
            in = !in;
    }
    return in;
}

// The pieces' edges without those two pieces share, linked into rings. At a
// corner left with several outgoing edges the walk takes the one turning
// furthest right, which keeps rings that touch at a corner apart.
std::vector<Ring> joinPieces(const std::vector<Ring>& pieces)
{
    std::map<std::pair<Corner, Corner>, int> edges;
    for (const Ring& piece : pieces)
        for (std::size_t i = 0; i < piece.size(); ++i) {
            const Corner a = piece[i], b = piece[(i + 1) % piece.size()];
            const auto reverse = edges.find({b, a});
            if (reverse != edges.end()) {
                if (--reverse->second == 0) edges.erase(reverse);
            } else {
                ++edges[{a, b}];
            }
        }
    std::multimap<Corner, Corner> outgoing;
    for (const auto& [edge, count] : edges)
        for (int k = 0; k < count; ++k) outgoing.emplace(edge.first, edge.second);
    std::vector<Ring> rings;
    while (!outgoing.empty()) {
        auto first = outgoing.begin();
        Ring ring{first->first};
        Corner previous = first->first, current = first->second;
        outgoing.erase(first);
        for (std::size_t guard = 0; current != ring[0]; ++guard) {
            if (guard > edges.size() + 1) throw std::logic_error("the pieces of a cell do not close");
            ring.push_back(current);
            auto [begin, end] = outgoing.equal_range(current);
            if (begin == end) throw std::logic_error("the pieces of a cell do not close");
            auto best = begin;
            if (std::next(begin) != end) {
                const double inAngle = std::atan2(current.second - previous.second, current.first - previous.first);
                double bestTurn = std::numeric_limits<double>::infinity();
                for (auto it = begin; it != end; ++it) {
                    double turn = std::atan2(it->second.second - current.second, it->second.first - current.first) - inAngle;
                    while (turn <= -M_PI) turn += 2 * M_PI;
                    while (turn > M_PI) turn -= 2 * M_PI;
                    if (turn < bestTurn) {
                        bestTurn = turn;
                        best = it;
                    }
                }
            }
            previous = current;
            current = best->second;
            outgoing.erase(best);
        }
        // Corners where the ring goes straight on (the joins' seams) stay:
        // a neighbouring cell has them as corners too.
        rings.push_back(std::move(ring));
    }
    return rings;
}

}  // namespace

PolygonCells asPolygonCells(const ClippedCells& cells)
{
    PolygonCells out;
    const std::size_t n = cells.start.size() - 1;
    out.cellStart.push_back(0);
    out.polygonStart.push_back(0);
    out.ringStart.push_back(0);
    for (std::size_t p = 0; p < n; ++p) {
        if (cells.start[p + 1] > cells.start[p]) {
            out.ringStart.push_back(cells.start[p + 1]);
            out.polygonStart.push_back(static_cast<std::int64_t>(out.ringStart.size() - 1));
        }
        out.cellStart.push_back(static_cast<std::int64_t>(out.polygonStart.size() - 1));
    }
    out.xy = cells.xy;
    out.area = cells.area;
    return out;
}

PolygonCells clipCellsToPolygon(CellInputs in, const double* x, const double* y, const std::int64_t* ringStart,
                                std::int64_t rings, int threads)
{
    const std::vector<std::int64_t> triangles = polygonTriangles(x, y, ringStart, rings);
    const std::int32_t n = in.n;
    // The cells in the polygon's bounding box, for each cell's extent.
    double low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
    for (std::int64_t i = 0; i < ringStart[rings]; ++i) {
        low[0] = std::min(low[0], x[i]);
        low[1] = std::min(low[1], y[i]);
        high[0] = std::max(high[0], x[i]);
        high[1] = std::max(high[1], y[i]);
    }
    const double boxX[4] = {low[0], high[0], high[0], low[0]}, boxY[4] = {low[1], low[1], high[1], high[1]};
    const ClippedCells boxed = clipCellsConvex(in, boxX, boxY, 4, threads);
    std::vector<double> extent(4 * static_cast<std::size_t>(n));
    for (std::int32_t p = 0; p < n; ++p) {
        double* e = &extent[4 * static_cast<std::size_t>(p)];
        e[0] = e[1] = INFINITY;
        e[2] = e[3] = -INFINITY;
        for (std::int64_t k = boxed.start[p]; k < boxed.start[p + 1]; ++k) {
            e[0] = std::min(e[0], boxed.xy[2 * k]);
            e[1] = std::min(e[1], boxed.xy[2 * k + 1]);
            e[2] = std::max(e[2], boxed.xy[2 * k]);
            e[3] = std::max(e[3], boxed.xy[2 * k + 1]);
        }
    }
    std::vector<std::vector<Ring>> pieces(static_cast<std::size_t>(n));
    std::vector<double> area(static_cast<std::size_t>(n), 0.0);
    std::vector<std::uint8_t> active(static_cast<std::size_t>(n));
    for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
        double tx[3], ty[3];
        for (int k = 0; k < 3; ++k) {
            tx[k] = x[triangles[t + k]];
            ty[k] = y[triangles[t + k]];
        }
        const double tl[2] = {std::min({tx[0], tx[1], tx[2]}), std::min({ty[0], ty[1], ty[2]})};
        const double th[2] = {std::max({tx[0], tx[1], tx[2]}), std::max({ty[0], ty[1], ty[2]})};
        bool any = false;
        for (std::int32_t p = 0; p < n; ++p) {
            const double* e = &extent[4 * static_cast<std::size_t>(p)];
            active[p] = e[0] <= th[0] && e[2] >= tl[0] && e[1] <= th[1] && e[3] >= tl[1];
            any = any || active[p];
        }
        if (!any) continue;
        in.active = active.data();
        const ClippedCells part = clipCellsConvex(in, tx, ty, 3, threads);
        for (std::int32_t p = 0; p < n; ++p) {
            if (part.start[p + 1] == part.start[p]) continue;
            Ring ring;
            for (std::int64_t k = part.start[p]; k < part.start[p + 1]; ++k) ring.emplace_back(part.xy[2 * k], part.xy[2 * k + 1]);
            pieces[p].push_back(std::move(ring));
            area[p] += part.area[p];
        }
    }
    PolygonCells out;
    out.cellStart.push_back(0);
    out.polygonStart.push_back(0);
    out.ringStart.push_back(0);
    out.area = area;
    for (std::int32_t p = 0; p < n; ++p) {
        std::vector<Ring> joined = pieces[p].size() == 1 ? pieces[p] : joinPieces(pieces[p]);
        std::vector<Ring> exteriors, holes;
        for (Ring& ring : joined) (twiceArea(ring) > 0 ? exteriors : holes).push_back(std::move(ring));
        std::vector<std::vector<const Ring*>> owned(exteriors.size());
        for (const Ring& hole : holes)
            for (std::size_t e = 0; e < exteriors.size(); ++e)
                if (inside(exteriors[e], hole[0]) || e + 1 == exteriors.size()) {
                    owned[e].push_back(&hole);
                    break;
                }
        for (std::size_t e = 0; e < exteriors.size(); ++e) {
            const auto append = [&](const Ring& ring) {
                for (const Corner& c : ring) {
                    out.xy.push_back(c.first);
                    out.xy.push_back(c.second);
                }
                out.ringStart.push_back(static_cast<std::int64_t>(out.xy.size() / 2));
            };
            append(exteriors[e]);
            for (const Ring* hole : owned[e]) append(*hole);
            out.polygonStart.push_back(static_cast<std::int64_t>(out.ringStart.size() - 1));
        }
        out.cellStart.push_back(static_cast<std::int64_t>(out.polygonStart.size() - 1));
    }
    return out;
}

}  // namespace kyhost_voronoi
