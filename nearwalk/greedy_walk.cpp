#include "greedy_walk.hpp"

#include "kyx.h"
#include "plateau_search.hpp"
#include "search_state.hpp"

namespace nearwalk {

namespace {

[[noreturn]] [[gnu::cold]] void raiseOutOfRange()
{
    kyxErrMsgTxt("TRI or S array contains values outside the range of X and Y.");
}

}  // namespace

double squaredDistance(double qx, double qy, std::int32_t k)
{
    if (k < 0 || k >= searchState.pointCount) [[unlikely]]
        raiseOutOfRange();
    const double dx = searchState.x[k] - qx;
    const double dy = searchState.y[k] - qy;
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
        // tied: a neighbour other than the current point itself is exactly
        // as far as the closest seen (read only when nothing was closer).
        bool tied = false;
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
            } else if (d == bestDistance && k != current) {
                tied = true;
            }
            --budget;
        }
        // The budget is tested first: a walk that spends its last evaluation
        // in a scan that finds nothing closer has still not converged.
        if (budget == 0) {
            if (!searchState.warned) {
                kyxWarnMsgTxt("One or more points did not converge.");
                searchState.warned = true;
            }
            return best;
        }
        if (best == current) {
            if (!tied) return best;
            // Converged on a plateau: move on only if a point strictly
            // closer than the plateau lies beyond it.
            const PlateauExit exit = searchPlateau(qx, qy, current, bestDistance, budget);
            if (exit.point < 0) return best;
            best = exit.point;
            bestDistance = exit.distance;
        }
    }
}

}  // namespace nearwalk
