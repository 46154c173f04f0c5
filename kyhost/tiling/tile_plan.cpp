// The k-d split of the plane into tiles. Each split is the median of a
// deterministic sample of the node's points along the axis on which the
// sample spreads more; a point exactly on a split goes to the high side. The
// tree depends only on the points and the tile size.
#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

#include "tiled_delaunay.hpp"

namespace tiling {

namespace {

constexpr std::int64_t sampleLimit = std::int64_t{1} << 20;

struct SamplePoint {
    double x, y;
};

double coordinate(const SamplePoint& p, bool byX) { return byX ? p.x : p.y; }

// A split value of samples[lo, hi) along an axis that leaves both sides
// non-empty: the median, or when the median equals the least value, the next
// larger one. False when every sample has the same coordinate on that axis.
bool medianSplit(std::vector<SamplePoint>& samples, std::size_t lo, std::size_t hi, bool byX, double& at)
{
    const auto first = samples.begin() + static_cast<std::ptrdiff_t>(lo);
    const auto last = samples.begin() + static_cast<std::ptrdiff_t>(hi);
    const auto middle = first + static_cast<std::ptrdiff_t>((hi - lo) / 2);
    std::nth_element(first, middle, last,
                     [byX](const SamplePoint& a, const SamplePoint& b) { return coordinate(a, byX) < coordinate(b, byX); });
    at = coordinate(*middle, byX);
    double least = at;
    for (auto p = first; p != last; ++p) least = std::min(least, coordinate(*p, byX));
    if (at > least) return true;
    // The median is the least value: split just above it instead.
    double above = std::numeric_limits<double>::infinity();
    for (auto p = first; p != last; ++p) {
        const double v = coordinate(*p, byX);
        if (v > least) above = std::min(above, v);
    }
    if (above == std::numeric_limits<double>::infinity()) return false;
    at = above;
    return true;
}

struct Planner {
    std::vector<SamplePoint> samples;
    double pointsPerSample;
    std::int64_t tilePoints;
    TilePlan plan;

    // Plans the node of samples[lo, hi) with open region cell; returns its
    // encoding in the split tree (node index, or -(tile + 1) for a leaf).
    std::int32_t node(std::size_t lo, std::size_t hi, const Cell& cell, int depth)
    {
        const double estimate = static_cast<double>(hi - lo) * pointsPerSample;
        double at = 0;
        bool byX = true, split = false;
        if (estimate > static_cast<double>(tilePoints) && hi - lo >= 2 && depth < 60) {
            double xlo = samples[lo].x, xhi = xlo, ylo = samples[lo].y, yhi = ylo;
            for (std::size_t i = lo; i < hi; ++i) {
                xlo = std::min(xlo, samples[i].x), xhi = std::max(xhi, samples[i].x);
                ylo = std::min(ylo, samples[i].y), yhi = std::max(yhi, samples[i].y);
            }
            // Spreads compared as halves, which cannot overflow.
            byX = !(yhi / 2 - ylo / 2 > xhi / 2 - xlo / 2);
            split = medianSplit(samples, lo, hi, byX, at);
            if (!split) {
                byX = !byX;
                split = medianSplit(samples, lo, hi, byX, at);
            }
        }
        if (!split) {
            plan.cells.push_back(cell);
            return -static_cast<std::int32_t>(plan.cells.size());
        }
        const auto mid = static_cast<std::size_t>(
            std::partition(samples.begin() + static_cast<std::ptrdiff_t>(lo),
                           samples.begin() + static_cast<std::ptrdiff_t>(hi),
                           [&](const SamplePoint& p) { return coordinate(p, byX) < at; }) -
            samples.begin());
        const auto index = static_cast<std::int32_t>(plan.splits.size());
        plan.splits.push_back({byX, at, 0, 0});
        Cell low = cell, high = cell;
        (byX ? low.xmax : low.ymax) = at;
        (byX ? high.xmin : high.ymin) = at;
        const std::int32_t lowChild = node(lo, mid, low, depth + 1);
        const std::int32_t highChild = node(mid, hi, high, depth + 1);
        plan.splits[static_cast<std::size_t>(index)].low = lowChild;
        plan.splits[static_cast<std::size_t>(index)].high = highChild;
        return index;
    }
};

}  // namespace

std::int32_t TilePlan::tileOf(double x, double y) const
{
    if (splits.empty()) return 0;
    // Without a branch on the comparison: on scattered points it goes
    // either way at random, and a mispredicted branch at every level cost
    // more than the walk itself.
    std::int32_t at = 0;
    do {
        const Split& s = splits[static_cast<std::size_t>(at)];
        const double v = s.byX ? x : y;
        const std::int32_t high = !(v < s.at);
        at = s.low + high * (s.high - s.low);
    } while (at >= 0);
    return -at - 1;
}

std::int64_t planSampleStride(std::int64_t n) { return std::max<std::int64_t>(1, (n + sampleLimit - 1) / sampleLimit); }

TilePlan planTiles(const double* x, const double* y, std::int64_t n, std::int64_t tilePoints)
{
    if (n < 0) throw std::invalid_argument("tiling: a negative number of points");
    if (tilePoints < 1) throw std::invalid_argument("tiling: tilePoints must be at least 1");
    const double inf = std::numeric_limits<double>::infinity();
    Planner planner;
    planner.tilePoints = tilePoints;
    const std::int64_t stride = planSampleStride(n);
    planner.samples.reserve(static_cast<std::size_t>((n + stride - 1) / stride));
    for (std::int64_t i = 0; i < n; i += stride) planner.samples.push_back({x[i], y[i]});
    planner.pointsPerSample =
        planner.samples.empty() ? 0.0 : static_cast<double>(n) / static_cast<double>(planner.samples.size());
    const std::int32_t root = planner.node(0, planner.samples.size(), Cell{-inf, -inf, inf, inf}, 0);
    if (root < 0) planner.plan.splits.clear();  // one tile: no tree
    return std::move(planner.plan);
}

}  // namespace tiling
