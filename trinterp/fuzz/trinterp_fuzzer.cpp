// trinterp through the real loader and host: points on small grids (many
// on one line or circle) or of any magnitude, TRI from sweeptri or made of
// any corners (out of range, NaN, fractions, repeated, overlapping rows),
// values with NaN and infinities, queries of any shape and value, each
// method and bad ones. A call ends with one of the plug-in's own errors or
// returns ZI of the right shape, NaN for every query that is not finite,
// and, where the weights cannot be negative (linear on any rows, natural on
// sweeptri's Delaunay rows), values within the range of the finite Z.
#include <algorithm>
#include <cmath>
#include <string>

#include "fuzz_support.hpp"
#include "plugin_testing.hpp"

namespace {

using namespace ky;
using fuzz::fault;

double corner(FuzzedDataProvider& input, std::int32_t n)
{
    if (input.ConsumeIntegralInRange<int>(0, 15) == 0) return fuzz::interestingNumber(input, n + 2.0);
    return n > 0 ? input.ConsumeIntegralInRange<std::int32_t>(1, n) : 1.0;
}

// TRI of the points from sweeptri, or empty when it refuses them.
ArrayHandle sweeptriRows(const kyArray* x, const kyArray* y)
{
    static const kyxFunctionType sweeptri = testing::builtPlugin("sweeptri");
    CallOutcome outcome = testing::call(sweeptri, 1, {x, y});
    if (outcome.error || !outcome.result) return ArrayHandle(createDouble(0, 3));
    return std::move(outcome.result);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const kyxFunctionType trinterp = testing::builtPlugin("trinterp");
    FuzzedDataProvider input(data, size);
    const auto n = input.ConsumeIntegralInRange<std::int32_t>(0, 30);
    const bool fromSweeptri = input.ConsumeBool();
    const auto rowCount = input.ConsumeIntegralInRange<std::int32_t>(0, 50);
    const auto valueCount = input.ConsumeIntegralInRange<std::int32_t>(0, 3);
    const bool valuesAsRow = valueCount == 1 && input.ConsumeBool();
    const auto queryRows = input.ConsumeIntegralInRange<std::int32_t>(0, 8);
    const auto queryCols = input.ConsumeIntegralInRange<std::int32_t>(0, 8);
    const int methodKind = input.ConsumeIntegralInRange<int>(0, 5);  // none, linear, natural, NATURAL, other, number
    const bool mismatch = input.ConsumeIntegralInRange<int>(0, 31) == 0;
    const int outputCount = input.ConsumeIntegralInRange<int>(0, 31) == 0 ? 2 : 1;
    const bool rawCoordinates = input.ConsumeIntegralInRange<int>(0, 3) == 0;
    const auto coordinate = [&] {
        return rawCoordinates ? fuzz::interestingNumber(input, 5) : input.ConsumeIntegralInRange<int>(0, 5) * 0.5;
    };
    const bool rawValues = input.ConsumeIntegralInRange<int>(0, 3) == 0;
    const auto value = [&] { return rawValues ? fuzz::interestingNumber(input, 9) : input.ConsumeIntegralInRange<int>(-9, 9); };

    std::vector<ArrayHandle> arrays;
    arrays.push_back(fuzz::doubleMatrix(1, n, coordinate));
    arrays.push_back(fuzz::doubleMatrix(1, mismatch && input.ConsumeBool() ? n + 1 : n, coordinate));
    arrays.push_back(valuesAsRow ? fuzz::doubleMatrix(1, n, value)
                                 : fuzz::doubleMatrix(mismatch && input.ConsumeBool() ? n + 2 : n, valueCount, value));
    if (fromSweeptri)
        arrays.push_back(sweeptriRows(arrays[0].get(), arrays[1].get()));
    else
        arrays.push_back(fuzz::doubleMatrix(rowCount, mismatch && input.ConsumeBool() ? 2 : 3, [&] { return corner(input, n); }));
    arrays.push_back(fuzz::doubleMatrix(queryRows, queryCols, coordinate));
    arrays.push_back(fuzz::doubleMatrix(queryRows, mismatch && input.ConsumeBool() ? queryCols + 1 : queryCols, coordinate));
    static const char* const methods[] = {"linear", "natural", "NATURAL", "cubic"};
    if (methodKind >= 1 && methodKind <= 4) arrays.push_back(ArrayHandle(createChar(methods[methodKind - 1])));
    if (methodKind == 5) arrays.push_back(fuzz::doubleMatrix(1, 1, [] { return 1.0; }));
    if (input.ConsumeIntegralInRange<int>(0, 31) == 0) {
        if (input.ConsumeBool())
            arrays[input.ConsumeIntegralInRange<std::size_t>(0, 5)] = fuzz::otherClassArray(input);
        else
            arrays.resize(input.ConsumeIntegralInRange<std::size_t>(0, 8));
        for (auto& array : arrays)
            if (!array) array = fuzz::doubleMatrix(1, 1, [] { return 1.0; });
    }

    const CallOutcome outcome = testing::call(trinterp, outputCount, fuzz::handles(arrays));
    fuzz::expectKnownOutcome(outcome, {"Too many input arguments.", "Not enough input arguments.",
                                       "Too many output arguments.", "X and Y must be the same length.",
                                       "Z must be n-by-k or 1-by-n, where n is the length of X and Y.",
                                       "TRI must be M-by-3.", "XI and YI must be the same size.",
                                       "X must be a real full double matrix.", "Y must be a real full double matrix.",
                                       "Z must be a real full double matrix.", "TRI must be a real full double matrix.",
                                       "XI must be a real full double matrix.", "YI must be a real full double matrix.",
                                       "METHOD must be 'linear' or 'natural'.",
                                       "X and Y must contain only finite values.",
                                       "TRI must contain whole numbers from 1 to the length of X and Y."});
    if (outcome.error || !outcome.result) return 0;
    for (const std::string& warning : outcome.warnings)
        if (warning != "TRI is not a Delaunay triangulation: the natural-neighbor weights follow its rows and may not be Sibson's.")
            fault("an unknown warning: " + warning);
    if (outcome.warnings.size() > 1) fault("a warning issued twice");

    const kyArray* result = outcome.result.get();
    const kyArray* xi = arrays[4].get();
    const kyArray* z = arrays[2].get();
    const std::int64_t queries = elementCount(xi);
    const std::int32_t k = z->m == 1 && z->n == n && n != 1 ? 1 : z->n;
    if (k == 1 ? (result->m != xi->m || result->n != xi->n) : (result->m != queries || result->n != k))
        fault("ZI does not have the shape it should");
    const auto* zi = static_cast<const double*>(result->data);
    const auto* qx = static_cast<const double*>(xi->data);
    const auto* qy = static_cast<const double*>(arrays[5]->data);
    const auto* values = static_cast<const double*>(z->data);
    double low = INFINITY, high = -INFINITY;
    bool finite = true;
    for (std::int64_t i = 0; i < elementCount(z); ++i) {
        finite = finite && std::isfinite(values[i]) && std::fabs(values[i]) < 1e300;
        low = std::min(low, values[i]);
        high = std::max(high, values[i]);
    }
    const bool weightsNotNegative = methodKind <= 1 || (fromSweeptri && outcome.warnings.empty());
    const double slack = 1e-9 * (std::fabs(low) + std::fabs(high));
    for (std::int64_t q = 0; q < queries; ++q)
        for (std::int32_t j = 0; j < k; ++j) {
            const double v = zi[q + j * queries];
            if (!std::isfinite(qx[q]) || !std::isfinite(qy[q])) {
                if (!std::isnan(v)) fault("a query with a non-finite coordinate got a value");
            } else if (finite && weightsNotNegative && !std::isnan(v) && (v < low - slack || v > high + slack)) {
                fault("a value outside the range of Z where the weights are not negative");
            }
        }
    return 0;
}
