// Coordinates of any magnitude: scaling a set by a power of two must not
// change a single row, for tiny and huge magnitudes as for ordinary ones,
// and denormal coordinates triangulate like the whole numbers they are
// multiples of.
#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <numbers>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "coordinate_scaling.hpp"
#include "triangulation_checks.hpp"

namespace sweeptri::testing {
namespace {

struct PointSet {
    std::vector<double> x, y;
};

PointSet grid(int side)
{
    PointSet set;
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j) {
            set.x.push_back(i);
            set.y.push_back(j);
        }
    return set;
}

// Cocircular points: the regular polygon is fully degenerate, the other has
// its angles disturbed.
PointSet circle(int count, double disturbance)
{
    PointSet set;
    for (int k = 0; k < count; ++k) {
        const double angle = 2 * std::numbers::pi * k / count + (k % 3) * disturbance;
        set.x.push_back(std::cos(angle));
        set.y.push_back(std::sin(angle));
    }
    return set;
}

PointSet randomSet(unsigned seed, int n)
{
    PointSet set;
    randomPoints(seed, n, set.x, set.y);
    return set;
}

PointSet scaled(const PointSet& set, int exponent)
{
    PointSet result = set;
    for (double& v : result.x) v = std::ldexp(v, exponent);
    for (double& v : result.y) v = std::ldexp(v, exponent);
    return result;
}

// Binary exponents of the smallest non-zero and of the largest magnitude.
std::pair<int, int> exponentRange(const PointSet& set)
{
    int smallest = INT_MAX, largest = INT_MIN;
    for (const auto* values : {&set.x, &set.y})
        for (double v : *values)
            if (v != 0.0) {
                smallest = std::min(smallest, std::ilogb(v));
                largest = std::max(largest, std::ilogb(v));
            }
    return {smallest, largest};
}

void expectSameTriangulation(const Triangulation& scaledResult, const Triangulation& original, int exponent)
{
    ASSERT_EQ(scaledResult.error, original.error) << "2^" << exponent;
    ASSERT_EQ(scaledResult.rows, original.rows) << "2^" << exponent;
    ASSERT_EQ(scaledResult.warnings, original.warnings) << "2^" << exponent;
}

// Every power of two from 2^-1000 to 2^1000 that keeps all values normal.
void expectScaleFreeRows(const PointSet& set)
{
    const Triangulation original = triangulate(set.x, set.y);
    ASSERT_FALSE(original.error);
    ASSERT_FALSE(original.rows.empty());
    const auto [smallest, largest] = exponentRange(set);
    int tried = 0;
    for (int k = -1000; k <= 1000; ++k) {
        if (smallest + k < DBL_MIN_EXP - 1 || largest + k > DBL_MAX_EXP - 1) continue;
        const PointSet s = scaled(set, k);
        expectSameTriangulation(triangulate(s.x, s.y), original, k);
        ++tried;
    }
    EXPECT_GT(tried, 1900);
}

TEST(SweeptriExtremeScales, PowerOfTwoScalingKeepsEveryRowOfAGrid) { expectScaleFreeRows(grid(10)); }

TEST(SweeptriExtremeScales, PowerOfTwoScalingKeepsEveryRowOfCircles)
{
    expectScaleFreeRows(circle(64, 0.0));
    expectScaleFreeRows(circle(61, 1e-3));
}

TEST(SweeptriExtremeScales, PowerOfTwoScalingKeepsEveryRowOfRandomSets)
{
    expectScaleFreeRows(randomSet(7, 200));
    // A set around a centre far from the origin: small differences, large
    // magnitudes.
    PointSet offset = randomSet(8, 100);
    for (double& v : offset.x) v = 1000.0 + v;
    expectScaleFreeRows(offset);
}

// A proper triangulation of a side-by-side grid whose point k sits at grid
// place (k / side, k % side): clockwise rows, two per unit cell, split along
// one diagonal.
void expectGridTriangulation(const Triangulation& result, const PointSet& set, int side)
{
    ASSERT_FALSE(result.error) << *result.error;
    ASSERT_EQ(static_cast<int>(result.rows.size()), 2 * (side - 1) * (side - 1));
    EXPECT_TRUE(allClockwise(result.rows, set.x, set.y));
    std::vector<std::vector<Row>> cells(static_cast<std::size_t>((side - 1) * (side - 1)));
    for (const Row& row : result.rows) {
        int iMin = side, jMin = side, iMax = -1, jMax = -1;
        for (int k : row) {
            iMin = std::min(iMin, (k - 1) / side), iMax = std::max(iMax, (k - 1) / side);
            jMin = std::min(jMin, (k - 1) % side), jMax = std::max(jMax, (k - 1) % side);
        }
        ASSERT_TRUE(iMax == iMin + 1 && jMax == jMin + 1) << row[0] << "," << row[1] << "," << row[2];
        cells[static_cast<std::size_t>(iMin * (side - 1) + jMin)].push_back(row);
    }
    for (const auto& cell : cells) {
        ASSERT_EQ(cell.size(), 2u);
        std::set<int> shared;
        for (int a : cell[0])
            for (int b : cell[1])
                if (a == b) shared.insert(a);
        ASSERT_EQ(shared.size(), 2u);
        // The shared corners are diagonal: they differ in both grid places.
        const int a = *shared.begin() - 1, b = *shared.rbegin() - 1;
        EXPECT_TRUE(a / side != b / side && a % side != b % side);
    }
}

TEST(SweeptriExtremeScales, TheGridAtTinyAndHugeDecimalScales)
{
    const int side = 100;
    const PointSet unit = grid(side);
    for (double factor : {1e-300, 1e-200, 1e160, 1e200, 1e300}) {
        PointSet set = unit;
        for (double& v : set.x) v *= factor;
        for (double& v : set.y) v *= factor;
        expectGridTriangulation(triangulate(set.x, set.y), set, side);
    }
}

// Denormal coordinates are whole multiples of 2^-1074 (5e-324).
const int smallestDenormalExponent = DBL_MIN_EXP - DBL_MANT_DIG;

TEST(SweeptriExtremeScales, DenormalPointsTriangulateLikeTheirMultiples)
{
    const std::vector<PointSet> sets = {
        {{0, 1, 0}, {0, 0, 1}},       {{1, 2, 1}, {1, 1, 2}}, {{2, 4, 2}, {2, 2, 4}},
        {{0, 2, 1}, {0, 0, 1}},       {{0, 1, 0, 1}, {0, 0, 1, 1}}, grid(5),
        {{3, 700, 9, 350}, {1, 2, 640, 300}},
    };
    for (const PointSet& set : sets) {
        const PointSet denormal = scaled(set, smallestDenormalExponent);
        ASSERT_EQ(denormal.x[1], set.x[1] * 5e-324);
        expectSameTriangulation(triangulate(denormal.x, denormal.y), triangulate(set.x, set.y),
                                smallestDenormalExponent);
    }
    PointSet integers;  // random whole numbers below 2^20: denormal up to 2^-1054
    std::mt19937_64 random(3);
    std::set<std::pair<double, double>> seen;
    while (integers.x.size() < 150) {
        const double px = static_cast<double>(random() % (1u << 20)), py = static_cast<double>(random() % (1u << 20));
        if (!seen.emplace(px, py).second) continue;
        integers.x.push_back(px);
        integers.y.push_back(py);
    }
    const PointSet denormal = scaled(integers, smallestDenormalExponent);
    expectSameTriangulation(triangulate(denormal.x, denormal.y), triangulate(integers.x, integers.y),
                            smallestDenormalExponent);
}

int scaleExponentOf(const std::vector<std::pair<int, int>>& exponents)
{
    std::vector<Site> sites;
    for (auto [ex, ey] : exponents) sites.push_back(Site{std::ldexp(1.0, ex), -std::ldexp(1.5, ey), 0, 0});
    return siteScaleExponent(sites.data(), static_cast<std::int32_t>(sites.size()));
}

TEST(SiteScaleExponent, SafeRangesAreLeftAsTheyAre)
{
    EXPECT_EQ(scaleExponentOf({{-128, 0}, {128, 3}}), 0);
    EXPECT_EQ(scaleExponentOf({{-5, -5}}), 0);
    std::vector<Site> zeros{{0.0, -0.0, 0, 0}};
    EXPECT_EQ(siteScaleExponent(zeros.data(), 1), 0);
}

TEST(SiteScaleExponent, OtherRangesAreCentredAndStayExact)
{
    EXPECT_EQ(scaleExponentOf({{0, 0}, {129, 0}}), -64);
    EXPECT_EQ(scaleExponentOf({{-129, 0}, {-129, -129}}), 65);
    EXPECT_EQ(scaleExponentOf({{-129, -129}}), 129);
    EXPECT_EQ(scaleExponentOf({{-1074, -1074}, {-1070, -1074}}), 1072);  // denormals go up
    // Nothing is scaled down below the normal range, nor up past the largest
    // double.
    EXPECT_EQ(scaleExponentOf({{-1000, 0}, {1023, 0}}), -11);
    EXPECT_EQ(scaleExponentOf({{-1021, 0}, {1023, 0}}), -1);
    EXPECT_EQ(scaleExponentOf({{-1010, 0}, {1023, 0}}), -6);
    EXPECT_EQ(scaleExponentOf({{-1074, 0}, {1020, 0}}), 3);
    EXPECT_EQ(scaleExponentOf({{-1040, 0}, {1010, 0}}), 13);
}

}  // namespace
}  // namespace sweeptri::testing
