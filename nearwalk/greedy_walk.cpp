#include "greedy_walk.hpp"

#include "band_search.hpp"
#include "distance_metrics.hpp"
#include "kyx.h"
#include "search_state.hpp"

namespace nearwalk {

void raiseOutOfRange()
{
    kyxErrMsgTxt("TRI or S array contains values outside the range of X and Y.");
}

namespace {

void warnNotConverged()
{
    if (!searchState.warned) {
        kyxWarnMsgTxt("One or more points did not converge.");
        searchState.warned = true;
    }
}

// The walk for one query with one metric. Returns the point found, or -1
// when the metric escaped (then nothing has been reported and the result
// means nothing).
template <class Metric>
std::int32_t walkWith(Metric& metric, std::int32_t start)
{
    // Neighbour evaluations left for the whole walk. Counted in 64 bits so
    // that 2n cannot overflow for the largest point counts.
    std::int64_t budget = 2 * static_cast<std::int64_t>(searchState.pointCount);

    std::int32_t best = start;
    auto bestDistance = metric.evaluate(start);  // not charged to the budget
    metric.trust(bestDistance, start);
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
        const auto limit = Metric::bandLimit(bestDistance);
        const std::int32_t end = columnStart[current + 1];
        for (std::int32_t p = columnStart[current]; p < end; ++p) {
            if (budget <= 0) break;
            const std::int32_t k = rowIndex[p];
            const auto d = metric.evaluate(k);
            // The walk is bound by memory latency: the points of a large
            // set lie scattered in memory. Fetch ahead what the next step
            // reads if it moves to k: k's column start, and, once k is the
            // closest so far, the first row indices of its column.
            __builtin_prefetch(columnStart + k);
            if (Metric::isLess(d, bestDistance)) {
                metric.trust(d, k);
                bestDistance = d;
                best = k;
                __builtin_prefetch(rowIndex + columnStart[k]);
            } else if (Metric::isAtMost(d, limit) && k != current) {
                inBand = true;
            }
            --budget;
        }
        if (metric.escaped()) return -1;
        // The budget is tested first: a walk that spends its last evaluation
        // in a scan that finds nothing closer has still not converged.
        if (budget == 0) {
            warnNotConverged();
            return best;
        }
        if (best == current) {
            // Nothing can be closer than a distance of 0.
            if (!inBand || Metric::isZero(bestDistance)) return best;
            // Stopped beside a neighbour within the rounding band: move on
            // only if a point strictly closer lies beyond the band's points.
            const BandExit<Metric> exit = searchBand(metric, current, bestDistance, budget);
            if (metric.escaped()) return -1;
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

}  // namespace

// Why a query's answer depends on nothing but its own walk.
//
// The answer is the point where WideMetric's walk from `start` ends: the
// window walk either escapes (and the wide walk from the same start, with
// a fresh budget, gives the answer) or makes exactly the wide walk's
// decisions. For the latter, every comparison it made came out as the
// wide one (distance_metrics.hpp: its best distance and band limit stayed
// trusted); the walk, the band search, the budget and the warning depend on
// the distances only through these comparisons.
//
// The wide distances of the call's points from a query depend on the
// query's and the data points' coordinates only: the call may have scaled
// all coordinates by one power of two 2^k chosen from all of its queries
// (coordinate_scaling), but the scaled copies are exact, and a wide
// distance of points scaled by 2^k is exactly 4^k times the unscaled one
// (rounding to 53 bits commutes with scaling when no range limit
// intervenes), which leaves every comparison as it is. Whether the window
// walk escapes depends on that scale, but which walk runs does not change
// the answer.
//
// So the answer to query q is a function of q's coordinates, the data
// points, the neighbour graph and the start point alone. The start point is
// the answer to the query before (the walk's seed, as specified); on a
// Delaunay triangulation a walk that keeps its budget ends at a point
// nearest to q by the wide distance, whatever its start, so another query
// can at most choose among points at exactly equal wide distance.
std::int32_t walkNearest(std::int32_t q, std::int32_t start)
{
    const double qx = searchState.xi[q];
    const double qy = searchState.yi[q];
    WindowMetric window(searchState.xy, searchState.pointCount, qx, qy);
    const std::int32_t found = walkWith(window, start);
    if (!window.escaped()) return found;
    WideMetric wide(searchState.xy, searchState.pointCount, qx, qy);
    return walkWith(wide, start);
}

}  // namespace nearwalk
