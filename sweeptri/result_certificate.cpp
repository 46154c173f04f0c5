#include "result_certificate.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "beach_line.hpp"
#include "call_state.hpp"
#include "exact_predicates.hpp"

namespace sweeptri {

SWEEPTRI_CALL_STATE bool certifying = false;

namespace {

// The row written last, with its corners' coordinates copied: setEdgeEnd
// may hand a corner back to the Site pool while the row's ends are set.
struct CurrentRow {
    const Site* site[3];
    double x[3], y[3];
    std::int32_t row;
    unsigned sides;  // bit k: the side opposite corner k is accounted for
};

SWEEPTRI_CALL_STATE CurrentRow current;
SWEEPTRI_CALL_STATE bool anyRow = false;
SWEEPTRI_CALL_STATE bool failed = false;
SWEEPTRI_CALL_STATE std::int64_t matchedEdges = 0;
SWEEPTRI_CALL_STATE std::int64_t rowsAllowed = 0;
SWEEPTRI_CALL_STATE double areaAllowed = 0;
SWEEPTRI_CALL_STATE double rowsArea = 0;  // at most the rows' exact areas summed
SWEEPTRI_CALL_STATE double rowsTop = 0;   // the highest corner of any row so far
SWEEPTRI_CALL_STATE std::vector<SuspectSide> notDelaunay;
// Hulls with more points than this are matched through a table of the
// sites, not by sorting.
constexpr std::int64_t longHull = 4096;

std::uint64_t directedSide(std::int32_t from, std::int32_t to)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(from)) << 32) | static_cast<std::uint32_t>(to);
}

int cornerOf(const Site* s)
{
    for (int k = 0; k < 3; ++k)
        if (current.site[k] == s) return k;
    return -1;
}

}  // namespace

void beginCertificate(std::int64_t rowLimit, double areaLimit)
{
    rowsAllowed = rowLimit;
    areaAllowed = areaLimit;
    rowsArea = 0;
    rowsTop = -INFINITY;
    anyRow = false;
    failed = false;
    matchedEdges = 0;
    notDelaunay.clear();
    current = CurrentRow{};
}

void certifyEmittedRow(const Site* left, const Site* right, const Site* middle)
{
    if (triangleCount > rowsAllowed) throw SweepAbandoned{};
    // Rows inside the hull that cover more than its area overlap. The sum
    // is rounded down by more than its own rounding (below 2^-22 of it for
    // fewer than 2^30 rows).
    rowsArea += triangleAreaBounds(left->x, left->y, right->x, right->y, middle->x, middle->y).lower;
    if (rowsArea * (1 - 0x1p-20) > areaAllowed) throw SweepAbandoned{};
    // The rows so far lie below their highest corner, so without overlap
    // they cover at most the sites' bounding box below it. The sweep writes
    // rows as it rises, so this catches overlapping rows near where they
    // are written rather than only once they outweigh the whole hull. (The
    // box's area is rounded up by far more than its two roundings.)
    rowsTop = std::max({rowsTop, left->y, right->y, middle->y});
    if (rowsArea * (1 - 0x1p-20) > (maxX - minX) * (rowsTop - minY) * (1 + 0x1p-20)) throw SweepAbandoned{};
    if (failed) return;
    if (anyRow && current.sides != 7u) {
        failed = true;
        return;
    }
    anyRow = true;
    current.row = triangleCount - 1;
    current.sides = 0;
    const Site* corners[3] = {left, right, middle};
    for (int k = 0; k < 3; ++k) {
        current.site[k] = corners[k];
        current.x[k] = corners[k]->x;
        current.y[k] = corners[k]->y;
    }
    if (left == right || right == middle || middle == left ||
        orientationSign(current.x[0], current.y[0], current.x[1], current.y[1], current.x[2], current.y[2]) >= 0)
        throw SweepAbandoned{};
}

void certifyEdgeEnd(Edge* e, bool endWasSet)
{
    if (failed) return;
    const int i0 = cornerOf(e->site[0]);
    const int i1 = cornerOf(e->site[1]);
    if (endWasSet || !anyRow || i0 < 0 || i1 < 0 || i0 == i1) {
        failed = true;
        return;
    }
    const int k = 3 - i0 - i1;  // the corner opposite this side
    if ((current.sides & (1u << k)) != 0) {
        failed = true;
        return;
    }
    current.sides |= 1u << k;
    const bool forward = i1 == (i0 + 1) % 3;  // the row runs site[0] -> site[1]
    if (e->firstRow < 0) {
        e->firstRow = current.row;
        e->firstForward = forward ? 1 : 0;
        e->oppositeX = current.x[k];
        e->oppositeY = current.y[k];
        return;
    }
    const Site* a = e->site[0];
    const Site* b = e->site[1];
    if (e->firstRow == current.row) {
        failed = true;
        return;
    }
    // Two rows on the same bank of one side overlap.
    if ((e->firstForward != 0) == forward) throw SweepAbandoned{};
    // A side that fails the in-circle test still pairs its two rows: the
    // rows may yet form a triangulation, which flips then make Delaunay.
    if (strictlyInCircle(a->x, a->y, b->x, b->y, e->oppositeX, e->oppositeY, current.x[k], current.y[k],
                         e->firstForward != 0))
        notDelaunay.push_back(SuspectSide{current.row, a->number, b->number});
    ++matchedEdges;
}

