#include "band_search.hpp"

#include <cstddef>
#include <cstring>

#include "distance_metrics.hpp"
#include "ky.h"
#include "search_state.hpp"

namespace nearwalk {

namespace {

// Working memory of the running call, taken from the host on the first
// band search: a mark per data point (equal to the current stamp once the
// running search has evaluated the point) and the points in the band
// waiting for their scan. Each point joins a search at most once, so n
// places suffice.
std::uint32_t* marks = nullptr;
std::int32_t* waiting = nullptr;
std::uint32_t stamp = 0;

void prepareWorkingMemory()
{
    const auto n = static_cast<std::size_t>(searchState.pointCount);
    if (marks == nullptr) {
        marks = static_cast<std::uint32_t*>(kyCalloc(n, sizeof(std::uint32_t)));
        waiting = static_cast<std::int32_t*>(kyCalloc(n, sizeof(std::int32_t)));
        stamp = 0;
    }
    if (++stamp == 0) {  // wrapped: clear the old marks
        std::memset(marks, 0, n * sizeof(std::uint32_t));
        stamp = 1;
    }
}

}  // namespace

void resetBandSearch()
{
    marks = nullptr;
    waiting = nullptr;
    stamp = 0;
}

template <class Metric>
BandExit<Metric> searchBand(Metric& metric, std::int32_t start, typename Metric::Distance distance,
                            std::int64_t& budget)
{
    prepareWorkingMemory();
    const std::int32_t* const rowIndex = searchState.rowIndex;
    const std::int32_t* const columnStart = searchState.columnStart;
    const auto limit = Metric::bandLimit(distance);
    std::int32_t head = 0, tail = 0;
    // A point is evaluated at most once per search: marked points have been
    // evaluated (and found no closer than `distance`) and are passed over
    // free of charge, so a search costs at most one evaluation per point.
    marks[start] = stamp;
    // The walk's last scan has evaluated and paid for every neighbour of
    // the start, and found none strictly closer: finding those in the band
    // again costs nothing.
    for (std::int32_t e = columnStart[start]; e < columnStart[start + 1]; ++e) {
        const std::int32_t k = rowIndex[e];
        if (marks[k] == stamp) continue;
        marks[k] = stamp;
        if (Metric::isAtMost(metric.evaluate(k), limit)) waiting[tail++] = k;
    }
    BandExit<Metric> exit{-1, distance, false};
    while (head < tail && !metric.escaped()) {
        const std::int32_t p = waiting[head++];
        const std::int32_t end = columnStart[p + 1];
        for (std::int32_t e = columnStart[p]; e < end; ++e) {
            const std::int32_t k = rowIndex[e];
            // Only indices of data points are ever marked; any other index
            // goes on to the metric, which raises the range error.
            if (k >= 0 && k < searchState.pointCount && marks[k] == stamp) continue;
            if (budget <= 0) {
                exit.cut = exit.point < 0;
                return exit;
            }
            const auto d = metric.evaluate(k);  // checks k
            --budget;
            marks[k] = stamp;
            if (Metric::isLess(d, exit.distance)) {
                metric.trust(d, k);
                exit.point = k;
                exit.distance = d;
            } else if (Metric::isAtMost(d, limit)) {
                waiting[tail++] = k;
            }
        }
        if (exit.point >= 0) return exit;
    }
    return exit;
}

template BandExit<WindowMetric> searchBand(WindowMetric&, std::int32_t, double, std::int64_t&);
template BandExit<WideMetric> searchBand(WideMetric&, std::int32_t, WideDistance, std::int64_t&);

}  // namespace nearwalk
