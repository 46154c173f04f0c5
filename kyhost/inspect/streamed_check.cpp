#include "streamed_check.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "boundary_cycle.hpp"
#include "check_report.hpp"
#include "exact_geometry.hpp"
#include "open_edges.hpp"
#include "shortest_text.hpp"

namespace ky::inspect {

void StreamedFaults::add(const std::function<std::string()>& describe)
{
    if (first.size() < listedOffenders) first.push_back(describe());
    ++count;
}

bool StreamedCheck::isTriangulation() const
{
    const bool rowsFine = badIndexRows.empty() && repeatedCornerRows.empty() && misorientedRows.empty() && flatRows.empty();
    if (!hullHasArea) return rows == 0 && rowsFine && repeatedPoints.empty();
    return rowsFine && unusedPoints.empty() && repeatedEdges.empty() && crowdedEdges.empty() && boundaryFaults.empty();
}

namespace {

constexpr std::size_t rowsPerBlock = 1 << 15;
// Memory that does not grow with n: the block of rows read at once and
// what the process needs beside the check.
constexpr std::uint64_t fixedMemory = 16u << 20;

// A directed edge of a row, keyed by its undirected edge.
struct EdgeRecord {
    std::uint64_t key;       // lower point << 32 | higher point
    std::uint64_t row;       // bit 63: the row runs lower -> higher
    std::uint32_t opposite;  // the row's third corner
};
// Rows ahead of the one being checked whose corners are asked for.
constexpr std::size_t prefetchRows = 16;

std::string counted(std::uint64_t position, int base) { return std::to_string(position + static_cast<std::uint64_t>(base)); }

class Checker {
public:
    Checker(const PointSet& points, const RowSource& source, RowOrientation orientation, int base, std::uint64_t memory,
            const CheckProgressReport& progress)
        : p_(points), source_(source), memory_(memory), progress_(progress)
    {
        result_.points = points.n;
        result_.rows = source.rows();
        result_.base = base;
        result_.requested = orientation;
    }

    StreamedCheck run()
    {
        checkPoints();
        scanRows();
        if (!result_.hullHasArea) findRepeatedPoints();
        if (result_.hullHasArea) {
            for (std::uint64_t i = 0; i < p_.n; ++i)
                if (((used_[i >> 6] >> (i & 63)) & 1u) == 0) result_.unusedPoints.add([&] { return "point " + counted(i, base()); });
            used_.clear();
            used_.shrink_to_fit();
            if (open_) {
                classifyOpenEdges();
            } else {
                checkEdges();
                checkBoundary();
            }
        }
        return std::move(result_);
    }

private:
    int base() const { return result_.base; }

    void readBlock(std::uint64_t first, std::size_t count, std::vector<std::int64_t>& corners) const
    {
        source_.read(first, count, p_.n, corners.data());
        if (progress_) progress_({result_.passes + 1, first + count, result_.rows});
    }

    std::string rowText(std::uint64_t row) const { return "row " + counted(row, base()) + " " + source_.entryText(row); }

    std::string edgeText(std::uint64_t u, std::uint64_t v, std::uint64_t row, std::uint64_t other) const
    {
        return "edge " + counted(u, base()) + "-" + counted(v, base()) + " (rows " + counted(row, base()) + " and " +
               counted(other, base()) + ")";
    }

    // Finite coordinates, and whether the points span any area.
    void checkPoints()
    {
        for (std::uint64_t i = 0; i < p_.n; ++i)
            if (!std::isfinite(p_.x[i]) || !std::isfinite(p_.y[i]))
                throw std::invalid_argument("point " + counted(i, base()) + " is not finite: (" + shortestText(p_.x[i]) +
                                            ", " + shortestText(p_.y[i]) + ")");
        std::uint64_t second = 1;
        while (second < p_.n && p_.x[second] == p_.x[0] && p_.y[second] == p_.y[0]) ++second;
        for (std::uint64_t i = second + 1; i < p_.n && !result_.hullHasArea; ++i)
            result_.hullHasArea = orientation(p_, 0, second, i) != 0;
    }

