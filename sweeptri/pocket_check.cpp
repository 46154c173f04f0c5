#include "pocket_check.hpp"

#include <algorithm>
#include <cmath>

#include "hole_filling.hpp"
#include "host_block.hpp"

namespace sweeptri {

namespace {

std::int32_t sideFrom(std::uint64_t side) { return static_cast<std::int32_t>(side >> 32); }
std::int32_t sideTo(std::uint64_t side) { return static_cast<std::int32_t>(side & 0xffffffffu); }

std::uint64_t undirected(std::uint64_t side)
{
    const auto a = static_cast<std::uint32_t>(side >> 32), b = static_cast<std::uint32_t>(side);
    return a < b ? side : (static_cast<std::uint64_t>(b) << 32 | a);
}

}  // namespace

// The completion matches the rows' sides itself. Its open sides are these
// unless two of these join the same two points (then the rows decide, and
// no verdict is given here) or a side is run by three rows (then it fails
// anyway). Its outline and loose points are then the ones built here, and
// the fill, which only fails where the outline's sides overlap or cross,
// fails here as there: the points' numbering changes only the order in
// which they go in.
bool completionCertainToFail(const double* rows, std::int32_t count, const double* x, const double* y,
                             std::int32_t n, int exponent, const HullCycle& hull,
                             const std::vector<std::uint64_t>& openSides)
{
    if (!hull.hasArea()) return true;
    const auto h = static_cast<std::int64_t>(hull.points.size());
    const std::int64_t expected = 2 * static_cast<std::int64_t>(n) - 2 - h;
    if (count > expected || count < expected - expected / 4) return true;
    if (count == expected) return false;  // may be a whole triangulation

    for (const std::uint64_t side : openSides)
        if (sideFrom(side) < 0 || sideFrom(side) >= n || sideTo(side) < 0 || sideTo(side) >= n) return false;
    {
        std::vector<std::uint64_t> pairs(openSides.size());
        std::transform(openSides.begin(), openSides.end(), pairs.begin(), undirected);
        std::sort(pairs.begin(), pairs.end());
        if (std::adjacent_find(pairs.begin(), pairs.end()) != pairs.end()) return false;
    }
    // The completion's own limit on open sides, which are these.
    if (static_cast<std::int64_t>(openSides.size()) > h + count / 8 + 64) return true;

    // Points that no row names go into the fill as loose points; the fill
    // needs those, the hull's points and the ends of the open sides, each
    // numbered (own number + 1) in the order of the input.
    HostBlock<std::uint8_t> named(static_cast<std::size_t>(n));
    const std::size_t cells = 3 * static_cast<std::size_t>(count);
    for (std::size_t i = 0; i < cells; ++i) {
        const double v = rows[i];
        if (!(v >= 1.0 && v <= n) || v != std::floor(v)) return true;
        named[static_cast<std::size_t>(v) - 1] = 1;
    }
    HostBlock<std::int32_t> numberOf(static_cast<std::size_t>(n));
    for (const std::uint64_t side : openSides) {
        numberOf[static_cast<std::size_t>(sideFrom(side))] = 1;
        numberOf[static_cast<std::size_t>(sideTo(side))] = 1;
    }
    for (std::size_t i = 0; i < hull.points.size(); ++i) numberOf[static_cast<std::size_t>(hull.points[i])] = 1;
    std::int32_t needed = 0, loose = 0;
    for (std::int32_t p = 0; p < n; ++p) {
        std::int32_t& number = numberOf[static_cast<std::size_t>(p)];
        if (named[static_cast<std::size_t>(p)] == 0) ++loose;
        if (number != 0 || named[static_cast<std::size_t>(p)] == 0) number = ++needed;
    }
    // The caller's coordinates are read into a host block while nothing
    // but host blocks is held: a fault on a mapped input ends the call by a
    // jump that skips destructors.
    HostBlock<double> xy(2 * static_cast<std::size_t>(needed));
    for (std::int32_t p = 0; p < n; ++p) {
        const std::int32_t k = numberOf[static_cast<std::size_t>(p)] - 1;
        if (k < 0) continue;
        xy[2 * static_cast<std::size_t>(k)] = exponent == 0 ? x[p] : std::ldexp(x[p], exponent);
        xy[2 * static_cast<std::size_t>(k) + 1] = exponent == 0 ? y[p] : std::ldexp(y[p], exponent);
    }
    auto own = [&](std::int32_t point) { return numberOf[static_cast<std::size_t>(point)] - 1; };

    std::vector<std::uint64_t> open(openSides), boundary;
    boundary.reserve(hull.points.size());
    for (std::size_t i = 0; i < hull.points.size(); ++i) {
        const std::int32_t from = hull.points[(i + 1) % hull.points.size()], to = hull.points[i];
        boundary.push_back(static_cast<std::uint64_t>(static_cast<std::uint32_t>(from)) << 32 |
                           static_cast<std::uint32_t>(to));
    }
    std::sort(open.begin(), open.end());
    std::sort(boundary.begin(), boundary.end());
    std::vector<DirectedSide> outline;
    std::size_t i = 0, j = 0;
    while (i < open.size() || j < boundary.size()) {
        if (j == boundary.size() || (i < open.size() && open[i] < boundary[j])) {
            outline.push_back(DirectedSide{own(sideTo(open[i])), own(sideFrom(open[i]))});
            ++i;
        } else if (i == open.size() || boundary[j] < open[i]) {
            outline.push_back(DirectedSide{own(sideFrom(boundary[j])), own(sideTo(boundary[j]))});
            ++j;
        } else {
            ++i;
            ++j;
        }
    }
    std::vector<std::int32_t> loosePoints;
    loosePoints.reserve(static_cast<std::size_t>(loose));
    for (std::int32_t p = 0; p < n; ++p)
        if (named[static_cast<std::size_t>(p)] == 0) loosePoints.push_back(own(p));
    std::vector<std::int32_t> added;
    if (!fillRegion(outline, loosePoints, xy.get(), added)) return true;
    return static_cast<std::int64_t>(count) + static_cast<std::int64_t>(added.size() / 3) != expected;
}

}  // namespace sweeptri
