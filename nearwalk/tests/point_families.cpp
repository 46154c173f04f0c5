#include "point_families.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>
#include <random>
#include <set>
#include <utility>

namespace nearwalk::testing {

namespace {

// Drops repeated points, keeping the first of each.
PointSet withoutRepeats(PointSet set)
{
    std::set<std::pair<double, double>> seen;
    PointSet kept{set.name, {}, {}};
    for (std::size_t k = 0; k < set.x.size(); ++k)
        if (seen.emplace(set.x[k], set.y[k]).second) kept.x.push_back(set.x[k]), kept.y.push_back(set.y[k]);
    return kept;
}

PointSet tiltedGrid(int side, double radians, const std::string& name)
{
    PointSet set{name, {}, {}};
    const double c = std::cos(radians), s = std::sin(radians);
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j) set.x.push_back(i * c - j * s), set.y.push_back(i * s + j * c);
    return set;
}

PointSet lineWithOnePointOff()
{
    PointSet set{"line and one point 1e-15 off", {}, {}};
    for (int k = 0; k < 300; ++k) set.x.push_back(k), set.y.push_back(0.0);
    set.x.push_back(150.5), set.y.push_back(1e-15);
    return set;
}

PointSet nearCollinear(std::mt19937_64& random)
{
    std::uniform_real_distribution<double> jitter(-1e-12, 1e-12);
    PointSet set{"near-collinear", {}, {}};
    for (int k = 0; k < 300; ++k) set.x.push_back(k / 300.0), set.y.push_back(0.5 * k / 300.0 + jitter(random));
    return set;
}

// `points` random points and `twins` of them moved by one unit in the last
// place in x, in y or in both.
PointSet withTwins(std::mt19937_64& random, int points, int twins, const std::string& name)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    PointSet set{name, {}, {}};
    for (int k = 0; k < points; ++k) set.x.push_back(unit(random)), set.y.push_back(unit(random));
    for (int k = 0; k < twins; ++k) {
        const std::size_t of = static_cast<std::size_t>(k) * static_cast<std::size_t>(points) / static_cast<std::size_t>(twins);
        const int how = k % 3;
        set.x.push_back(how != 1 ? std::nextafter(set.x[of], 2.0) : set.x[of]);
        set.y.push_back(how != 0 ? std::nextafter(set.y[of], 2.0) : set.y[of]);
    }
    return set;
}

PointSet jitteredLattice(std::mt19937_64& random)
{
    std::uniform_real_distribution<double> jitter(-1e-13, 1e-13);
    PointSet set{"lattice jittered by 1e-13", {}, {}};
    for (int i = 0; i < 25; ++i)
        for (int j = 0; j < 25; ++j) set.x.push_back(i + jitter(random)), set.y.push_back(j + jitter(random));
    return set;
}

// Integer points on circles about two centres: x^2 + y^2 = r^2 for radii
// with many such points, all of them exactly cocircular.
PointSet integerCircles()
{
    PointSet set{"integer points on circles", {}, {}};
    const std::pair<int, int> centres[] = {{0, 0}, {150, 40}};
    for (const auto& [cx, cy] : centres)
        for (const int square : {5525, 1105, 4225})
            for (int x = -80; x <= 80; ++x)
                for (int y = -80; y <= 80; ++y)
                    if (x * x + y * y == square) set.x.push_back(cx + x), set.y.push_back(cy + y);
    return set;
}

PointSet largeOffsets(std::mt19937_64& random)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    PointSet set{"1e7 + random", {}, {}};
    for (int k = 0; k < 500; ++k) set.x.push_back(1e7 + unit(random)), set.y.push_back(1e7 + unit(random));
    return set;
}

// Longitudes and latitudes of a city-sized area with 5 decimals: points on
// a lattice of 1e-5 degrees that is not exactly representable.
PointSet roundedLonLat(std::mt19937_64& random)
{
    std::uniform_real_distribution<double> lon(13.30, 13.30 + 4e-4), lat(52.50, 52.50 + 4e-4);
    PointSet set{"lon/lat with 5 decimals", {}, {}};
    for (int k = 0; k < 600; ++k)
        set.x.push_back(std::round(lon(random) * 1e5) / 1e5), set.y.push_back(std::round(lat(random) * 1e5) / 1e5);
    return set;
}

}  // namespace