    // Points that span no area admit no row, so only a repeated point can
    // make them invalid; they are sorted to find one when they fit.
    void findRepeatedPoints()
    {
        if (p_.n * sizeof(std::pair<double, double>) > memory_ - fixedMemory) return;
        std::vector<std::pair<double, double>> sorted(static_cast<std::size_t>(p_.n));
        for (std::size_t i = 0; i < sorted.size(); ++i) sorted[i] = {p_.x[i], p_.y[i]};
        std::sort(sorted.begin(), sorted.end());
        for (std::size_t i = 1; i < sorted.size(); ++i)
            if (sorted[i] == sorted[i - 1])
                result_.repeatedPoints.add([&] { return "(" + shortestText(sorted[i].first) + ", " + shortestText(sorted[i].second) + ")"; });
    }

    // One pass over TRI: each row on its own (indices, repeated corners, flat
    // rows, the way it runs), the points it uses, and its edges matched with
    // the rows on their other sides as they come. Where the rows are too
    // scattered for the waiting edges to fit, the edges are left to passes
    // by ranges of points instead.
    void scanRows()
    {
        used_.assign(static_cast<std::size_t>((p_.n + 63) / 64), 0);
        if (result_.hullHasArea) open_.emplace(spareMemory() / 2);  // the other half: the boundary
        std::vector<std::int64_t> corners(3 * rowsPerBlock);
        std::uint64_t clockwise = 0, counterClockwise = 0;
        StreamedFaults clockwiseRows, counterClockwiseRows;
        for (std::uint64_t first = 0; first < result_.rows; first += rowsPerBlock) {
            const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(rowsPerBlock, result_.rows - first));
            readBlock(first, count, corners);
            for (std::size_t i = 0; i < count; ++i) {
                // The corners are read at random: ask for a later row's early.
                if (i + prefetchRows < count) prefetchRow(&corners[3 * (i + prefetchRows)]);
                const std::int64_t* c = &corners[3 * i];
                const std::uint64_t row = first + i;
                if (c[0] < 0 || c[1] < 0 || c[2] < 0) {
                    result_.badIndexRows.add([&] { return rowText(row); });
                    continue;
                }
                for (int k = 0; k < 3; ++k) used_[static_cast<std::size_t>(c[k] >> 6)] |= std::uint64_t{1} << (c[k] & 63);
                if (c[0] == c[1] || c[1] == c[2] || c[0] == c[2]) {
                    result_.repeatedCornerRows.add([&] { return rowText(row); });
                    continue;
                }
                const int turn = orientation(p_, static_cast<std::size_t>(c[0]), static_cast<std::size_t>(c[1]),
                                             static_cast<std::size_t>(c[2]));
                if (turn == 0) {
                    result_.flatRows.add([&] { return rowText(row); });
                } else if (turn < 0) {
                    ++clockwise;
                    clockwiseRows.add([&] { return rowText(row); });
                } else {
                    ++counterClockwise;
                    counterClockwiseRows.add([&] { return rowText(row); });
                }
                if (open_) closeEdges(c, row, turn);
            }
        }
        RowOrientation way = result_.requested;
        if (way == RowOrientation::Either)
            way = counterClockwise > clockwise ? RowOrientation::CounterClockwise : RowOrientation::Clockwise;
        result_.orientation = way;
        result_.misorientedRows = way == RowOrientation::Clockwise ? counterClockwiseRows : clockwiseRows;
        clockwiseTurn_ = way == RowOrientation::Clockwise ? -1 : 1;
    }

    // The coordinates of a later row's corners and the table slots of its
    // edges, asked for before they are needed.
    void prefetchRow(const std::int64_t* c) const
    {
        if (c[0] < 0 || c[1] < 0 || c[2] < 0) return;
        for (int k = 0; k < 3; ++k) {
            const auto u = static_cast<std::uint64_t>(c[k]), v = static_cast<std::uint64_t>(c[(k + 1) % 3]);
            __builtin_prefetch(p_.x.address(static_cast<std::size_t>(u)));
            __builtin_prefetch(p_.y.address(static_cast<std::size_t>(u)));
            if (open_) open_->prefetch(std::min(u, v) << 32 | std::max(u, v));
        }
    }

