#include "threaded_point_sets.hpp"

#include <cmath>
#include <random>
#include <set>
#include <utility>

namespace sweeptri::testing {

namespace {

NamedPoints uniform(const std::string& name, int n, unsigned seed, double scale)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::set<std::pair<double, double>> seen;
    NamedPoints set{name, {}, {}};
    while (static_cast<int>(set.x.size()) < n) {
        const double x = unit(random) * scale, y = unit(random) * scale;
        if (!seen.emplace(x, y).second) continue;
        set.x.push_back(x);
        set.y.push_back(y);
    }
    return set;
}

NamedPoints grid(int side)
{
    NamedPoints set{"exact grid", {}, {}};
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j) {
            set.x.push_back(j);
            set.y.push_back(i);
        }
    return set;
}

// Every lattice point on the circle of radius 5525 = 5^2 * 13 * 17 (many of
// them), and the centre with them when asked.
NamedPoints latticeCircle(bool withCentre)
{
    constexpr long long radius = 5525;
    NamedPoints set{withCentre ? "lattice circle with centre" : "lattice circle", {}, {}};
    for (long long a = -radius; a <= radius; ++a) {
        const long long rest = radius * radius - a * a;
        const auto b = static_cast<long long>(std::llround(std::sqrt(static_cast<double>(rest))));
        if (b * b != rest) continue;
        set.x.push_back(static_cast<double>(a));
        set.y.push_back(static_cast<double>(b));
        if (b != 0) {
            set.x.push_back(static_cast<double>(a));
            set.y.push_back(static_cast<double>(-b));
        }
    }
    if (withCentre) {
        set.x.push_back(0);
        set.y.push_back(0);
    }
    return set;
}

NamedPoints line(const std::string& name, int n, double dx, double dy)
{
    NamedPoints set{name, {}, {}};
    for (int i = 0; i < n; ++i) {
        set.x.push_back(i * dx);
        set.y.push_back(i * dy);
    }
    return set;
}

// Half the points near 1e-300, half near 1e300, in one set.
NamedPoints tinyBesideHuge(int n)
{
    NamedPoints tiny = uniform("", n / 2, 11, 1e-300);
    const NamedPoints huge = uniform("", n - n / 2, 12, 1e300);
    tiny.name = "1e-300 beside 1e300";
    tiny.x.insert(tiny.x.end(), huge.x.begin(), huge.x.end());
    tiny.y.insert(tiny.y.end(), huge.y.begin(), huge.y.end());
    return tiny;
}

}  // namespace

std::vector<NamedPoints> threadedSweepSets(int size)
{
    std::vector<NamedPoints> sets;
    sets.push_back(uniform("uniform", size, 1, 1.0));
    sets.push_back(grid(static_cast<int>(std::sqrt(static_cast<double>(size)))));
    sets.push_back(latticeCircle(false));
    sets.push_back(latticeCircle(true));
    sets.push_back(line("horizontal line", 200, 1.0, 0.0));
    sets.push_back(line("vertical line", 200, 0.0, 1.0));
    NamedPoints nearLine = line("line with one point off", 500, 1.0, 0.0);
    nearLine.x.push_back(250.5);
    nearLine.y.push_back(1e-9);
    sets.push_back(nearLine);
    sets.push_back(uniform("magnitude 1e300", size / 4, 2, 1e300));
    sets.push_back(uniform("magnitude 1e-300", size / 4, 3, 1e-300));
    sets.push_back(uniform("magnitude 1e-320 (subnormal)", size / 8, 4, 1e-320));
    sets.push_back(tinyBesideHuge(size / 8));
    for (int n = 0; n <= 3; ++n) sets.push_back(uniform(std::to_string(n) + " points", n, 5 + n, 1.0));
    return sets;
}

}  // namespace sweeptri::testing
