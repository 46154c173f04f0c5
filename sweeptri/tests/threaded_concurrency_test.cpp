// The threaded sweep on four threads at once gives every set the rows and
// warning it gives alone; refusals on one thread leave the others' calls
// alone. Also run under ThreadSanitizer, which reports any state the calls
// share.
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "threaded_point_sets.hpp"
#include "threaded_sweep.hpp"

namespace {

namespace st = sweeptri::testing;
namespace threaded = sweeptri::threaded;

#if defined(__SANITIZE_THREAD__)
constexpr int setSize = 10000;
constexpr int rounds = 3;
#else
constexpr int setSize = 20000;
constexpr int rounds = 3;
#endif
constexpr int threadCount = 4;

threaded::SweepRows callThreaded(const st::NamedPoints& set)
{
    return threaded::triangulate(set.x.data(), set.y.data(), static_cast<std::int32_t>(set.x.size()));
}

TEST(ThreadedSweepConcurrency, FourThreadsGiveEachSetItsRowsAlone)
{
    const std::vector<st::NamedPoints> sets = st::threadedSweepSets(setSize);
    std::vector<threaded::SweepRows> alone;
    for (const auto& set : sets) alone.push_back(callThreaded(set));

    // Each thread takes the sets in its own rotation, so that different
    // kinds of call (plain sweeps, repairs, recomputations, refusals)
    // overlap.
    std::vector<std::vector<std::size_t>> mismatches(threadCount);
    std::vector<int> refusals(threadCount, 0), attempts(threadCount, 0);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t)
        threads.emplace_back([&, t] {
            ++ready;
            while (ready.load() < threadCount) std::this_thread::yield();
            st::NamedPoints repeated = sets.front();
            repeated.x.push_back(repeated.x[3]);
            repeated.y.push_back(repeated.y[3]);
            for (int round = 0; round < rounds; ++round)
                for (std::size_t k = 0; k < sets.size(); ++k) {
                    const std::size_t s = (k + static_cast<std::size_t>(t) * 3) % sets.size();
                    const threaded::SweepRows rows = callThreaded(sets[s]);
                    if (rows.corners != alone[s].corners || rows.collinearWarned != alone[s].collinearWarned)
                        mismatches[t].push_back(s);
                    if (k % 5 != static_cast<std::size_t>(t)) continue;
                    ++attempts[t];
                    try {
                        callThreaded(repeated);
                    } catch (const std::invalid_argument&) {
                        ++refusals[t];
                    }
                }
        });
    for (auto& thread : threads) thread.join();

    for (int t = 0; t < threadCount; ++t) {
        for (std::size_t s : mismatches[t]) ADD_FAILURE() << "thread " << t << ": " << sets[s].name;
        EXPECT_GT(attempts[t], 0);
        EXPECT_EQ(refusals[t], attempts[t]) << "thread " << t;
    }
}

}  // namespace
