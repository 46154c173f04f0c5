#include "point_families.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <set>
#include <utility>

#include "triangulation_checks.hpp"

namespace sweeptri::testing {

PointSet scaled(PointSet set, int exponent)
{
    set.name += " x 2^" + std::to_string(exponent);
    for (double& v : set.x) v = std::ldexp(v, exponent);
    for (double& v : set.y) v = std::ldexp(v, exponent);
    return set;
}

PointSet tiltedGrid(int side, double radians, const std::string& name)
{
    PointSet set{"grid tilted by " + name, {}, {}};
    const double c = std::cos(radians), s = std::sin(radians);
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j) {
            set.x.push_back(c * i - s * j);
            set.y.push_back(s * i + c * j);
        }
    return set;
}

// n points on the line y = slope * x, x from 0 to 1, and one more point
// offset above it (representably: the line stays near magnitude 1).
namespace {

PointSet lineWithOneOff(int n, double slope, double offset)
{
    PointSet set{"line of slope " + std::to_string(slope) + " plus one point off", {}, {}};
    for (int i = 0; i < n; ++i) {
        set.x.push_back(i / static_cast<double>(n));
        set.y.push_back(slope * set.x.back());
    }
    set.x.push_back(0.5 + 0.5 / n);
    set.y.push_back(slope * set.x.back() + offset);
    return set;
}

PointSet jitteredLine(int n, double jitter, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    PointSet set{"line with y jittered by " + std::to_string(jitter) + ", n " + std::to_string(n), {}, {}};
    for (int i = 0; i < n; ++i) {
        set.x.push_back(i * 0.01);
        set.y.push_back(jitter * unit(random));
    }
    return set;
}

PointSet twinsOneUlpApart(unsigned seed)
{
    PointSet set{"random points with twins 1 ulp away", {}, {}};
    randomPoints(seed, 400, set.x, set.y);
    for (int k = 0; k < 60; ++k) {
        const double x = set.x[static_cast<std::size_t>(k) * 5], y = set.y[static_cast<std::size_t>(k) * 5];
        set.x.push_back(k % 2 == 0 ? std::nextafter(x, 2.0) : x);
        set.y.push_back(k % 2 == 0 ? y : std::nextafter(y, 2.0));
    }
    return set;
}

PointSet jitteredLattice(int side, double jitter, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    PointSet set{"lattice jittered", {}, {}};
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j) {
            set.x.push_back(i + jitter * unit(random));
            set.y.push_back(j + jitter * unit(random));
        }
    return set;
}

// Every integer point on the circles x^2 + y^2 = r2, with the centre.
PointSet integerCircles(std::vector<long> radiiSquared)
{
    PointSet set{"integer cocircular points", {0}, {0}};
    for (long r2 : radiiSquared) {
        const long r = static_cast<long>(std::sqrt(static_cast<double>(r2)));
        for (long x = -r; x <= r; ++x)
            for (long y = -r; y <= r; ++y)
                if (x * x + y * y == r2) {
                    set.x.push_back(static_cast<double>(x));
                    set.y.push_back(static_cast<double>(y));
                }
    }
    return set;
}

PointSet mapped(const std::string& name, unsigned seed, int n, double (*fx)(double), double (*fy)(double))
{
    PointSet set{name, {}, {}};
    randomPoints(seed, n, set.x, set.y);
    for (double& v : set.x) v = fx(v);
    for (double& v : set.y) v = fy(v);
    return set;
}

// gridSide: the side of the grid tilted by 1e-9 radians.

}  // namespace

