#include "row_table.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "geometry/exact_predicates.hpp"
#include "curve_order.hpp"
#include "ky.h"
#include "working_memory.hpp"

namespace trinterp {

using ky::geometry::orientationSign;

namespace {

template <typename T>
T* takeZeroed(std::int64_t count)
{
    return static_cast<T*>(kyCalloc(static_cast<std::size_t>(std::max<std::int64_t>(count, 1)), sizeof(T)));
}

// The rows around each point, as a list per point: rows[start[p]] to
// rows[start[p+1] - 1], in ascending row order.
struct PointStars {
    std::int32_t* start;
    std::int32_t* rows;
};

PointStars gatherStars(const MeshRow* rows, std::int32_t rowCount, std::int32_t pointCount)
{
    PointStars stars{takeWritten<std::int32_t>(std::int64_t{pointCount} + 1), nullptr};
    std::int64_t used = 0;
    for (std::int32_t r = 0; r < rowCount; ++r) {
        if (rows[r].corner[0] < 0) continue;
        for (const std::int32_t p : rows[r].corner) ++stars.start[p + 1];
        used += 3;
    }
    for (std::int32_t p = 0; p < pointCount; ++p) stars.start[p + 1] += stars.start[p];
    stars.rows = takeWritten<std::int32_t>(used);
    // Filled from the last row back, each point's list from its end, so
    // that the lists come out ascending.
    for (std::int32_t r = rowCount - 1; r >= 0; --r) {
        if (rows[r].corner[0] < 0) continue;
        for (const std::int32_t p : rows[r].corner) stars.rows[--stars.start[p + 1]] = r;
    }
    // Now start[p + 1] holds where p's list begins: move each down by one.
    for (std::int32_t p = 0; p < pointCount; ++p) stars.start[p] = stars.start[p + 1];
    stars.start[pointCount] = static_cast<std::int32_t>(used);
    return stars;
}

int cornerOf(const std::int32_t* row, std::int32_t point)
{
    return row[0] == point ? 0 : row[1] == point ? 1 : 2;
}

// One row around a point v: the point its side leaving v runs to, and the
// point its side arriving at v comes from.
struct StarEntry {
    std::int32_t leavesTo;
    std::int32_t arrivesFrom;
    std::int32_t row;
};

// Above this many rows around a point, the rows are matched through a
// sorted list instead of by comparing every pair.
constexpr std::int32_t smallStar = 16;

}  // namespace

NumberedRows numberRows(const double* tri, std::int32_t rowCount, const double* x, const double* y,
                        std::int32_t n, const Box& curveBox)
{
    const std::int64_t m = rowCount;
    // The points in the order of the cells they lie in along the curve.
    auto* place = takeWritten<std::uint32_t>(n);
    const SpaceCurve curve(curveBox);
    for (std::int32_t p = 0; p < n; ++p) place[p] = curve.position(x[p], y[p]);
    NumberedRows numbered{takeWritten<MeshRow>(m), takeWritten<std::int32_t>(m), takeWritten<std::int32_t>(n), n};
    orderByCell(n, numbered.originalPoint, [place](std::int32_t p, std::uint32_t& position) {
        position = place[p];
        return true;
    });
    auto* number = takeWritten<std::int32_t>(n);
    for (std::int32_t k = 0; k < n; ++k) number[numbered.originalPoint[k]] = k;

    // The rows by the cell of their first corner, in cells of a few hundred
    // rows each, TRI's order kept within a cell: a counting sort in two
    // passes over TRI, the second writing each row to its place.
    int bits = 1;
    while (bits < 10 && (std::int64_t{256} << (2 * bits)) < m) ++bits;
    const int shift = 32 - 2 * bits;
    const std::int64_t cells = std::int64_t{1} << (2 * bits);
    auto* start = takeZeroed<std::int32_t>(cells + 1);
    const auto cellOf = [&](std::int64_t r) { return place[static_cast<std::int64_t>(tri[r]) - 1] >> shift; };
    for (std::int64_t r = 0; r < m; ++r) ++start[cellOf(r) + 1];
    for (std::int64_t cell = 0; cell < cells; ++cell) start[cell + 1] += start[cell];
    for (std::int64_t r = 0; r < m; ++r) {
        const std::int32_t k = start[cellOf(r)]++;
        numbered.rowNumber[k] = static_cast<std::int32_t>(r);
        for (int j = 0; j < 3; ++j) {
            numbered.rows[k].corner[j] = number[static_cast<std::int64_t>(tri[r + j * m]) - 1];
            numbered.rows[k].across[j] = -1;
        }
    }
    kyFree(start);
    kyFree(number);
    kyFree(place);
    return numbered;
}

void orientRows(MeshRow* rows, std::int32_t rowCount, const double* xy)
{
    for (std::int32_t r = 0; r < rowCount; ++r) {
        std::int32_t* c = rows[r].corner;
        const int sign = orientationSign(xy + 2 * std::int64_t{c[0]}, xy + 2 * std::int64_t{c[1]},
                                         xy + 2 * std::int64_t{c[2]});
        if (sign < 0) std::swap(c[1], c[2]);
        if (sign == 0) c[0] = c[1] = c[2] = -1;
    }
}

bool joinRows(MeshRow* rows, const std::int32_t* rowNumber, std::int32_t rowCount, std::int32_t pointCount)
{
    bool sidesPaired = true;
    std::uint8_t* repeated = nullptr;  // rows that repeat one earlier in TRI, once one is found
    const PointStars stars = gatherStars(rows, rowCount, pointCount);
    std::int32_t largest = 0;
    for (std::int32_t p = 0; p < pointCount; ++p) largest = std::max(largest, stars.start[p + 1] - stars.start[p]);
    auto* entries = takeZeroed<StarEntry>(largest);
    auto* sorted = takeZeroed<StarEntry>(largest);
    // Among rows with the same side, the one first in TRI.
    const auto byArrival = [rowNumber](const StarEntry& a, const StarEntry& b) {
        return a.arrivesFrom != b.arrivesFrom ? a.arrivesFrom < b.arrivesFrom : rowNumber[a.row] < rowNumber[b.row];
    };

    for (std::int32_t v = 0; v < pointCount; ++v) {
        const std::int32_t count = stars.start[v + 1] - stars.start[v];
        for (std::int32_t k = 0; k < count; ++k) {
            const std::int32_t r = stars.rows[stars.start[v] + k];
            const std::int32_t* row = rows[r].corner;
            const int at = cornerOf(row, v);
            entries[k] = {row[nextCorner(at)], row[previousCorner(at)], r};
        }
        if (count > smallStar) {
            std::copy_n(entries, count, sorted);
            std::sort(sorted, sorted + count, byArrival);
        }
        for (std::int32_t k = 0; k < count; ++k) {
            const StarEntry& leaving = entries[k];
            // The side v -> leavesTo of this row meets the first row in TRI
            // whose side leavesTo -> v arrives at v.
            std::int32_t match = -1;
            if (count > smallStar) {
                const StarEntry key{0, leaving.leavesTo, -1};
                const StarEntry* found = std::lower_bound(
                    sorted, sorted + count, key,
                    [](const StarEntry& a, const StarEntry& b) { return a.arrivesFrom < b.arrivesFrom; });
                if (found != sorted + count && found->arrivesFrom == leaving.leavesTo) match = found->row;
            } else {
                for (std::int32_t i = 0; i < count; ++i)
                    if (entries[i].arrivesFrom == leaving.leavesTo && (match < 0 || rowNumber[entries[i].row] < rowNumber[match]))
                        match = entries[i].row;
            }
            MeshRow& row = rows[leaving.row];
            row.across[previousCorner(cornerOf(row.corner, v))] = match;
        }
        // Two rows leaving v for the same point overlap beside that side;
        // when they also arrive from the same point, the later in TRI
        // repeats the earlier.
        const auto compare = [&](const StarEntry& a, const StarEntry& b) {
            if (a.leavesTo != b.leavesTo) return;
            sidesPaired = false;
            if (a.arrivesFrom != b.arrivesFrom) return;
            if (repeated == nullptr) repeated = takeZeroed<std::uint8_t>(rowCount);
            repeated[rowNumber[a.row] < rowNumber[b.row] ? b.row : a.row] = 1;
        };
        if (count > smallStar) {
            // Equal rows lie side by side, earliest in TRI first.
            std::sort(entries, entries + count, [rowNumber](const StarEntry& a, const StarEntry& b) {
                if (a.leavesTo != b.leavesTo) return a.leavesTo < b.leavesTo;
                if (a.arrivesFrom != b.arrivesFrom) return a.arrivesFrom < b.arrivesFrom;
                return rowNumber[a.row] < rowNumber[b.row];
            });
            for (std::int32_t k = 1; k < count; ++k) compare(entries[k - 1], entries[k]);
        } else {
            for (std::int32_t k = 0; k < count; ++k)
                for (std::int32_t i = 0; i < k; ++i) compare(entries[i], entries[k]);
        }
    }
    kyFree(sorted);
    kyFree(entries);
    kyFree(stars.rows);
    kyFree(stars.start);

    // A repeated row holds only what the earlier one holds: it is dropped
    // like a flat row, and the rows are joined again without it.
    if (repeated != nullptr) {
        for (std::int32_t r = 0; r < rowCount; ++r)
            if (repeated[r] != 0) {
                rows[r] = MeshRow{{-1, -1, -1}, {-1, -1, -1}};
            } else {
                rows[r].across[0] = rows[r].across[1] = rows[r].across[2] = -1;
            }
        kyFree(repeated);
        return joinRows(rows, rowNumber, rowCount, pointCount);
    }

    // Only rows that take each other stay joined (they can differ only
    // where a side is repeated).
    if (!sidesPaired) {
        for (std::int32_t r = 0; r < rowCount; ++r)
            for (int j = 0; j < 3; ++j) {
                const std::int32_t other = rows[r].across[j];
                if (other < 0) continue;
                const std::int32_t from = rows[r].corner[nextCorner(j)];
                const int back = nextCorner(cornerOf(rows[other].corner, from));
                if (rows[other].across[back] != r) rows[r].across[j] = -1;
            }
    }
    return sidesPaired;
}

bool boundaryIsConvexLoop(const Mesh& mesh)
{
    // next[u] = v + 1 for the side u -> v without a row across.
    auto* next = takeZeroed<std::int32_t>(mesh.pointCount);
    std::int64_t sideCount = 0;
    std::int32_t first = -1;
    bool simple = true;
    for (std::int32_t r = 0; r < mesh.rowCount && simple; ++r) {
        if (mesh.flat(r)) continue;
        const std::int32_t* row = mesh.row(r);
        for (int j = 0; j < 3; ++j) {
            if (mesh.neighbour(r, j) >= 0) continue;
            const std::int32_t from = row[nextCorner(j)], to = row[previousCorner(j)];
            if (next[from] != 0) simple = false;  // two open sides leave one point
            next[from] = to + 1;
            if (first < 0) first = from;
            ++sideCount;
        }
    }
    if (!simple || sideCount < 3) {
        kyFree(next);
        return false;
    }
    // Walk the loop: it must close after exactly sideCount sides, turn left
    // or run straight on at every point, and go round once, which the
    // number of points lower (by y, then x) than both their neighbours
    // tells: a loop that turns only left goes round as many times.
    const auto lower = [](const double* a, const double* b) { return a[1] < b[1] || (a[1] == b[1] && a[0] < b[0]); };
    std::int32_t previous = first, current = next[first] - 1;
    std::int64_t lowest = 0;
    bool convex = true;
    for (std::int64_t k = 1; k <= sideCount && convex; ++k) {
        if (current < 0) {
            convex = false;
            break;
        }
        if ((current == first) != (k == sideCount)) {
            convex = false;
            break;
        }
        const std::int32_t following = next[current] - 1;
        if (following < 0) {
            convex = false;
            break;
        }
        const double* a = mesh.point(previous);
        const double* b = mesh.point(current);
        const double* c = mesh.point(following);
        const int turn = orientationSign(a, b, c);
        if (turn < 0) convex = false;
        // Straight on, not back: both steps go the same way in x and in y.
        const auto direction = [](double from, double to) { return (to > from) - (to < from); };
        if (turn == 0 && (direction(a[0], b[0]) != direction(b[0], c[0]) || direction(a[1], b[1]) != direction(b[1], c[1])))
            convex = false;
        if (lower(b, a) && lower(b, c)) ++lowest;
        previous = current;
        current = following;
    }
    kyFree(next);
    return convex && lowest == 1;
}

}  // namespace trinterp
