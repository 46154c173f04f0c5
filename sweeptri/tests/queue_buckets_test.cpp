// The queue's fine buckets must not change a single row: every call gives
// the same matrix with one bucket per site as with 4 x sizeUnit buckets.
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "call_runner.hpp"
#include "event_queue.hpp"
#include "plugin_testing.hpp"
#include "triangulate_call.hpp"

namespace sweeptri {
namespace {

void coarseCall(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[])
{
    chainedQueueOnly = true;
    struct Restore {
        ~Restore() { chainedQueueOnly = false; }
    } restore;
    triangulateCall(outputCount, outputs, inputCount, inputs);
}

void expectSameRows(const std::vector<double>& x, const std::vector<double>& y, bool sorted)
{
    const auto xs = ky::testing::row(x);
    const auto ys = ky::testing::row(y);
    const auto option = ky::testing::text("sorted");
    std::vector<const kyArray*> inputs{xs.get(), ys.get()};
    if (sorted) inputs.push_back(option.get());
    const ky::CallOutcome fine = ky::testing::call(triangulateCall, 1, inputs);
    const ky::CallOutcome coarse = ky::testing::call(coarseCall, 1, inputs);
    ASSERT_EQ(fine.error, coarse.error);
    EXPECT_EQ(fine.warnings, coarse.warnings);
    ASSERT_EQ(fine.result == nullptr, coarse.result == nullptr);
    if (!fine.result) return;
    ASSERT_EQ(fine.result->m, coarse.result->m);
    EXPECT_EQ(std::memcmp(fine.result->data, coarse.result->data, 3 * sizeof(double) * fine.result->m), 0);
}

TEST(QueueBuckets, FineBucketsKeepTheRowOrder)
{
    std::mt19937_64 random(31);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> normal(0.0, 1.0);
    for (int n : {200, 3000, 20000}) {
        std::vector<double> x(n), y(n);
        for (int i = 0; i < n; ++i) x[i] = unit(random), y[i] = unit(random);
        expectSameRows(x, y, false);
        // "sorted" with input out of order (the y extent may be negative).
        expectSameRows(x, y, true);
        for (int i = 0; i < n; ++i) {
            const double spread = (i % 7 == 0) ? 0.1 : 0.001;
            x[i] = (i % 5) * 0.2 + spread * normal(random);
            y[i] = (i % 3) * 0.3 + spread * normal(random);
        }
        expectSameRows(x, y, false);
        // Coordinates whose geometry overflows give NaN event keys.
        for (int i = 0; i < n; ++i) x[i] = unit(random) * 1e300, y[i] = (unit(random) - 0.5) * 1e300;
        expectSameRows(x, y, false);
        // Integer grid with repeats, in the given order.
        for (int i = 0; i < n; ++i) x[i] = static_cast<double>(random() % 40), y[i] = static_cast<double>(random() % 40);
        expectSameRows(x, y, true);
    }
}

}  // namespace
}  // namespace sweeptri
