// The fast site ordering gives the order of a plain comparison sort.
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "call_context.hpp"
#include "site_order.hpp"

namespace sweeptri {
namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Orders the sites both ways; with distinct keys the two orders must agree
// site for site, and with repeats the repeats must end up side by side.
void expectComparisonOrder(const std::vector<double>& x, const std::vector<double>& y)
{
    ky::CallScope call({});
    const auto n = static_cast<std::int32_t>(x.size());
    std::vector<Site> fast(x.size()), reference(x.size());
    orderSites(x.data(), y.data(), fast.data(), n);
    copySites(x.data(), y.data(), reference.data(), n);
    std::sort(reference.begin(), reference.end(),
              [](const Site& a, const Site& b) { return compareSites(a, b) < 0; });

    const bool repeats = findRepeatedSite(reference.data(), n) >= 0;
    EXPECT_EQ(findRepeatedSite(fast.data(), n) >= 0, repeats);
    if (repeats) return;
    for (std::size_t i = 0; i < x.size(); ++i) {
        ASSERT_EQ(fast[i].number, reference[i].number) << i;
        ASSERT_TRUE(sameBits(fast[i].x, x[fast[i].number]) && sameBits(fast[i].y, y[fast[i].number]));
        ASSERT_EQ(fast[i].refCount, 0);
    }
}

TEST(SiteOrder, MatchesComparisonSortOnMixedSignsAndZeros)
{
    std::mt19937 random(7);
    const std::vector<double> pool = {-0.0, 0.0, 1.0, -1.0, 1e-300, -1e-300, 5e-324, -5e-324,
                                      1e300, -1e300, 0.5, -2.5, 3.0, 1e-10, -7.25};
    for (int round = 0; round < 300; ++round) {
        const int n = 1 + static_cast<int>(random() % 40);
        std::vector<double> x(n), y(n);
        for (int i = 0; i < n; ++i) {
            x[i] = pool[random() % pool.size()];
            y[i] = pool[random() % pool.size()];
        }
        expectComparisonOrder(x, y);
    }
}

TEST(SiteOrder, MatchesComparisonSortOnGridsAndRandomSets)
{
    std::vector<double> x, y;
    for (int i = 0; i < 60; ++i)
        for (int j = 0; j < 50; ++j) {
            x.push_back((i * 37 % 60) - 30.0);
            y.push_back((j * 13 % 50) * 0.125);
        }
    expectComparisonOrder(x, y);

    std::mt19937_64 random(11);
    std::normal_distribution<double> normal(0.0, 1e5);
    x.assign(20000, 0);
    y.assign(20000, 0);
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = normal(random);
        y[i] = normal(random);
    }
    expectComparisonOrder(x, y);
}

TEST(SiteOrder, RepeatedPointsAreFoundOnlyAsNeighbours)
{
    const Site sites[] = {{0, 0, 0, 0}, {1, 0, 1, 0}, {0, 0, 2, 0}, {-0.0, 0, 3, 0}};
    EXPECT_EQ(findRepeatedSite(sites, 3), -1);
    EXPECT_EQ(findRepeatedSite(sites, 4), 3);
}

}  // namespace
}  // namespace sweeptri
