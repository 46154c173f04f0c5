#include "greedy_walk.hpp"

#include "kyx.h"
#include "band_search.hpp"
#include "search_state.hpp"

namespace nearwalk {

namespace {

[[noreturn]] [[gnu::cold]] void raiseOutOfRange()
{
    kyxErrMsgTxt("TRI or S array contains values outside the range of X and Y.");
}

void warnNotConverged()
{
    if (!searchState.warned) {
        kyxWarnMsgTxt("One or more points did not converge.");
        searchState.warned = true;
    }
}

}  // namespace

double squaredDistance(double qx, double qy, std::int32_t k)
{
    if (k < 0 || k >= searchState.pointCount) [[unlikely]]
        raiseOutOfRange();
    const double dx = searchState.xy[2 * static_cast<std::size_t>(k)] - qx;
    const double dy = searchState.xy[2 * static_cast<std::size_t>(k) + 1] - qy;
    return dy * dy + dx * dx;
}

std::int32_t walkNearest(std::int32_t q, std::int32_t start)
{
    const double qx = searchState.xi[q];
    const double qy = searchState.yi[q];
    // Neighbour evaluations left for the whole walk. Counted in 64 bits so
    // that 2n cannot overflow for the largest point counts.
    std::int64_t budget = 2 * static_cast<std::int64_t>(searchState.pointCount);

    std::int32_t best = start;
    double bestDistance = squaredDistance(qx, qy, start);  // not charged to the budget
    const std::int32_t* const rowIndex = searchState.rowIndex;
    const std::int32_t* const columnStart = searchState.columnStart;
    for (;;) {
        const std::int32_t current = best;
        // A later neighbour must beat the current point and every neighbour
        // scanned before it; a tie never replaces best, so among equally
        // close neighbours the one stored first wins.
        // inBand: a neighbour other than the current point itself is no
        // closer, but close enough that rounding may hide a closer point
        // behind it (read only when nothing was closer, so the limit of
        // the current point's distance is the one that counts).
        bool inBand = false;
        const double limit = bandLimit(bestDistance);
        const std::int32_t end = columnStart[current + 1];
        for (std::int32_t p = columnStart[current]; p < end; ++p) {
            if (budget <= 0) break;
            const std::int32_t k = rowIndex[p];
            const double d = squaredDistance(qx, qy, k);
            // The walk is bound by memory latency: the points of a large
            // set lie scattered in memory. Fetch ahead what the next step
            // reads if it moves to k: k's column start, and, once k is the
            // closest so far, the first row indices of its column.
            __builtin_prefetch(columnStart + k);
            if (d < bestDistance) {
                bestDistance = d;
                best = k;
                __builtin_prefetch(rowIndex + columnStart[k]);
            } else if (d <= limit && k != current) {
                inBand = true;
            }
            --budget;
        }
        // The budget is tested first: a walk that spends its last evaluation
        // in a scan that finds nothing closer has still not converged.
        if (budget == 0) {
            warnNotConverged();
            return best;
        }
        if (best == current) {
            // Nothing can be closer than a distance of 0.
            if (!inBand || bestDistance == 0.0) return best;
            // Stopped beside a neighbour within the rounding band: move on
            // only if a point strictly closer lies beyond the band's points.
            const BandExit exit = searchBand(qx, qy, current, bestDistance, budget);
            if (exit.point < 0) {
                // A search cut short may have missed a closer point.
                if (exit.cut) warnNotConverged();
                return best;
            }
            best = exit.point;
            bestDistance = exit.distance;
        }
    }
}

}  // namespace nearwalk