    // The row's edges, each closing against the waiting edge of another row
    // (then tested for being locally Delaunay) or waiting itself. A row is
    // taken clockwise by its own turn here: where all rows run one way that
    // is the rows' way, and where they do not the rows are no triangulation
    // in any case.
    void closeEdges(const std::int64_t* c, std::uint64_t row, int turn)
    {
        const auto [from, to, opposite] = directedEdges(c, turn > 0);
        for (int k = 0; k < 3; ++k) {
            const std::uint64_t lower = std::min(from[k], to[k]), higher = std::max(from[k], to[k]);
            const auto o = static_cast<std::size_t>(opposite[k]);
            const PendingEdge edge{lower << 32 | higher, row | (from[k] == lower ? runsForward : 0), p_.x[o], p_.y[o]};
            PendingEdge partner;
            switch (open_->offer(edge, partner)) {
            case OpenEdges::Outcome::Closed:
                if (insideCircle(lower, higher, o, partner))
                    result_.nonDelaunayEdges.add([&] { return edgeText(lower, higher, partner.row & ~runsForward, row); });
                break;
            case OpenEdges::Outcome::Opened:
                break;
            case OpenEdges::Outcome::Full:
                // The passes by ranges of points test every edge afresh.
                open_.reset();
                result_.nonDelaunayEdges = {};
                return;
            }
        }
    }

    // Whether the opposite corner of the partner lies strictly inside the
    // circle through the edge and this row's opposite corner (the same
    // answer as the other way round). Exact.
    bool insideCircle(std::size_t a, std::size_t b, std::size_t c, const PendingEdge& partner) const
    {
        const int turn = orientation(p_, a, b, c);
        const int side = ky::geometry::inCircleSign(p_.x[a], p_.y[a], p_.x[b], p_.y[b], p_.x[c], p_.y[c], partner.oppositeX,
                                                    partner.oppositeY);
        return turn > 0 ? side > 0 : side < 0;
    }

    struct RowEdges {
        std::uint64_t from[3], to[3], opposite[3];
    };
    // A row's three directed edges, with the corners swapped first when the
    // row is to be read the other way round (so that rows read clockwise).
    static RowEdges directedEdges(const std::int64_t* c, bool swap)
    {
        const auto a = static_cast<std::uint64_t>(c[0]);
        const auto b = static_cast<std::uint64_t>(swap ? c[2] : c[1]);
        const auto d = static_cast<std::uint64_t>(swap ? c[1] : c[2]);
        return {{a, b, d}, {b, d, a}, {d, a, b}};
    }

    std::uint64_t spareMemory() const { return memory_ - fixedMemory - used_.size() * sizeof(std::uint64_t); }

