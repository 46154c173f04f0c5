// nearwalk through the real loader and host, with mutated data points,
// mutated TRI (corners out of range, NaN, fractions, repeated corners),
// query shapes, and hand-built neighbour matrices S of any size with any
// (well-formed) sparse layout. A call ends with one of the plug-in's own
// errors or returns, in XI's shape, whole point numbers from 1 to n, and
// NaN for query points with a NaN or infinite coordinate.
//
// A quarter of the inputs are judged by exact brute force instead: small
// sets of points at any magnitudes (small whole numbers times up to three
// powers of two from 2^-1074 to 2^1018, mixed in one set), triangulated by
// sweeptri, and queries of the same kind; every answer of a call that
// issues no warning must be a nearest data point.
#include <algorithm>
#include <cmath>
#include <string>

#include "exact_nearest.hpp"
#include "fuzz_support.hpp"
#include "plugin_testing.hpp"

namespace {

using namespace ky;
using fuzz::fault;

// A corner: mostly a point number, sometimes anything.
double corner(FuzzedDataProvider& input, std::int32_t n)
{
    if (input.ConsumeIntegralInRange<int>(0, 15) == 0) return fuzz::interestingNumber(input, n + 2.0);
    return n > 0 ? input.ConsumeIntegralInRange<std::int32_t>(1, n) : 1.0;
}

// An m-by-cols sparse matrix with a sound layout: ascending column starts,
// rows inside the matrix, as every sparse array of the host has.
ArrayHandle neighbourMatrix(FuzzedDataProvider& input, std::int32_t n)
{
    const std::int32_t m = std::max(0, n + input.ConsumeIntegralInRange<std::int32_t>(-2, 3));
    const std::int32_t cols = std::max(0, n + input.ConsumeIntegralInRange<std::int32_t>(-1, 2));
    std::vector<std::int32_t> perColumn(static_cast<std::size_t>(cols));
    std::size_t entries = 0;
    for (auto& count : perColumn) entries += static_cast<std::size_t>(count = m > 0 ? input.ConsumeIntegralInRange<int>(0, 6) : 0);
    ArrayHandle s(createSparse(m, cols, entries));
    s->jc[0] = 0;
    for (std::int32_t j = 0; j < cols; ++j) s->jc[j + 1] = s->jc[j] + perColumn[static_cast<std::size_t>(j)];
    for (std::size_t k = 0; k < entries; ++k) {
        s->ir[k] = input.ConsumeIntegralInRange<std::int32_t>(0, m - 1);
        static_cast<double*>(s->data)[k] = 1;
    }
    return s;
}

// Coordinates of any magnitude: a whole number from -7 to 7 times one of
// the powers of two of the set.
struct MagnitudeMix {
    double scales[3];

    explicit MagnitudeMix(FuzzedDataProvider& input)
    {
        for (double& scale : scales) scale = std::ldexp(1.0, input.ConsumeIntegralInRange<int>(-1074, 1018));
    }

