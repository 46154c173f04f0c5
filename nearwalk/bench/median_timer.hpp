// Median wall time of repeated runs.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace nearwalk::bench {

// Runs the work `runs` times and returns the median of its wall times in
// seconds. The work returns the seconds it wants counted, so that set-up
// inside one run (such as building inputs) can stay out of the figure.
template <typename Work>
double medianSeconds(int runs, Work&& work)
{
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) times.push_back(work());
    std::sort(times.begin(), times.end());
    const std::size_t middle = times.size() / 2;
    return times.size() % 2 == 1 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
}

// Wall time of one call of the function, in seconds.
template <typename Function>
double secondsOf(Function&& function)
{
    const auto start = std::chrono::steady_clock::now();
    function();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace nearwalk::bench