    // The edges no later row closed: the boundary, and what is wrong. Where
    // something is, the rows' edges of those keys are gathered whole in one
    // more pass, so that an edge in three rows is named as such and not as
    // an edge of a boundary that is no cycle.
    void classifyOpenEdges()
    {
        result_.peakWaitingEdges = open_->peak();
        std::vector<PendingEdge> waiting = open_->drain();
        open_.reset();
        // No two of them run opposite ways (they would have closed), so the
        // opposite corners, which only such pairs need, are left out.
        std::vector<EdgeRecord> records;
        records.reserve(waiting.size());
        for (const PendingEdge& e : waiting) records.push_back({e.key, e.row, 0});
        waiting = {};
        matchEdges(records);
        checkBoundary();
        if (result_.repeatedEdges.empty() && result_.crowdedEdges.empty() && result_.boundaryFaults.empty()) return;
        std::vector<std::uint64_t> keys;
        for (const EdgeRecord& r : records)
            if (keys.empty() || keys.back() != r.key) keys.push_back(r.key);
        records.clear();
        records.shrink_to_fit();
        // A quarter of the memory for the keys, a quarter for their rows'
        // edges, the other half for the boundary among them.
        const std::size_t capacity = static_cast<std::size_t>(spareMemory() / 4 / sizeof(EdgeRecord));
        if (KeySet::bytesFor(keys.size()) > spareMemory() / 4 || 4 * keys.size() > capacity) return;
        const KeySet chosen(keys);
        keys = {};
        records.reserve(capacity);
        std::vector<std::int64_t> corners(3 * rowsPerBlock);
        ++result_.passes;
        for (std::uint64_t first = 0; first < result_.rows; first += rowsPerBlock) {
            const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(rowsPerBlock, result_.rows - first));
            readBlock(first, count, corners);
            for (std::size_t i = 0; i < count; ++i) {
                const std::int64_t* c = &corners[3 * i];
                if (c[0] < 0 || c[1] < 0 || c[2] < 0 || c[0] == c[1] || c[1] == c[2] || c[0] == c[2]) continue;
                bool wanted = false;
                for (int k = 0; k < 3 && !wanted; ++k) {
                    const std::uint64_t u = static_cast<std::uint64_t>(c[k]), v = static_cast<std::uint64_t>(c[(k + 1) % 3]);
                    wanted = chosen.contains(std::min(u, v) << 32 | std::max(u, v));
                }
                if (!wanted) continue;
                const int turn = orientation(p_, static_cast<std::size_t>(c[0]), static_cast<std::size_t>(c[1]),
                                             static_cast<std::size_t>(c[2]));
                const auto [from, to, opposite] = directedEdges(c, turn > 0);
                for (int k = 0; k < 3; ++k) {
                    const std::uint64_t lower = std::min(from[k], to[k]), key = lower << 32 | std::max(from[k], to[k]);
                    if (!chosen.contains(key)) continue;
                    if (records.size() == capacity) return;  // the first classification stands
                    records.push_back({key, (first + i) | (from[k] == lower ? runsForward : 0),
                                       static_cast<std::uint32_t>(opposite[k])});
                }
            }
        }
        std::sort(records.begin(), records.end(), [](const EdgeRecord& a, const EdgeRecord& b) {
            return a.key != b.key ? a.key < b.key : a.row < b.row;
        });
        result_.repeatedEdges = {};
        result_.crowdedEdges = {};
        result_.boundaryFaults = {};
        boundary_.clear();
        matchEdges(records);
        checkBoundary();
    }