std::vector<PointSet> families(int gridSide)
{
    std::vector<PointSet> sets;
    const double degree = std::numbers::pi / 180.0;
    sets.push_back(tiltedGrid(gridSide, 1e-9, "1e-9 rad"));
    for (auto [angle, name] : {std::pair{0.001, "0.001 deg"}, {30.0, "30 deg"}, {45.0, "45 deg"},
                               {302.328, "302.328 deg"}, {7.0, "7 deg"}, {60.0, "60 deg"}, {89.9, "89.9 deg"}})
        sets.push_back(tiltedGrid(40, angle * degree, name));
    sets.push_back(lineWithOneOff(1000, 0.0, 1e-15));
    sets.push_back(lineWithOneOff(1000, 0.5, 1e-15));
    sets.push_back(jitteredLine(100, 1e-12, 1));
    sets.push_back(jitteredLine(1000, 1e-12, 2));
    sets.push_back(twinsOneUlpApart(3));
    sets.push_back(jitteredLattice(40, 1e-13, 4));
    sets.push_back(integerCircles({25, 625}));
    sets.push_back(integerCircles({4225, 1105 * 1105 / 25}));
    sets.push_back(mapped("offset by 1e7", 5, 300, [](double v) { return 1e7 + v; }, [](double v) { return 1e7 + v; }));
    sets.push_back(mapped("lon/lat with 5 decimals", 6, 400, [](double v) { return std::round((v * 20 - 10) * 1e5) / 1e5; },
                          [](double v) { return std::round((40 + v * 10) * 1e5) / 1e5; }));
    sets.push_back(mapped("x * 1e-3, y * 1e6", 7, 200, [](double v) { return v * 1e-3; }, [](double v) { return v * 1e6; }));
    sets.push_back(mapped("x * 1e6, y * 1e-3", 8, 200, [](double v) { return v * 1e6; }, [](double v) { return v * 1e-3; }));
    PointSet circles{"points on two circles", {}, {}};
    for (int k = 0; k < 600; ++k) {
        const double radius = k % 2 == 0 ? 1.0 : 3.0, angle = 2 * std::numbers::pi * k / 600;
        circles.x.push_back(radius * std::cos(angle));
        circles.y.push_back(radius * std::sin(angle));
    }
    sets.push_back(circles);
    sets.push_back(mapped("x up to 1e8, y up to 1", 9, 300, [](double v) { return v * 1e8; }, [](double v) { return v; }));
    return sets;
}

namespace {

// Keeps the first point of each place.
PointSet withoutRepeats(PointSet set)
{
    std::set<std::pair<double, double>> seen;
    PointSet kept{set.name, {}, {}};
    for (std::size_t i = 0; i < set.x.size(); ++i)
        if (seen.emplace(set.x[i], set.y[i]).second) {
            kept.x.push_back(set.x[i]);
            kept.y.push_back(set.y[i]);
        }
    return kept;
}

}  // namespace

std::vector<PointSet> hardShapes(int n, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::lognormal_distribution<double> lognormal(0.0, 5.0);
    const double turn = 2 * std::numbers::pi;
    std::vector<PointSet> sets;
    const auto add = [&](const std::string& name, auto point) {
        PointSet set{name + ", n " + std::to_string(n), {}, {}};
        for (int i = 0; i < n; ++i) {
            const auto [x, y] = point(i);
            set.x.push_back(x);
            set.y.push_back(y);
        }
        sets.push_back(withoutRepeats(std::move(set)));
    };
    add("half on the left edge x = 0", [&](int i) { return std::pair{i % 2 == 0 ? 0.0 : unit(random), unit(random)}; });
    add("evenly spaced on a circle", [&](int i) {
        const double t = turn * i / n;
        return std::pair{std::cos(t), std::sin(t)};
    });
    add("random on a circle", [&](int) {
        const double t = turn * unit(random);
        return std::pair{std::cos(t), std::sin(t)};
    });
    add("uniform with 10 far outliers", [&](int i) {
        return i < 10 ? std::pair{2e6 * unit(random) - 1e6, 2e6 * unit(random) - 1e6} : std::pair{unit(random), unit(random)};
    });
    add("half on the line y = 0.5", [&](int i) { return std::pair{unit(random), i % 2 == 0 ? 0.5 : unit(random)}; });
    add("lognormal, sigma 5", [&](int) { return std::pair{lognormal(random), lognormal(random)}; });
    add("exp(100 u)", [&](int) { return std::pair{std::exp(100 * unit(random)), std::exp(100 * unit(random))}; });
    add("uniform with one point at x = 1e15", [&](int i) { return std::pair{i == n / 2 ? 1e15 : unit(random), unit(random)}; });
    add("heavy-tailed", [&](int) {
        const double t = turn * unit(random), s = unit(random);
        const double radius = std::sqrt(1.0 / ((1.0 - s) * (1.0 - s)) - 1.0);
        return std::pair{radius * std::cos(t), radius * std::sin(t)};
    });
    const int side = static_cast<int>(std::sqrt(static_cast<double>(n)));
    PointSet tilted = tiltedGrid(side, 30 * std::numbers::pi / 180, "30 deg");
    tilted.name += ", n " + std::to_string(side * side);
    sets.push_back(std::move(tilted));
    return sets;
}

}  // namespace sweeptri::testing