std::vector<PointSet> hardPointSets()
{
    std::mt19937_64 random(14);
    std::vector<PointSet> sets;
    const double degree = std::numbers::pi / 180.0;
    for (const double angle : {30.0, 45.0, 302.328, 0.001, 17.0, 63.4349488, 89.999})
        sets.push_back(tiltedGrid(20, angle * degree, "grid tilted by " + std::to_string(angle) + " degrees"));
    sets.push_back(tiltedGrid(20, 1e-9, "grid tilted by 1e-9 radians"));
    sets.push_back(lineWithOnePointOff());
    sets.push_back(nearCollinear(random));
    sets.push_back(withTwins(random, 400, 60, "400 random points and 60 twins"));
    sets.push_back(withTwins(random, 200, 200, "200 random points and a twin of each"));
    sets.push_back(jitteredLattice(random));
    sets.push_back(integerCircles());
    sets.push_back(largeOffsets(random));
    sets.push_back(roundedLonLat(random));
    for (auto& set : sets) set = withoutRepeats(std::move(set));
    return sets;
}

PointSet scaledSet(const PointSet& set, int exponent)
{
    PointSet scaled{set.name + " times 2^" + std::to_string(exponent), {}, {}};
    for (std::size_t k = 0; k < set.x.size(); ++k)
        scaled.x.push_back(std::ldexp(set.x[k], exponent)), scaled.y.push_back(std::ldexp(set.y[k], exponent));
    return scaled;
}

std::vector<int> extremeExponents(const PointSet& set)
{
    double largest = 0.0, smallest = DBL_MAX;
    for (const auto* values : {&set.x, &set.y})
        for (const double v : *values) {
            const double m = std::fabs(v);
            largest = std::max(largest, m);
            if (m != 0.0) smallest = std::min(smallest, m);
        }
    const int top = std::ilogb(largest), bottom = std::ilogb(smallest);
    return {1000 - top, -1000 - bottom};
}

PointSet hardQueries(const PointSet& set, const std::vector<double>& tri, std::size_t limit)
{
    const std::size_t m = tri.size() / 3;
    const auto corner = [&](std::size_t r, std::size_t c) { return static_cast<std::size_t>(tri[c * m + r]) - 1; };
    std::vector<std::vector<std::pair<double, double>>> kinds(4);
    for (std::size_t r = 0; r < m; ++r) {
        const std::size_t a = corner(r, 0), b = corner(r, 1), c = corner(r, 2);
        for (const auto& [i, j] : {std::pair{a, b}, std::pair{b, c}, std::pair{c, a}})
            if (i < j) kinds[0].emplace_back(0.5 * (set.x[i] + set.x[j]), 0.5 * (set.y[i] + set.y[j]));
        // Circumcentre relative to corner a.
        const double bx = set.x[b] - set.x[a], by = set.y[b] - set.y[a];
        const double cx = set.x[c] - set.x[a], cy = set.y[c] - set.y[a];
        const double d = 2.0 * (bx * cy - by * cx);
        const double b2 = bx * bx + by * by, c2 = cx * cx + cy * cy;
        const double ux = set.x[a] + (cy * b2 - by * c2) / d, uy = set.y[a] + (bx * c2 - cx * b2) / d;
        if (std::isfinite(ux) && std::isfinite(uy)) kinds[1].emplace_back(ux, uy);
    }
    for (std::size_t k = 0; k < set.x.size(); ++k)
        kinds[2].emplace_back(std::nextafter(set.x[k], -DBL_MAX), std::nextafter(set.y[k], DBL_MAX));
    const auto [xmin, xmax] = std::minmax_element(set.x.begin(), set.x.end());
    const auto [ymin, ymax] = std::minmax_element(set.y.begin(), set.y.end());
    const double w = *xmax - *xmin, h = *ymax - *ymin;
    for (int i = 0; i < 30; ++i)
        for (int j = 0; j < 30; ++j)
            kinds[3].emplace_back(*xmin - 0.1 * w + 1.2 * w * i / 29, *ymin - 0.1 * h + 1.2 * h * j / 29);

    PointSet queries{set.name + " queries", {}, {}};
    for (const auto& kind : kinds) {
        const std::size_t take = std::min(kind.size(), limit / kinds.size());
        for (std::size_t t = 0; t < take; ++t) {
            const auto& [qx, qy] = kind[t * kind.size() / take];
            queries.x.push_back(qx), queries.y.push_back(qy);
        }
    }
    return queries;
}

}  // namespace nearwalk::testing