    double next(FuzzedDataProvider& input) const
    {
        const double scale = scales[input.ConsumeIntegralInRange<int>(0, 2)];
        return scale * input.ConsumeIntegralInRange<int>(-7, 7);
    }
};

void judgedDelaunayCall(FuzzedDataProvider& input, kyxFunctionType nearwalk)
{
    static const kyxFunctionType sweeptri = testing::builtPlugin("sweeptri");
    const MagnitudeMix mix(input);
    const auto n = input.ConsumeIntegralInRange<std::int32_t>(3, 24);
    const auto queries = input.ConsumeIntegralInRange<std::int32_t>(1, 12);
    std::vector<double> x, y, qx, qy;
    for (std::int32_t k = 0; k < n; ++k) x.push_back(mix.next(input)), y.push_back(mix.next(input));
    for (std::int32_t q = 0; q < queries; ++q) qx.push_back(mix.next(input)), qy.push_back(mix.next(input));
    const ArrayHandle xs = testing::row(x), ys = testing::row(y), xi = testing::row(qx), yi = testing::row(qy);
    // Repeated points and sets on one line have no triangulation to judge.
    const CallOutcome triangulated = testing::call(sweeptri, 1, {xs.get(), ys.get()});
    if (triangulated.error || !triangulated.result || triangulated.result->m == 0) return;
    const CallOutcome outcome = testing::call(nearwalk, 1, {xs.get(), ys.get(), triangulated.result.get(), xi.get(), yi.get()});
    if (outcome.error) fault("a search over sweeptri's triangles failed: " + *outcome.error);
    // A walk that spends its budget may stop short, and says so.
    if (!outcome.warnings.empty()) return;
    const std::vector<double> found = testing::values(outcome.result.get());
    if (!nearwalk::testing::answersNotNearest(x, y, qx, qy, found).empty()) fault("an answer that is not a nearest point");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const kyxFunctionType nearwalk = testing::builtPlugin("nearwalk");
    FuzzedDataProvider input(data, size);
    if (input.ConsumeIntegralInRange<int>(0, 3) == 0) {
        judgedDelaunayCall(input, nearwalk);
        return 0;
    }
    const auto n = input.ConsumeIntegralInRange<std::int32_t>(0, 40);
    const auto triangles = input.ConsumeIntegralInRange<std::int32_t>(0, 60);
    const auto queryRows = input.ConsumeIntegralInRange<std::int32_t>(0, 6);
    const auto queryCols = input.ConsumeIntegralInRange<std::int32_t>(0, 6);
    const int sMode = input.ConsumeIntegralInRange<int>(0, 3);  // 0, 1: built from TRI; 2: hand-built; 3: not sparse
    const bool mismatch = input.ConsumeIntegralInRange<int>(0, 31) == 0;
    const int outputCount = input.ConsumeIntegralInRange<int>(0, 31) == 0 ? 2 : 1;
    const bool rawCoordinates = input.ConsumeBool();
    const auto coordinate = [&] {
        return rawCoordinates ? fuzz::interestingNumber(input, 7) : input.ConsumeIntegralInRange<int>(0, 7);
    };

    std::vector<ArrayHandle> arrays;
    arrays.push_back(fuzz::doubleMatrix(1, n, coordinate));
    arrays.push_back(fuzz::doubleMatrix(1, mismatch ? n + 1 : n, coordinate));
    arrays.push_back(fuzz::doubleMatrix(triangles, mismatch && input.ConsumeBool() ? 2 : 3, [&] { return corner(input, n); }));
    arrays.push_back(fuzz::doubleMatrix(queryRows, queryCols, coordinate));
    arrays.push_back(fuzz::doubleMatrix(queryRows, mismatch && input.ConsumeBool() ? queryCols + 1 : queryCols, coordinate));
    if (sMode == 2) arrays.push_back(neighbourMatrix(input, n));
    if (sMode == 3) arrays.push_back(input.ConsumeBool() ? fuzz::otherClassArray(input) : fuzz::doubleMatrix(n, n, [] { return 1.0; }));
    if (input.ConsumeIntegralInRange<int>(0, 31) == 0) {
        // A wrong class anywhere, or a wrong argument count.
        if (input.ConsumeBool())
            arrays[input.ConsumeIntegralInRange<std::size_t>(0, 4)] = fuzz::otherClassArray(input);
        else
            arrays.resize(input.ConsumeIntegralInRange<std::size_t>(0, 7));
        for (auto& array : arrays)
            if (!array) array = fuzz::doubleMatrix(1, 1, [] { return 1.0; });
    }

    const CallOutcome outcome = testing::call(nearwalk, outputCount, fuzz::handles(arrays));
    fuzz::expectKnownOutcome(outcome, {"Too many input arguments.", "Not enough input arguments.",
                                       "Too many output arguments.", "X and Y must be the same length.",
                                       "XI and YI must the same size.", "TRI must be M-by-3.",
                                       "X must be a real full double matrix.", "Y must be a real full double matrix.",
                                       "TRI must be a real full double matrix.", "XI must be a real full double matrix.",
                                       "YI must be a real full double matrix.",
                                       "Nearest neighbor matrix must be sparse.",
                                       "Nearest neighbor matrix must have a column for every data point.",
                                       "No data to search.",
                                       "TRI or S array contains values outside the range of X and Y.",
                                       "sparse: ..."});
    if (outcome.error || !outcome.result) return 0;
    const kyArray* found = outcome.result.get();
    const kyArray* xi = arrays[3].get();
    if (found->m != xi->m || found->n != xi->n) fault("K does not have XI's shape");
    const auto* k = static_cast<const double*>(found->data);
    const auto* qx = static_cast<const double*>(xi->data);
    const auto* qy = static_cast<const double*>(arrays[4]->data);
    for (std::int64_t q = 0; q < elementCount(found); ++q) {
        if (!std::isfinite(qx[q]) || !std::isfinite(qy[q])) {
            if (!std::isnan(k[q])) fault("a query with a non-finite coordinate got an answer");
        } else if (!(k[q] >= 1 && k[q] <= n && k[q] == std::floor(k[q]))) {
            fault("an answer that is not a point number");
        }
    }
    return 0;
}