    // The rows' directed edges, gathered by their lower point in ranges of
    // points that fit the memory, one pass over TRI per range.
    void checkEdges()
    {
        const std::uint64_t forRecords = (memory_ - fixedMemory) / 2;  // the other half: the boundary
        const std::size_t capacity = static_cast<std::size_t>(forRecords / sizeof(EdgeRecord));
        std::vector<EdgeRecord> records;
        records.reserve(capacity);
        std::vector<std::int64_t> corners(3 * rowsPerBlock);
        // A triangulation has about 6 directed edges per point, up to 12 keyed
        // by the lowest points; a range
        // that overflows is read again in halves.
        std::uint64_t span = std::max<std::uint64_t>(1, capacity / 12);
        for (std::uint64_t low = 0; low < p_.n;) {
            const std::uint64_t high = std::min(p_.n, low + span);
            records.clear();
            bool overflow = false;
            ++result_.passes;
            for (std::uint64_t first = 0; first < result_.rows && !overflow; first += rowsPerBlock) {
                const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(rowsPerBlock, result_.rows - first));
                readBlock(first, count, corners);
                for (std::size_t i = 0; i < count && !overflow; ++i)
                    overflow = !gather(&corners[3 * i], first + i, low, high, records, capacity);
            }
            if (overflow) {
                if (span == 1)
                    throw CheckMemoryTooSmall("the edges at point " + counted(low, base()) + " do not fit in the memory limit");
                span = std::max<std::uint64_t>(1, span / 2);
                continue;
            }
            std::sort(records.begin(), records.end(), [](const EdgeRecord& a, const EdgeRecord& b) {
                return a.key != b.key ? a.key < b.key : a.row < b.row;
            });
            matchEdges(records);
            if (records.size() < capacity / 4) span *= 2;
            low = high;
        }
    }

    // Adds the edges of one row whose lower point is in [low, high); false
    // when they do not fit.
    bool gather(const std::int64_t* c, std::uint64_t row, std::uint64_t low, std::uint64_t high,
                std::vector<EdgeRecord>& records, std::size_t capacity) const
    {
        if (c[0] < 0 || c[1] < 0 || c[2] < 0 || c[0] == c[1] || c[1] == c[2] || c[0] == c[2]) return true;
        // Counter-clockwise rows are taken as the clockwise rows they are
        // with two corners swapped, so the boundary always runs clockwise.
        const auto [from, to, opposite] = directedEdges(c, clockwiseTurn_ > 0);
        for (int k = 0; k < 3; ++k) {
            const std::uint64_t lower = std::min(from[k], to[k]);
            if (lower < low || lower >= high) continue;
            if (records.size() == capacity) return false;
            records.push_back({lower << 32 | std::max(from[k], to[k]), row | (from[k] == lower ? runsForward : 0),
                               static_cast<std::uint32_t>(opposite[k])});
        }
        return true;
    }

    void matchEdges(const std::vector<EdgeRecord>& records)
    {
        for (std::size_t i = 0; i < records.size();) {
            std::size_t j = i + 1;
            while (j < records.size() && records[j].key == records[i].key) ++j;
            const std::uint64_t lower = records[i].key >> 32, higher = records[i].key & 0xffffffffu;
            const EdgeRecord& e = records[i];
            const std::uint64_t row = e.row & ~runsForward;
            if (j - i == 1) {
                const bool forward = (e.row & runsForward) != 0;
                boundary_.push_back({forward ? lower : higher, forward ? higher : lower, row});
                if (boundary_.size() > boundaryCapacity())
                    throw CheckMemoryTooSmall("more than " + std::to_string(boundaryCapacity()) +
                                              " edges lie in one row only: they do not fit in the memory limit");
            } else if (j - i == 2) {
                const EdgeRecord& f = records[i + 1];
                const std::uint64_t other = f.row & ~runsForward;
                if ((e.row & runsForward) == (f.row & runsForward)) {
                    result_.repeatedEdges.add([&] { return edgeText(lower, higher, row, other); });
                } else if (strictlyInsideCircle(p_, lower, higher, e.opposite, f.opposite)) {
                    result_.nonDelaunayEdges.add([&] { return edgeText(lower, higher, row, other); });
                }
            } else {
                result_.crowdedEdges.add([&] {
                    return "edge " + counted(lower, base()) + "-" + counted(higher, base()) + " (" +
                           std::to_string(j - i) + " rows, the first " + counted(row, base()) + ")";
                });
            }
            i = j;
        }
    }

    std::size_t boundaryCapacity() const
    {
        return static_cast<std::size_t>((memory_ - fixedMemory) / 2 / sizeof(BoundaryEdge));
    }

    void checkBoundary()
    {
        const BoundaryVerdict verdict = checkBoundaryCycle(p_, boundary_, base());
        result_.boundaryPoints = verdict.points;
        for (const std::string& fault : verdict.faults) result_.boundaryFaults.add([&] { return fault; });
    }

    const PointSet& p_;
    const RowSource& source_;
    std::uint64_t memory_;
    const CheckProgressReport& progress_;
    StreamedCheck result_;
    std::vector<std::uint64_t> used_;
    std::vector<BoundaryEdge> boundary_;
    std::optional<OpenEdges> open_;  // while the rows' edges are matched as they come
    int clockwiseTurn_ = -1;
};

void line(std::ostream& out, const StreamedFaults& faults, const std::string& what, const std::string& passed)
{
    if (faults.empty()) {
        out << "ok    " << passed << '\n';
        return;
    }
    out << "FAIL  " << what << ": " << faults.count;
    for (std::size_t i = 0; i < faults.first.size(); ++i) out << (i == 0 ? ": " : ", ") << faults.first[i];
    if (faults.count > faults.first.size()) out << ", ...";
    out << '\n';
}

}  // namespace

std::uint64_t leastStreamedCheckMemory(std::uint64_t n)
{
    // The used-point bits, and room for the edges of a few thousand points
    // and a boundary of as many edges.
    return fixedMemory + (n + 63) / 64 * 8 + (std::uint64_t{1} << 20);
}

