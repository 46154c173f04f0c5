#include "exact_recompute.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "exact_predicates.hpp"
#include "host_block.hpp"
#include "incremental_delaunay.hpp"
#include "host_services.hpp"

namespace sweeptri {

namespace {

// A double as an unsigned integer that orders as the doubles do (-0.0 and
// 0.0 alike, as the comparison of doubles has them).
std::uint64_t orderedBits(double value)
{
    value += 0.0;  // -0.0 becomes 0.0
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

using Corners = std::array<std::int32_t, 3>;  // smallest first, then clockwise
static_assert(sizeof(Corners) == 3 * sizeof(std::int32_t));

// A row's place in the order: its top key, and the row.
struct KeyedRow {
    std::uint64_t top;  // orderedBits of centre y + radius
    std::int32_t row;
};

// The rows of the triangulation and their keys. The corners take over the
// triangulation's own table of corners, each row written over a slot
// already read.
struct Rows {
    Corners* corners = nullptr;
    std::uint64_t* centreX = nullptr;  // orderedBits of centre x, by row
    KeyedRow* keyed = nullptr;         // rows with finite keys first, the others from the back
    std::int32_t count = 0;
    std::int32_t finite = 0;
    std::int32_t slivers = 0;  // rows whose key is not finite
};

// Appends the row of finite triangle t, with the corner of smallest point
// number first and the others clockwise, and its keys computed from the
// corners in that order.
void addRow(const IncrementalDelaunay& mesh, std::int32_t t, Rows& rows)
{
    const std::int32_t* c = mesh.corners(t);
    const std::int32_t clockwise[3] = {c[0], c[2], c[1]};
    const std::int32_t numbers[3] = {mesh.number(clockwise[0]), mesh.number(clockwise[1]), mesh.number(clockwise[2])};
    const int first = numbers[0] < numbers[1] ? (numbers[0] < numbers[2] ? 0 : 2) : (numbers[1] < numbers[2] ? 1 : 2);
    const int second = first == 2 ? 0 : first + 1;
    const int third = second == 2 ? 0 : second + 1;
    const ExactPoint& p = mesh.point(clockwise[first]);
    const ExactPoint centre = CGAL::circumcenter(p, mesh.point(clockwise[second]), mesh.point(clockwise[third]));
    const double centreX = centre.x();
    const double top = centre.y() + std::sqrt(CGAL::squared_distance(centre, p));
    const std::int32_t row = rows.count++;
    rows.corners[row] = {numbers[first], numbers[second], numbers[third]};
    rows.centreX[row] = orderedBits(centreX);
    if (std::isfinite(top) && std::isfinite(centreX))
        rows.keyed[rows.finite++] = KeyedRow{orderedBits(top), row};
    else
        rows.keyed[mesh.finiteCount() - ++rows.slivers] = KeyedRow{0, row};
}

Corners sortedCorners(const Rows& rows, std::int32_t row)
{
    Corners corners = rows.corners[static_cast<std::size_t>(row)];
    std::sort(corners.begin(), corners.end());
    return corners;
}

// Stable least-significant-digit radix sort of items[0 .. count-1] by top,
// 16 bits a pass, through spare; a pass whose digit is the same for every
// item is skipped. Returns the buffer that holds the result.
KeyedRow* sortByTop(KeyedRow* items, KeyedRow* spare, std::size_t count)
{
    constexpr int digitBits = 16;
    constexpr std::size_t buckets = std::size_t{1} << digitBits;
    HostBlock<std::uint32_t> counts(4 * buckets);
    for (std::size_t i = 0; i < count; ++i)
        for (int pass = 0; pass < 4; ++pass)
            ++counts[pass * buckets + ((items[i].top >> (pass * digitBits)) & (buckets - 1))];
    for (int pass = 0; pass < 4; ++pass) {
        std::uint32_t* start = counts.get() + pass * buckets;
        const int shift = pass * digitBits;
        if (start[(items[0].top >> shift) & (buckets - 1)] == count) continue;
        std::uint32_t first = 0;
        for (std::size_t d = 0; d < buckets; ++d) first += std::exchange(start[d], first);
        for (std::size_t i = 0; i < count; ++i) spare[start[(items[i].top >> shift) & (buckets - 1)]++] = items[i];
        std::swap(items, spare);
    }
    return items;
}

// Rows of equal top: ascending centre x, then sorted corners.
void breakTies(const Rows& rows, KeyedRow* sorted, std::size_t count)
{
    for (std::size_t begin = 0; begin < count;) {
        std::size_t end = begin + 1;
        while (end < count && sorted[end].top == sorted[begin].top) ++end;
        if (end - begin > 1)
            std::sort(sorted + begin, sorted + end, [&](const KeyedRow& a, const KeyedRow& b) {
                if (rows.centreX[a.row] != rows.centreX[b.row]) return rows.centreX[a.row] < rows.centreX[b.row];
                return sortedCorners(rows, a.row) < sortedCorners(rows, b.row);
            });
        begin = end;
    }
}

}  // namespace

std::int32_t recomputeExactly(const double* x, const double* y, std::int32_t n, int exponent, double* out)
{
    std::optional<IncrementalDelaunay> triangulation;
    {
        // The points are read into a host block before anything else is
        // made: should reading them end the call, nothing but host blocks
        // is lost. The triangulation keeps its own copy.
        HostBlock<ExactPoint> points(static_cast<std::size_t>(n));
        for (std::int32_t i = 0; i < n; ++i)
            points[static_cast<std::size_t>(i)] = ExactPoint(std::ldexp(x[i], exponent), std::ldexp(y[i], exponent));
        try {
            triangulation.emplace(points.get(), n);
        } catch (const std::bad_alloc&) {
            kyxErrMsgTxt("Out of memory.");
        }
    }
    IncrementalDelaunay& mesh = *triangulation;
    mesh.releaseWorkspace();

    const std::int32_t count = mesh.finiteCount();
    Rows rows;
    rows.corners = reinterpret_cast<Corners*>(mesh.corners(0));
    HostBlock<std::uint64_t> centreX(static_cast<std::size_t>(count));
    HostBlock<KeyedRow> keyed(static_cast<std::size_t>(count));
    rows.centreX = centreX.get();
    rows.keyed = keyed.get();
    for (std::int32_t t = 0; t < mesh.slots(); ++t)
        if (mesh.isFinite(t)) addRow(mesh, t, rows);

    const auto finite = static_cast<std::size_t>(rows.finite);
    HostBlock<KeyedRow> spare(finite);
    KeyedRow* sorted = sortByTop(rows.keyed, spare.get(), finite);
    breakTies(rows, sorted, finite);
    KeyedRow* last = rows.keyed + finite;
    std::sort(last, last + rows.slivers, [&](const KeyedRow& a, const KeyedRow& b) {
        return sortedCorners(rows, a.row) < sortedCorners(rows, b.row);
    });

    const auto write = [&](std::size_t r, std::int32_t row) {
        const Corners& corners = rows.corners[static_cast<std::size_t>(row)];
        for (int c = 0; c < 3; ++c)
            out[static_cast<std::ptrdiff_t>(c) * count + static_cast<std::ptrdiff_t>(r)] = corners[c] + 1.0;
    };
    for (std::size_t i = 0; i < finite; ++i) write(i, sorted[i].row);
    for (std::int32_t i = 0; i < rows.slivers; ++i) write(finite + static_cast<std::size_t>(i), last[i].row);
    return count;
}

}  // namespace sweeptri
