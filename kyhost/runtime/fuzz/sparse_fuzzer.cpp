// The host function "sparse" with mutated I, J, V, NR and NC: any classes,
// shapes, counts and values. A call either ends with one of sparse's own
// errors or returns the NR-by-NC matrix that a plain map of the pairs gives:
// one entry per distinct pair, rows ascending within each column, its value
// V added once per occurrence.
#include <cmath>
#include <map>
#include <utility>

#include "fuzz_support.hpp"
#include "host_functions.hpp"

namespace {

using namespace ky;
using fuzz::fault;

// Index arrays: mostly whole numbers near the matrix, sometimes anything.
ArrayHandle indexArray(FuzzedDataProvider& input, std::int64_t count)
{
    const auto m = input.ConsumeIntegralInRange<std::int32_t>(0, static_cast<std::int32_t>(count));
    const bool shaped = m > 0 && count % m == 0 && input.ConsumeBool();
    const std::int32_t rows = shaped ? m : 1;
    const auto cols = static_cast<std::int32_t>(count / rows);
    return fuzz::doubleMatrix(rows, cols, [&] { return fuzz::interestingNumber(input, 9); });
}

// A row or column count: small, or an edge the checks must refuse. Large
// valid counts are left out: their column starts alone would take
// gigabytes, which is a question of memory, not of correctness.
ArrayHandle dimension(FuzzedDataProvider& input)
{
    double value = fuzz::interestingNumber(input, 9);
    if (value >= 4096 && value <= 2147483647.0 && value == std::floor(value)) value = 4096;
    return fuzz::doubleMatrix(1, 1, [&] { return value; });
}

void expectPairsMatch(const kyArray* result, const kyArray* rows, const kyArray* cols, double value)
{
    fuzz::expectSparseLayout(result);
    std::map<std::pair<std::int32_t, std::int32_t>, double> expected;  // (column, row) -> sum
    const auto* i = static_cast<const double*>(rows->data);
    const auto* j = static_cast<const double*>(cols->data);
    for (std::int64_t k = 0; k < elementCount(rows); ++k) {
        const auto key = std::make_pair(static_cast<std::int32_t>(j[k]) - 1, static_cast<std::int32_t>(i[k]) - 1);
        auto [at, fresh] = expected.try_emplace(key, value);
        if (!fresh) at->second += value;
    }
    if (static_cast<std::size_t>(result->jc[result->n]) != expected.size()) fault("wrong number of stored entries");
    auto next = expected.begin();
    const auto* values = static_cast<const double*>(ky::arrayData(result));
    for (std::int32_t c = 0; c < result->n; ++c)
        for (std::int32_t k = result->jc[c]; k < result->jc[c + 1]; ++k, ++next) {
            if (next->first != std::make_pair(c, result->ir[k])) fault("entry at the wrong place or out of order");
            const double sum = values[k];
            if (!(sum == next->second || (std::isnan(sum) && std::isnan(next->second)))) fault("wrong summed value");
        }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const int inputCount = input.ConsumeIntegralInRange<int>(0, 15) == 0 ? input.ConsumeIntegralInRange<int>(0, 6) : 5;
    const int outputCount = input.ConsumeIntegralInRange<int>(0, 15) == 0 ? 2 : 1;
    const auto count = input.ConsumeIntegralInRange<std::int64_t>(0, 64);
    std::vector<ArrayHandle> arrays;
    for (int k = 0; k < inputCount; ++k) {
        if (input.ConsumeIntegralInRange<int>(0, 31) == 0) {
            arrays.push_back(fuzz::otherClassArray(input));
        } else if (k < 2) {
            const bool sameCount = input.ConsumeIntegralInRange<int>(0, 15) != 0;
            arrays.push_back(indexArray(input, sameCount ? count : input.ConsumeIntegralInRange<std::int64_t>(0, 64)));
        } else if (k == 2) {
            const bool scalar = input.ConsumeIntegralInRange<int>(0, 15) != 0;
            arrays.push_back(fuzz::doubleMatrix(1, scalar ? 1 : 2, [&] { return fuzz::interestingNumber(input, 3); }));
        } else {
            arrays.push_back(dimension(input));
        }
    }
    const CallOutcome outcome = runCall(findHostFunction("sparse"), outputCount, fuzz::handles(arrays));
    fuzz::expectKnownOutcome(outcome, {"sparse: ..."});
    if (outcome.error) return 0;
    if (!outcome.result) fault("no result and no error");
    const kyArray* result = outcome.result.get();
    if (result->m != static_cast<std::int32_t>(*static_cast<const double*>(arrays[3]->data)) ||
        result->n != static_cast<std::int32_t>(*static_cast<const double*>(arrays[4]->data)))
        fault("the result is not NR-by-NC");
    expectPairsMatch(result, arrays[0].get(), arrays[1].get(), *static_cast<const double*>(arrays[2]->data));
    return 0;
}