bool certificateHolds(const HullCycle& hull, std::int32_t rowCount)
{
    return certificateVerdict(hull, rowCount) == Verdict::Delaunay;
}

const std::vector<SuspectSide>& sidesNotDelaunay() { return notDelaunay; }

const std::vector<SuspectSide>* unvouchedSides()
{
    if (failed || (anyRow && current.sides != 7u)) return nullptr;
    static SWEEPTRI_CALL_STATE std::vector<SuspectSide> sides;
    sides = notDelaunay;
    for (const HalfEdge* he = leftSentinel->right; he != rightSentinel && he != nullptr; he = he->right) {
        const Edge* e = he->edge;
        if (e == nullptr || e == removedMarker) return nullptr;
        if (hasEnd(e, 0) != hasEnd(e, 1)) sides.push_back(SuspectSide{e->firstRow, e->site[0]->number, e->site[1]->number});
    }
    return &sides;
}

bool sidesLeftOpen(std::int32_t rowCount, std::vector<std::uint64_t>& sides)
{
    sides.clear();
    if (failed || (anyRow && current.sides != 7u)) return false;
    for (const HalfEdge* he = leftSentinel->right; he != rightSentinel && he != nullptr; he = he->right) {
        const Edge* e = he->edge;
        if (e == nullptr || e == removedMarker) return false;
        if (hasEnd(e, 0) == hasEnd(e, 1)) continue;
        const std::int32_t p = e->site[0]->number, q = e->site[1]->number;
        sides.push_back(e->firstForward != 0 ? directedSide(p, q) : directedSide(q, p));
    }
    return 2 * matchedEdges + static_cast<std::int64_t>(sides.size()) == 3 * static_cast<std::int64_t>(rowCount);
}

Verdict certificateVerdict(const HullCycle& hull, std::int32_t rowCount)
{
    const Verdict proven = notDelaunay.empty() ? Verdict::Delaunay : Verdict::Triangulation;
    if (failed || (anyRow && current.sides != 7u)) return Verdict::Unproven;
    if (!hull.hasArea()) return rowCount == 0 ? proven : Verdict::Unproven;
    const auto h = static_cast<std::int64_t>(hull.points.size());
    if (rowCount != 2 * static_cast<std::int64_t>(siteCount) - 2 - h) return Verdict::Unproven;

    // The edges with one end left: each still has one half-edge in the beach
    // line. Their sides, run as their rows run them.
    std::vector<std::uint64_t> unmatched;
    for (const HalfEdge* he = leftSentinel->right; he != rightSentinel && he != nullptr; he = he->right) {
        const Edge* e = he->edge;
        if (e == nullptr || e == removedMarker) return Verdict::Unproven;
        if (hasEnd(e, 0) == hasEnd(e, 1)) continue;
        if (static_cast<std::int64_t>(unmatched.size()) == h) return Verdict::Unproven;
        const std::int32_t p = e->site[0]->number, q = e->site[1]->number;
        unmatched.push_back(e->firstForward != 0 ? directedSide(p, q) : directedSide(q, p));
    }
    if (2 * matchedEdges + static_cast<std::int64_t>(unmatched.size()) != 3 * static_cast<std::int64_t>(rowCount))
        return Verdict::Unproven;

    // The boundary runs counter-clockwise; the clockwise row inside runs
    // each boundary edge the other way, from each hull point to the one
    // before it.
    if (static_cast<std::int64_t>(unmatched.size()) != h) return Verdict::Unproven;
    if (h > longHull) {
        // Each hull point's predecessor instead of two sorts of h sides
        // (every point of a circle is on its hull). Each side uses up its
        // edge, so h sides that all fit are the h edges.
        std::vector<std::int32_t> before(static_cast<std::size_t>(siteCount), -1);
        for (std::size_t i = 0; i < hull.points.size(); ++i)
            before[static_cast<std::size_t>(hull.points[(i + 1) % hull.points.size()])] = hull.points[i];
        for (const std::uint64_t side : unmatched) {
            const auto from = static_cast<std::int32_t>(side >> 32), to = static_cast<std::int32_t>(side & 0xffffffffu);
            if (from < 0 || from >= siteCount || before[static_cast<std::size_t>(from)] != to) return Verdict::Unproven;
            before[static_cast<std::size_t>(from)] = -1;
        }
        return proven;
    }
    std::vector<std::uint64_t> boundary;
    boundary.reserve(static_cast<std::size_t>(h));
    for (std::size_t i = 0; i < hull.points.size(); ++i)
        boundary.push_back(directedSide(hull.points[(i + 1) % hull.points.size()], hull.points[i]));
    std::sort(boundary.begin(), boundary.end());
    std::sort(unmatched.begin(), unmatched.end());
    return unmatched == boundary ? proven : Verdict::Unproven;
}

}  // namespace sweeptri
