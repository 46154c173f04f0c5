// sweeptri through the real loader and host, with mutated points (small
// grids full of repeats and collinear runs, scaled grids, any doubles),
// mutated shapes and argument counts, and with or without "sorted" --
// also on input that breaks the promise that "sorted" makes. A call ends
// with one of the plug-in's own errors or returns rows of whole point
// numbers from 1 to n that the independent exact check (the one behind
// `kyhost check`) finds to be a Delaunay triangulation of the points.
#include <algorithm>
#include <cmath>
#include <numeric>

#include "fuzz_support.hpp"
#include "plugin_testing.hpp"
#include "triangulation_check.hpp"

namespace {

using namespace ky;
using fuzz::fault;

enum class Option { None, Sorted, OtherText, NotText };

struct Points {
    std::vector<double> x, y;
};

Points mutatedPoints(FuzzedDataProvider& input)
{
    const auto n = input.ConsumeIntegralInRange<std::size_t>(0, 300);
    const int mode = input.ConsumeIntegralInRange<int>(0, 3);
    const double scale = std::ldexp(1.0, input.ConsumeIntegralInRange<int>(-1074, 1023));
    Points points;
    for (std::size_t k = 0; k < n && input.remaining_bytes() > 0; ++k) {
        for (std::vector<double>* axis : {&points.x, &points.y}) {
            switch (mode) {
            case 0: axis->push_back(input.ConsumeIntegralInRange<int>(0, 7)); break;
            case 1: axis->push_back(input.ConsumeIntegral<std::int16_t>() * scale); break;
            case 2: axis->push_back(fuzz::interestingNumber(input, 15)); break;
            default: axis->push_back(input.ConsumeFloatingPoint<double>()); break;
            }
        }
    }
    return points;
}

// Puts the points into sweep order: ascending y, then x. NaN has no place
// in that order (and would break the sort), so such sets stay as they are.
void sortPoints(Points& points)
{
    const auto isNan = [](double value) { return std::isnan(value); };
    if (std::any_of(points.x.begin(), points.x.end(), isNan) || std::any_of(points.y.begin(), points.y.end(), isNan))
        return;
    std::vector<std::size_t> order(points.x.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return points.y[a] < points.y[b] || (points.y[a] == points.y[b] && points.x[a] < points.x[b]);
    });
    Points sorted;
    for (const std::size_t k : order) {
        sorted.x.push_back(points.x[k]);
        sorted.y.push_back(points.y[k]);
    }
    points = std::move(sorted);
}

ArrayHandle vectorArray(const std::vector<double>& values, bool column)
{
    const auto n = static_cast<std::int32_t>(values.size());
    return testing::matrix(column ? n : 1, column ? 1 : n, values);
}

ArrayHandle optionArray(FuzzedDataProvider& input, Option option)
{
    static const char* const texts[] = {"Sorted", "sort", "sorted ", "sortedx", "", "SORTED"};
    switch (option) {
    case Option::Sorted: return testing::text("sorted");
    case Option::OtherText: return testing::text(texts[input.ConsumeIntegralInRange<std::size_t>(0, std::size(texts) - 1)]);
    default: return fuzz::otherClassArray(input);
    }
}

void expectTriangleRows(const kyArray* result, std::size_t n)
{
    if (result->arrayClass != ArrayClass::Double || result->n != 3) fault("TRI is not an M-by-3 real matrix");
    if (static_cast<std::size_t>(result->m) > 2 * n + 100) fault("more rows than the capacity");
    const auto* corners = static_cast<const double*>(result->data);
    for (std::int64_t k = 0; k < elementCount(result); ++k)
        if (!(corners[k] >= 1 && corners[k] <= static_cast<double>(n) && corners[k] == std::floor(corners[k])))
            fault("a corner that is not a point number: " + std::to_string(corners[k]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const kyxFunctionType sweeptri = testing::builtPlugin("sweeptri");
    FuzzedDataProvider input(data, size);
    const auto option = static_cast<Option>(input.ConsumeIntegralInRange<int>(0, 15) % 4 == 3
                                                ? input.ConsumeIntegralInRange<int>(2, 3)
                                                : input.ConsumeIntegralInRange<int>(0, 1));
    const bool keepPromise = input.ConsumeBool();
    const bool columns = input.ConsumeBool();
    const bool dropY = input.ConsumeIntegralInRange<int>(0, 31) == 0;
    const int extraArguments = input.ConsumeIntegralInRange<int>(0, 31) == 0 ? 1 : 0;
    const int outputCount = input.ConsumeIntegralInRange<int>(0, 31) == 0 ? 2 : input.ConsumeIntegralInRange<int>(0, 1);
    Points points = mutatedPoints(input);
    if (option == Option::Sorted && keepPromise) sortPoints(points);
    if (dropY && !points.y.empty()) points.y.pop_back();

    std::vector<ArrayHandle> arrays;
    arrays.push_back(vectorArray(points.x, columns));
    arrays.push_back(vectorArray(points.y, !columns));
    if (option != Option::None) arrays.push_back(optionArray(input, option));
    for (int k = 0; k < extraArguments; ++k) arrays.push_back(testing::text("sorted"));
    const CallOutcome outcome = testing::call(sweeptri, outputCount, fuzz::handles(arrays));
    fuzz::expectKnownOutcome(outcome, {"Wrong number of input parameters.", "Too many output arguments.",
                                       "X and Y must be the same size.", "X and Y must be real double arrays.",
                                       "Third input parameter must be the string 'sorted'",
                                       "X and Y must contain only finite values.", "x-y data must be unique",
                                       "Not enough triangles allocated.", "Points are not sorted: ..."});
    if (!outcome.error && outcome.result) {
        expectTriangleRows(outcome.result.get(), points.x.size());
        const kyArray* tri = outcome.result.get();
        const inspect::PointSet checked{points.x.data(), points.y.data(), points.x.size()};
        const inspect::TriangleRows rows{static_cast<const double*>(tri->data), static_cast<std::size_t>(tri->m)};
        if (!inspect::checkTriangulation(checked, rows).isDelaunay()) fault("not a Delaunay triangulation of the points");
    }
    return 0;
}
