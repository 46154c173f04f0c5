// The number of threads never changes an answer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "interpolation_calls.hpp"
#include "internal_switches.hpp"

namespace {

using namespace trinterp::testing;

bool sameBits(const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

TEST(TrinterpThreads, AnyNumberOfThreadsGivesTheAnswersOfOne)
{
    const Points p = randomPoints(5000, 51);
    const Points q = randomPoints(30000, 52, -0.02, 1.02);
    std::vector<double> z(p.x.size());
    for (std::size_t i = 0; i < z.size(); ++i) z[i] = std::sin(7 * p.x[i]) * std::cos(5 * p.y[i]);
    std::vector<double> overlapping = delaunayRows(p.x, p.y);
    // Rows that are no triangulation take the other search.
    overlapping.insert(overlapping.begin() + static_cast<std::ptrdiff_t>(overlapping.size() / 3), 1.0);
    overlapping.insert(overlapping.begin() + static_cast<std::ptrdiff_t>(2 * (overlapping.size() / 3) + 1), 2.0);
    overlapping.push_back(3.0);
    for (const auto& tri : {delaunayRows(p.x, p.y), overlapping})
        for (const char* method : {"linear", "natural"}) {
            Call c;
            c.x = p.x;
            c.y = p.y;
            c.values(z);
            c.tri = tri;
            c.method = method;
            c.queries(q.x, q.y);
            trinterp::setWorkerCount(1);
            const std::vector<double> one = results(runCore(c));
            for (const int workers : {2, 3, 8}) {
                trinterp::setWorkerCount(workers);
                EXPECT_TRUE(sameBits(results(runCore(c)), one)) << method << " with " << workers << " threads";
            }
            trinterp::setWorkerCount(0);
            EXPECT_TRUE(sameBits(results(runPlugin(c)), one)) << method << " through the plug-in";
        }
}

}  // namespace