StreamedCheck checkStreamed(const PointSet& points, const RowSource& rows, RowOrientation orientation, int base,
                            std::uint64_t memoryBytes, const CheckProgressReport& progress)
{
    if (points.n > std::numeric_limits<std::uint32_t>::max())
        throw CheckMemoryTooSmall("the check takes at most 4294967295 points, not " + std::to_string(points.n));
    const std::uint64_t least = leastStreamedCheckMemory(points.n);
    if (memoryBytes < least)
        throw CheckMemoryTooSmall("a check of " + std::to_string(points.n) + " points needs a memory limit of at least " +
                                  std::to_string((least + (1u << 20) - 1) >> 20) + " MiB, not " +
                                  std::to_string(memoryBytes >> 20) + " MiB");
    return Checker(points, rows, orientation, base, memoryBytes, progress).run();
}

std::string streamedVerdictLine(const StreamedCheck& check)
{
    const std::string points = std::to_string(check.points) + " points";
    if (check.isDelaunay()) {
        if (!check.hullHasArea) return "valid: no triangles, as the " + points + " span no area";
        return "valid: a Delaunay triangulation of the " + points + " (" + std::to_string(check.rows) + " rows)";
    }
    if (check.isTriangulation())
        return "invalid: a triangulation of the " + points + ", but not Delaunay (" +
               std::to_string(check.nonDelaunayEdges.count) + (check.nonDelaunayEdges.count == 1 ? " edge" : " edges") +
               " not locally Delaunay)";
    return "invalid: not a triangulation of the " + points + " (see the FAIL lines)";
}

void writeStreamedReport(std::ostream& out, const StreamedCheck& check)
{
    out << "points " << check.points << ", rows " << check.rows;
    if (check.hullHasArea && check.boundaryFaults.empty())
        out << ", boundary of h = " << check.boundaryPoints << " points: a triangulation has 2n - 2 - h = "
            << 2 * check.points - 2 - check.boundaryPoints << " rows";
    else if (!check.hullHasArea)
        out << ": fewer than three distinct points, or all on one line, so no triangle (0 rows is the answer)";
    out << " (TRI read in " << check.passes + 1 << (check.passes == 0 ? " pass" : " passes");
    if (check.peakWaitingEdges > 0) out << ", at most " << check.peakWaitingEdges << " edges waiting for their second row";
    out << ")\n";
    const std::string range = counted(0, check.base) + " to " + counted(check.points - 1, check.base);
    line(out, check.badIndexRows, "rows with an index that is not a whole number from " + range,
         "every index is a whole number from " + range);
    line(out, check.repeatedCornerRows, "rows naming one point twice", "no row names a point twice");
    const std::string way = orientationText(check.orientation);
    const std::string otherWay =
        orientationText(check.orientation == RowOrientation::Clockwise ? RowOrientation::CounterClockwise : RowOrientation::Clockwise);
    if (check.requested != RowOrientation::Either)
        line(out, check.misorientedRows, "rows " + otherWay, "no row " + otherWay);
    else
        line(out, check.misorientedRows, "rows " + otherWay + ", against the " + way + " majority",
             "no row " + otherWay + ": the rows run " + way + " (either way is accepted)");
    line(out, check.flatRows, "rows with their corners on one line", "no row with its corners on one line");
    if (!check.hullHasArea) line(out, check.repeatedPoints, "points at one place with another", "no repeated point");
    if (check.hullHasArea) {
        line(out, check.unusedPoints, "points in no row", "every point is in a row");
        line(out, check.repeatedEdges, "directed edges in two rows", "no directed edge in two rows");
        line(out, check.crowdedEdges, "edges in more than two rows", "no edge in more than two rows");
        line(out, check.boundaryFaults, "the edges in one row only do not bound the hull",
             "the edges in one row only run once around a convex boundary: the rows tile the hull");
        line(out, check.nonDelaunayEdges, "inner edges not locally Delaunay", "every inner edge is locally Delaunay");
    }
    out << streamedVerdictLine(check) << '\n';
}

}  // namespace ky::inspect
