#include "exact_recompute.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include "exact_predicates.hpp"
#include "ky.h"
#include "kyx.h"

namespace sweeptri {

namespace {

using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<std::int32_t, ExactKernel>;
using Delaunay = CGAL::Delaunay_triangulation_2<ExactKernel, CGAL::Triangulation_data_structure_2<VertexBase>>;

// A double as an unsigned integer that orders as the doubles do (-0.0 and
// 0.0 alike, as the comparison of doubles has them).
std::uint64_t orderedBits(double value)
{
    value += 0.0;  // -0.0 becomes 0.0
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

// A host block of count values of T, handed back when it goes out of
// scope; the host also reclaims it when a call ends some other way.
template <typename T>
class HostArray {
public:
    explicit HostArray(std::size_t count) : data_(static_cast<T*>(kyCalloc(count == 0 ? 1 : count, sizeof(T)))) {}
    HostArray(const HostArray&) = delete;
    HostArray& operator=(const HostArray&) = delete;
    ~HostArray() { release(); }
    void release()
    {
        if (data_ != nullptr) kyFree(data_);
        data_ = nullptr;
    }
    T* get() const { return data_; }
    T& operator[](std::size_t i) const { return data_[i]; }

private:
    T* data_;
};

using IndexedPoint = std::pair<ExactPoint, std::int32_t>;
using Corners = std::array<std::int32_t, 3>;  // smallest first, then clockwise
static_assert(std::is_trivially_destructible_v<IndexedPoint>);
// Two rows per point at most fit where the points were.
static_assert(2 * sizeof(Corners) <= sizeof(IndexedPoint));

// The rows of the triangulation with their order keys, gathered while it
// stands. The corners take over the block the points were read into.
struct Rows {
    Corners* corners = nullptr;
    std::uint64_t* top = nullptr;      // orderedBits of centre y + radius
    std::uint64_t* centreX = nullptr;  // orderedBits of centre x
    std::int32_t count = 0;
};

// The row's corners and keys; false when a key is not finite.
bool addRow(const Delaunay::Face& face, Rows& rows)
{
    // CGAL's faces run counter-clockwise: 0, 2, 1 runs clockwise.
    std::array<Delaunay::Vertex_handle, 3> clockwise = {face.vertex(0), face.vertex(2), face.vertex(1)};
    const auto smallest = std::min_element(clockwise.begin(), clockwise.end(),
                                           [](const auto& a, const auto& b) { return a->info() < b->info(); });
    std::rotate(clockwise.begin(), smallest, clockwise.end());
    // The keys are computed from the corners in column order.
    const ExactPoint& p = clockwise[0]->point();
    const ExactPoint centre = CGAL::circumcenter(p, clockwise[1]->point(), clockwise[2]->point());
    const double centreX = centre.x();
    const double top = centre.y() + std::sqrt(CGAL::squared_distance(centre, p));
    const auto row = static_cast<std::size_t>(rows.count++);
    rows.corners[row] = {clockwise[0]->info(), clockwise[1]->info(), clockwise[2]->info()};
    rows.top[row] = orderedBits(top);
    rows.centreX[row] = orderedBits(centreX);
    return std::isfinite(top) && std::isfinite(centreX);
}

Corners sortedCorners(const Rows& rows, std::int32_t row)
{
    Corners corners = rows.corners[static_cast<std::size_t>(row)];
    std::sort(corners.begin(), corners.end());
    return corners;
}

// Stable least-significant-digit radix sort of the row numbers order[0 ..
// count-1] by their top key, 11 bits a pass, through the block spare of as
// many; a pass whose digit is the same for all rows is skipped.
std::int32_t* sortByTop(std::int32_t* order, std::int32_t* spare, std::size_t count, const std::uint64_t* top)
{
    constexpr int digitBits = 11;
    constexpr std::size_t buckets = std::size_t{1} << digitBits;
    std::vector<std::size_t> start(buckets);
    for (int shift = 0; shift < 64; shift += digitBits) {
        std::fill(start.begin(), start.end(), 0);
        for (std::size_t i = 0; i < count; ++i) ++start[(top[order[i]] >> shift) & (buckets - 1)];
        if (std::find(start.begin(), start.end(), count) != start.end()) continue;
        std::size_t first = 0;
        for (std::size_t& c : start) first += std::exchange(c, first);
        for (std::size_t i = 0; i < count; ++i) spare[start[(top[order[i]] >> shift) & (buckets - 1)]++] = order[i];
        std::swap(order, spare);
    }
    return order;
}

// Ascending top, then centre x, then sorted corners.
void sortFinite(const Rows& rows, std::int32_t* order, std::size_t count)
{
    for (std::size_t begin = 0; begin < count;) {
        const std::uint64_t top = rows.top[order[begin]];
        std::size_t end = begin + 1;
        while (end < count && rows.top[order[end]] == top) ++end;
        if (end - begin > 1)
            std::sort(order + begin, order + end, [&](std::int32_t a, std::int32_t b) {
                if (rows.centreX[a] != rows.centreX[b]) return rows.centreX[a] < rows.centreX[b];
                return sortedCorners(rows, a) < sortedCorners(rows, b);
            });
        begin = end;
    }
}

}  // namespace

std::int32_t recomputeExactly(const double* x, const double* y, std::int32_t n, int exponent, double* out)
{
    // The points are read into a host block before anything else is made:
    // should reading them end the call, nothing but host blocks is lost.
    HostArray<IndexedPoint> points(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i)
        new (&points[static_cast<std::size_t>(i)])
            IndexedPoint(ExactPoint(std::ldexp(x[i], exponent), std::ldexp(y[i], exponent)), i);

    Rows rows;
    std::int32_t* order = nullptr;
    std::int32_t slivers = 0;  // rows whose key is not finite, at the end of order
    std::size_t capacity = 0;
    try {
        const Delaunay triangulation(points.get(), points.get() + n);
        capacity = static_cast<std::size_t>(triangulation.number_of_faces());
        rows.corners = reinterpret_cast<Corners*>(points.get());
        rows.top = static_cast<std::uint64_t*>(kyCalloc(capacity + 1, sizeof(std::uint64_t)));
        rows.centreX = static_cast<std::uint64_t*>(kyCalloc(capacity + 1, sizeof(std::uint64_t)));
        order = static_cast<std::int32_t*>(kyCalloc(capacity + 1, sizeof(std::int32_t)));
        std::int32_t finite = 0;
        for (auto face = triangulation.finite_faces_begin(); face != triangulation.finite_faces_end(); ++face) {
            const std::int32_t row = rows.count;
            if (addRow(*face, rows))
                order[finite++] = row;
            else
                order[capacity - static_cast<std::size_t>(++slivers)] = row;
        }
    } catch (const std::bad_alloc&) {
        kyxErrMsgTxt("Out of memory.");
    }
    const std::size_t finite = static_cast<std::size_t>(rows.count - slivers);
    HostArray<std::int32_t> spare(finite);
    std::int32_t* sorted = sortByTop(order, spare.get(), finite, rows.top);
    sortFinite(rows, sorted, finite);
    std::int32_t* last = order + capacity - static_cast<std::size_t>(slivers);
    std::sort(last, order + capacity,
              [&](std::int32_t a, std::int32_t b) { return sortedCorners(rows, a) < sortedCorners(rows, b); });

    const std::int32_t count = rows.count;
    const auto write = [&](std::int32_t r, std::int32_t row) {
        const Corners& corners = rows.corners[static_cast<std::size_t>(row)];
        for (int c = 0; c < 3; ++c) out[static_cast<std::ptrdiff_t>(c) * count + r] = corners[c] + 1.0;
    };
    for (std::size_t i = 0; i < finite; ++i) write(static_cast<std::int32_t>(i), sorted[i]);
    for (std::int32_t i = 0; i < slivers; ++i) write(static_cast<std::int32_t>(finite) + i, last[i]);
    kyFree(rows.top);
    kyFree(rows.centreX);
    kyFree(order);
    return count;
}

}  // namespace sweeptri
