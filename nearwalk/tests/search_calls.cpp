#include "search_calls.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <set>

namespace nearwalk::testing {

ky::ArrayHandle neighbourMatrix(std::int32_t rows, const std::vector<std::vector<std::int32_t>>& columns)
{
    std::size_t entries = 0;
    for (const auto& column : columns) entries += column.size();
    ky::ArrayHandle s(ky::createSparse(rows, static_cast<std::int32_t>(columns.size()), entries));
    std::int32_t at = 0;
    for (std::size_t j = 0; j < columns.size(); ++j) {
        s->jc[j] = at;
        for (const std::int32_t row : columns[j]) {
            s->ir[at] = row;
            static_cast<double*>(s->data)[at] = 1.0;
            ++at;
        }
    }
    s->jc[columns.size()] = at;
    return s;
}

kyxFunctionType plugin()
{
    static const kyxFunctionType entry = ky::testing::builtPlugin("nearwalk");
    return entry;
}

ky::CallOutcome search(const kyArray* x, const kyArray* y, const kyArray* tri, const kyArray* xi,
                       const kyArray* yi, const kyArray* s)
{
    if (s == nullptr) return ky::testing::call(plugin(), 1, {x, y, tri, xi, yi});
    return ky::testing::call(plugin(), 1, {x, y, tri, xi, yi, s});
}

std::vector<double> answers(const ky::CallOutcome& outcome)
{
    EXPECT_FALSE(outcome.error) << *outcome.error;
    if (outcome.error || !outcome.result) return {};
    return ky::testing::values(outcome.result.get());
}

std::string errorOf(const ky::CallOutcome& outcome)
{
    EXPECT_TRUE(outcome.error) << "the call succeeded";
    return outcome.error.value_or("");
}

std::vector<std::vector<std::int32_t>> triangleColumns(const std::vector<double>& tri, std::size_t n)
{
    const std::size_t m = tri.size() / 3;
    std::vector<std::set<std::int32_t>> sets(n);
    for (std::size_t r = 0; r < m; ++r)
        for (std::size_t a = 0; a < 3; ++a)
            for (std::size_t b = 0; b < 3; ++b)
                if (a != b) sets[std::size_t(tri[b * m + r]) - 1].insert(std::int32_t(tri[a * m + r]) - 1);
    std::vector<std::vector<std::int32_t>> columns;
    for (const auto& set : sets) columns.emplace_back(set.begin(), set.end());
    return columns;
}

double nearestSquaredDistance(const std::vector<double>& x, const std::vector<double>& y, double qx, double qy)
{
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t k = 0; k < x.size(); ++k) {
        const double dx = x[k] - qx;
        const double dy = y[k] - qy;
        const double d = dy * dy + dx * dx;
        if (d < best) best = d;
    }
    return best;
}

Line::Line(const std::vector<double>& xs)
    : x(ky::testing::row(xs)), y(ky::testing::row(std::vector<double>(xs.size(), 0.0)))
{
}

ky::CallOutcome Line::walk(double startCorner, const std::vector<double>& queryX, const kyArray* s) const
{
    ky::ArrayHandle tri = ky::testing::matrix(1, 3, {startCorner, 1, 1});
    ky::ArrayHandle xi = ky::testing::row(queryX);
    ky::ArrayHandle yi = ky::testing::row(std::vector<double>(queryX.size(), 0.0));
    return search(x.get(), y.get(), tri.get(), xi.get(), yi.get(), s);
}

}  // namespace nearwalk::testing
