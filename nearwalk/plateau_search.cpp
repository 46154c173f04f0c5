#include "plateau_search.hpp"

#include <cstddef>
#include <cstring>

#include "greedy_walk.hpp"
#include "ky.h"
#include "search_state.hpp"

namespace nearwalk {

namespace {

// Working memory of the running call, taken from the host on the first
// plateau: a mark per data point (equal to the current stamp once the
// point has joined the running search's plateau) and the plateau points
// waiting for their scan. Each point joins a plateau at most once, so n
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

void resetPlateauSearch()
{
    marks = nullptr;
    waiting = nullptr;
    stamp = 0;
}

PlateauExit searchPlateau(double qx, double qy, std::int32_t start, double plateau, std::int64_t& budget)
{
    prepareWorkingMemory();
    const std::int32_t* const rowIndex = searchState.rowIndex;
    const std::int32_t* const columnStart = searchState.columnStart;
    std::int32_t head = 0, tail = 0;
    marks[start] = stamp;
    // The walk's last scan has evaluated and paid for every neighbour of
    // the start: finding the tied ones again costs nothing.
    for (std::int32_t e = columnStart[start]; e < columnStart[start + 1]; ++e) {
        const std::int32_t k = rowIndex[e];
        if (marks[k] != stamp && squaredDistance(qx, qy, k) == plateau) {
            marks[k] = stamp;
            waiting[tail++] = k;
        }
    }
    PlateauExit exit{-1, plateau};
    while (head < tail) {
        const std::int32_t p = waiting[head++];
        const std::int32_t end = columnStart[p + 1];
        for (std::int32_t e = columnStart[p]; e < end; ++e) {
            if (budget <= 0) return exit;
            const std::int32_t k = rowIndex[e];
            const double d = squaredDistance(qx, qy, k);  // checks k
            --budget;
            if (d < exit.distance) {
                exit = {k, d};
            } else if (d == plateau && marks[k] != stamp) {
                marks[k] = stamp;
                waiting[tail++] = k;
            }
        }
        if (exit.point >= 0) return exit;
    }
    return exit;
}

}  // namespace nearwalk
