#include "ball_search.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <numbers>
#include <tuple>
#include <utility>

#include "distance_order.hpp"
#include "grid_pairs.hpp"
#include "spatial_order.hpp"
#include "worker_threads.hpp"

namespace kyhost_spatial {

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr std::int64_t queriesPerThread = 4096;

// Squared distances in the data's exact frame: within 4.0001 units of
// roundoff of the exact ones, so bandLimit covers their rounding.
struct FrameKeys {
    const double* xy;
    double qx, qy;
    double key(std::int32_t k) const
    {
        const double dx = xy[2 * static_cast<std::size_t>(k)] - qx;
        const double dy = xy[2 * static_cast<std::size_t>(k) + 1] - qy;
        return dy * dy + dx * dx;
    }
    static double band(double key) { return bandLimit(key); }
};

// Distances by hypot on the coordinates as given (within an ulp or two at
// any magnitude), for queries outside the frame.
struct HypotKeys {
    const double* xy;
    double qx, qy;
    double key(std::int32_t k) const
    {
        return std::hypot(xy[2 * static_cast<std::size_t>(k)] - qx, xy[2 * static_cast<std::size_t>(k) + 1] - qy);
    }
    static double band(double key) { return key * (1 + 0x1p-40); }
};

}  // namespace

// The points a search has seen: a stamp per point, the search's own
// number marking those it has seen, so that starting a search costs
// nothing (a thread's searches are many and small).
struct BallSearch::Scratch {
    struct Seen {
        std::vector<std::uint32_t> stamp;
        std::uint32_t current = 0;
        void clear()
        {
            if (++current == 0) {  // the stamps wrapped around: start afresh
                std::fill(stamp.begin(), stamp.end(), 0);
                current = 1;
            }
        }
        bool insert(std::int32_t p)
        {
            if (stamp[static_cast<std::size_t>(p)] == current) return false;
            stamp[static_cast<std::size_t>(p)] = current;
            return true;
        }
    };
    explicit Scratch(std::int32_t n) { visited.stamp.assign(static_cast<std::size_t>(n), 0); }
    Seen visited;
    std::vector<std::int32_t> queue;
};

BallSearch::BallSearch(const TriangulationIndex& index) : index_(index)
{
    const SearchPoints& points = index.points();
    n_ = points.n;
    if (n_ == 0) return;
    const auto [lowX, highX] = std::minmax_element(points.x, points.x + n_);
    const auto [lowY, highY] = std::minmax_element(points.y, points.y + n_);
    minX_ = *lowX, maxX_ = *highX, minY_ = *lowY, maxY_ = *highY;
    // The points renumbered along a Hilbert curve, with their coordinates
    // and graph: a ball's points then lie together in memory.
    std::vector<std::int64_t> all(static_cast<std::size_t>(n_));
    for (std::int32_t p = 0; p < n_; ++p) all[p] = p;
    const std::vector<std::int64_t> order = rankHilbertOrder(points.x, points.y, std::move(all));
    pointAt_.resize(static_cast<std::size_t>(n_));
    placeOf_.resize(static_cast<std::size_t>(n_));
    for (std::int32_t k = 0; k < n_; ++k) {
        pointAt_[k] = static_cast<std::int32_t>(order[k]);
        placeOf_[order[k]] = k;
    }
    xy_.resize(2 * static_cast<std::size_t>(n_));
    for (std::int32_t k = 0; k < n_; ++k) {
        xy_[2 * static_cast<std::size_t>(k)] = points.x[pointAt_[k]];
        xy_[2 * static_cast<std::size_t>(k) + 1] = points.y[pointAt_[k]];
    }
    const NearestSearch& nearest = index.search();
    if (const double* frameXY = nearest.frameXY()) {
        frameXY_.resize(2 * static_cast<std::size_t>(n_));
        for (std::int32_t k = 0; k < n_; ++k) {
            frameXY_[2 * static_cast<std::size_t>(k)] = frameXY[2 * static_cast<std::size_t>(pointAt_[k])];
            frameXY_[2 * static_cast<std::size_t>(k) + 1] = frameXY[2 * static_cast<std::size_t>(pointAt_[k]) + 1];
        }
    }
    const NeighbourGraph& graph = index.graph();
    start_.resize(static_cast<std::size_t>(n_) + 1);
    start_[0] = 0;
    for (std::int32_t k = 0; k < n_; ++k) start_[k + 1] = start_[k] + graph.start[pointAt_[k] + 1] - graph.start[pointAt_[k]];
    neighbours_.resize(graph.points.size());
    for (std::int32_t k = 0; k < n_; ++k) {
        const std::int32_t old = pointAt_[k];
        std::int64_t at = start_[k];
        for (std::int64_t e = graph.start[old]; e < graph.start[old + 1]; ++e) neighbours_[at++] = placeOf_[graph.points[e]];
    }
    if (index.rowCount() == 0) {
        lineOrder_ = orderAlongLine(points.x, points.y, n_);
        for (std::int32_t& p : lineOrder_) p = placeOf_[p];
    }
}

std::int64_t BallSearch::groupSize(std::int32_t point) const
{
    const SearchPoints& points = index_.points();
    return points.groupStart ? points.groupStart[point + 1] - points.groupStart[point] : 1;
}

template <class Emit>
void BallSearch::forEachGiven(std::int32_t point, const Emit& emit) const
{
    const SearchPoints& points = index_.points();
    if (points.groupStart == nullptr) {
        emit(points.original ? points.original[point] : static_cast<std::int64_t>(point));
        return;
    }
    for (std::int64_t g = points.groupStart[point]; g < points.groupStart[point + 1]; ++g) emit(points.members[g]);
}

// Calls visit(point, norm) for every point whose norm from the query, as
// cKDTree computes it, is at most threshold; hint: where the walk to the
// query starts, set to where it ended.
template <class Visit>
void BallSearch::visitBall(double qx, double qy, double threshold, double p, std::int32_t& hint, Scratch& scratch,
                           const Visit& visit, bool hintIsQuery) const
{
    if (n_ == 0 || !std::isfinite(qx) || !std::isfinite(qy)) return;
    // Norms are never negative nor NaN; a NaN threshold admits none.
    if (!(threshold >= 0)) return;
    const auto norm = [&](std::int32_t k) {
        return ballNorm(xy_[2 * static_cast<std::size_t>(k)] - qx, xy_[2 * static_cast<std::size_t>(k) + 1] - qy, p);
    };
    if (threshold == infinity) {  // every norm, an overflowing one too, is at most inf
        for (std::int32_t k = 0; k < n_; ++k) visit(k, norm(k));
        return;
    }
    // Every point cKDTree admits lies within `reach`: the margin covers the
    // rounding of the norm (relative) and of squares that underflow
    // (absolute, below 2^-536 in distance).
    const double ball = p == 2 ? std::sqrt(threshold) : (p == 1 ? threshold : threshold * std::numbers::sqrt2);
    const double reach = ball * (1 + 0x1p-40) + 0x1p-500;
    const double gap = std::fmax(std::fmax(minX_ - qx, qx - maxX_), std::fmax(minY_ - qy, qy - maxY_));
    if (gap > reach) return;

    // Every point within reach, from the nearest, through points within reach.
    const auto visitFrom = [&](const auto& keys, double reachKey, std::int32_t best) {
        const std::int64_t* const columnStart = start_.data();
        const std::int32_t* const neighbours = neighbours_.data();
        scratch.visited.clear();
        scratch.visited.insert(best);
        scratch.queue.assign(1, best);
        for (std::size_t head = 0; head < scratch.queue.size(); ++head) {
            const std::int32_t at = scratch.queue[head];
            const double value = norm(at);
            if (value <= threshold) visit(at, value);
            for (std::int64_t e = columnStart[at]; e < columnStart[at + 1]; ++e) {
                const std::int32_t k = neighbours[e];
                if (scratch.visited.insert(k) && keys.key(k) <= reachKey) scratch.queue.push_back(k);
            }
        }
    };
    const auto search = [&](const auto& keys, double reachKey) {
        const std::int64_t* const columnStart = start_.data();
        const std::int32_t* const neighbours = neighbours_.data();
        std::int32_t best = hint >= 0 && hint < n_ ? hint : 0;
        if (hintIsQuery) {
            // The query is the point at the hint, 0 from it: no walk.
            visitFrom(keys, reachKey, best);
            return;
        }
        if (!lineOrder_.empty()) {
            // Distances along a line fall and then rise: bisect for the lowest.
            std::size_t low = 0, high = lineOrder_.size() - 1;
            while (low < high) {
                const std::size_t middle = low + (high - low) / 2;
                if (keys.key(lineOrder_[middle + 1]) < keys.key(lineOrder_[middle])) low = middle + 1;
                else high = middle;
            }
            best = lineOrder_[low];
        }
        // Greedy walk toward the query.
        double bestKey = keys.key(best);
        bool band = false;
        for (;;) {
            const std::int32_t current = best;
            const double currentKey = bestKey;
            band = false;
            for (std::int64_t e = columnStart[current]; e < columnStart[current + 1]; ++e) {
                const std::int32_t k = neighbours[e];
                const double key = keys.key(k);
                if (key < bestKey) {
                    bestKey = key;
                    best = k;
                } else if (key <= keys.band(currentKey)) {
                    band = true;
                }
            }
            if (best == current) break;
        }
        if (bestKey > reachKey && band) {
            // Rounding may hide a closer point: every point at least as
            // close is reached through points in the band of this distance.
            const double limit = keys.band(bestKey);
            scratch.visited.clear();
            scratch.visited.insert(best);
            scratch.queue.assign(1, best);
            for (std::size_t head = 0; head < scratch.queue.size(); ++head) {
                const std::int32_t at = scratch.queue[head];
                for (std::int64_t e = columnStart[at]; e < columnStart[at + 1]; ++e) {
                    const std::int32_t k = neighbours[e];
                    if (!scratch.visited.insert(k)) continue;
                    const double key = keys.key(k);
                    if (key > limit) continue;
                    scratch.queue.push_back(k);
                    if (key < bestKey) {
                        bestKey = key;
                        best = k;
                    }
                }
            }
        }
        hint = best;
        if (bestKey > reachKey) return;  // no point within reach: none is admitted
        visitFrom(keys, reachKey, best);
    };

    const ExactFrame& frame = index_.search().frame();
    if (!frameXY_.empty() && frame.holds(qx, qy)) {
        const double scaled = frame.scaled(reach);
        double square = scaled * scaled;
        // Distinct points in the frame are at least 2^-500 apart: a reach
        // whose square underflows reaches only the query's own place.
        if (square < 0x1p-1000) square = 0x1p-1001;
        search(FrameKeys{frameXY_.data(), frame.scaled(qx), frame.scaled(qy)}, bandLimit(square));
    } else {
        search(HypotKeys{xy_.data(), qx, qy}, reach * (1 + 0x1p-40));
    }
}

namespace {

std::vector<std::int64_t> finiteInHilbertOrder(const double* qx, const double* qy, std::int64_t count)
{
    std::vector<std::int64_t> finite;
    finite.reserve(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i)
        if (std::isfinite(qx[i]) && std::isfinite(qy[i])) finite.push_back(i);
    return rankHilbertOrder(qx, qy, std::move(finite));
}

// What one thread found for its queries: their lists one after another.
struct PartLists {
    std::vector<std::int64_t> items;
    std::vector<std::int64_t> offset;  // per query of the part, into items
    std::int64_t begin = 0, end = 0;   // the part's range of the walk order
};

}  // namespace

BallLists BallSearch::within(const double* qx, const double* qy, const double* radius, std::int64_t count, double p,
                             int threads, bool sorted) const
{
    const std::vector<std::int64_t> order = finiteInHilbertOrder(qx, qy, count);
    std::vector<std::unique_ptr<PartLists>> parts;
    std::mutex partsLock;
    std::vector<std::int64_t> length(static_cast<std::size_t>(count), 0);
    runInParts(static_cast<std::int64_t>(order.size()), threads, queriesPerThread,
               [&](std::int64_t begin, std::int64_t end) {
                   auto part = std::make_unique<PartLists>();
                   part->begin = begin;
                   part->end = end;
                   part->offset.reserve(static_cast<std::size_t>(end - begin));
                   Scratch scratch(n_);
                   std::int32_t hint = 0;
                   for (std::int64_t i = begin; i < end; ++i) {
                       const std::int64_t q = order[static_cast<std::size_t>(i)];
                       const std::size_t first = part->items.size();
                       part->offset.push_back(static_cast<std::int64_t>(first));
                       visitBall(qx[q], qy[q], ballThreshold(radius[q], p), p, hint, scratch,
                                 [&](std::int32_t k, double) {
                                     forEachGiven(pointAt_[k], [&](std::int64_t g) { part->items.push_back(g); });
                                 });
                       if (sorted) std::sort(part->items.begin() + static_cast<std::ptrdiff_t>(first), part->items.end());
                       length[static_cast<std::size_t>(q)] = static_cast<std::int64_t>(part->items.size() - first);
                   }
                   const std::lock_guard<std::mutex> lock(partsLock);
                   parts.push_back(std::move(part));
               });
    BallLists lists;
    lists.start.resize(static_cast<std::size_t>(count) + 1);
    lists.start[0] = 0;
    for (std::int64_t q = 0; q < count; ++q) lists.start[q + 1] = lists.start[q] + length[q];
    lists.items.resize(static_cast<std::size_t>(lists.start[count]));
    for (const auto& part : parts)
        for (std::int64_t i = part->begin; i < part->end; ++i) {
            const std::int64_t q = order[static_cast<std::size_t>(i)];
            std::copy_n(part->items.begin() + part->offset[i - part->begin], length[q],
                        lists.items.begin() + lists.start[q]);
        }
    return lists;
}

void BallSearch::countWithin(const double* qx, const double* qy, const double* radius, std::int64_t count, double p,
                             int threads, std::int64_t* counts) const
{
    std::fill(counts, counts + count, 0);
    const std::vector<std::int64_t> order = finiteInHilbertOrder(qx, qy, count);
    runInParts(static_cast<std::int64_t>(order.size()), threads, queriesPerThread,
               [&](std::int64_t begin, std::int64_t end) {
                   Scratch scratch(n_);
                   std::int32_t hint = 0;
                   for (std::int64_t i = begin; i < end; ++i) {
                       const std::int64_t q = order[static_cast<std::size_t>(i)];
                       std::int64_t found = 0;
                       visitBall(qx[q], qy[q], ballThreshold(radius[q], p), p, hint, scratch,
                                 [&](std::int32_t k, double) { found += groupSize(pointAt_[k]); });
                       counts[q] = found;
                   }
               });
}

// Grids checking more pairs than this per point cost more than the search
// over the graph.
constexpr std::int64_t gridChecksPerPoint = 48;

std::int64_t BallSearch::pairs(double r, double p, int threads,
                               const std::function<std::int64_t*(std::int64_t)>& allocate) const
{
    const SearchPoints& points = index_.points();
    const double threshold = ballThreshold(r, p);
    if (points.groupStart != nullptr) return mergedPairs(threshold, p, threads, allocate);
    if (!(threshold >= 0)) return allocate(0), 0;
    // Each pair is kept from its point with the smaller number: found with a
    // grid where the points are spread evenly enough, otherwise from each
    // point's ball over the graph, the balls searched in the spatial order
    // so that consecutive ones share their memory. Each point's pairs are
    // then written where they go in ascending order (numbers as given
    // ascend with the points' numbers).
    std::vector<PointPartners> parts;
    if (!gridPartners(xy_.data(), pointAt_.data(), n_, threshold, p, threads, gridChecksPerPoint, parts)) {
        std::mutex partsLock;
        runInParts(n_, threads, queriesPerThread, [&](std::int64_t begin, std::int64_t end) {
            PointPartners part;
            part.points.reserve(static_cast<std::size_t>(end - begin));
            part.counts.reserve(static_cast<std::size_t>(end - begin));
            Scratch scratch(n_);
            std::vector<std::int32_t>& items = part.items;
            for (auto k = static_cast<std::int32_t>(begin); k < end; ++k) {
                const std::int32_t a = pointAt_[k];
                const std::size_t first = items.size();
                std::int32_t hint = k;
                visitBall(
                    xy_[2 * static_cast<std::size_t>(k)], xy_[2 * static_cast<std::size_t>(k) + 1], threshold, p,
                    hint, scratch,
                    [&](std::int32_t place, double) {
                        if (pointAt_[place] > a) items.push_back(pointAt_[place]);
                    },
                    true);
                std::sort(items.begin() + static_cast<std::ptrdiff_t>(first), items.end());
                part.points.push_back(a);
                part.counts.push_back(static_cast<std::int32_t>(items.size() - first));
            }
            const std::lock_guard<std::mutex> lock(partsLock);
            parts.push_back(std::move(part));
        });
    }
    std::vector<std::int64_t> offset(static_cast<std::size_t>(n_) + 1, 0);
    for (const PointPartners& part : parts)
        for (std::size_t i = 0; i < part.points.size(); ++i) offset[part.points[i] + 1] = part.counts[i];
    for (std::int32_t a = 0; a < n_; ++a) offset[a + 1] += offset[a];
    const std::int64_t count = offset[n_];
    std::int64_t* const out = allocate(count);
    const std::int64_t* const original = points.original;
    const auto given = [original](std::int32_t a) { return original ? original[a] : static_cast<std::int64_t>(a); };
    runInParts(static_cast<std::int64_t>(parts.size()), threads, 1, [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t i = begin; i < end; ++i) {
            const PointPartners& part = parts[static_cast<std::size_t>(i)];
            const std::int32_t* item = part.items.data();
            for (std::size_t k = 0; k < part.points.size(); ++k) {
                const std::int64_t from = given(part.points[k]);
                std::int64_t* to = out + 2 * offset[part.points[k]];
                for (std::int32_t m = 0; m < part.counts[k]; ++m) {
                    *to++ = from;
                    *to++ = given(*item++);
                }
            }
        }
    });
    return count;
}

// The pairs where repeats were merged: each point's partners found from it,
// and all pairs sorted at the end (a group's members do not ascend with the
// point numbers).
std::int64_t BallSearch::mergedPairs(double threshold, double p, int threads,
                                     const std::function<std::int64_t*(std::int64_t)>& allocate) const
{
    const SearchPoints& points = index_.points();
    std::vector<std::unique_ptr<PartLists>> parts;
    std::mutex partsLock;
    runInParts(points.n, threads, queriesPerThread, [&](std::int64_t begin, std::int64_t end) {
        auto part = std::make_unique<PartLists>();
        part->begin = begin;
        Scratch scratch(n_);
        std::vector<std::int32_t> later;
        for (auto a = static_cast<std::int32_t>(begin); a < end; ++a) {
            later.clear();
            // Points in ascending order, each ball searched in the spatial
            // numbering from the point's own place.
            std::int32_t hint = placeOf_[a];
            visitBall(points.x[a], points.y[a], threshold, p, hint, scratch, [&](std::int32_t k, double) {
                if (pointAt_[k] > a) later.push_back(pointAt_[k]);
            });
            std::sort(later.begin(), later.end());
            if (points.groupStart != nullptr && threshold >= 0) {
                // Merged repeats lie at distance 0 from each other.
                for (std::int64_t g = points.groupStart[a]; g < points.groupStart[a + 1]; ++g)
                    for (std::int64_t h = g + 1; h < points.groupStart[a + 1]; ++h) {
                        part->items.push_back(points.members[g]);
                        part->items.push_back(points.members[h]);
                    }
            }
            for (const std::int32_t b : later)
                forEachGiven(a, [&](std::int64_t g) {
                    forEachGiven(b, [&](std::int64_t h) {
                        part->items.push_back(std::min(g, h));
                        part->items.push_back(std::max(g, h));
                    });
                });
        }
        const std::lock_guard<std::mutex> lock(partsLock);
        parts.push_back(std::move(part));
    });
    std::sort(parts.begin(), parts.end(), [](const auto& u, const auto& v) { return u->begin < v->begin; });
    std::size_t total = 0;
    for (const auto& part : parts) total += part->items.size();
    std::vector<std::int64_t> all;
    all.reserve(total);
    for (const auto& part : parts) all.insert(all.end(), part->items.begin(), part->items.end());
    {
        std::vector<std::pair<std::int64_t, std::int64_t>> sortedPairs(all.size() / 2);
        for (std::size_t k = 0; k < sortedPairs.size(); ++k) sortedPairs[k] = {all[2 * k], all[2 * k + 1]};
        std::sort(sortedPairs.begin(), sortedPairs.end());
        for (std::size_t k = 0; k < sortedPairs.size(); ++k) std::tie(all[2 * k], all[2 * k + 1]) = sortedPairs[k];
    }
    const auto count = static_cast<std::int64_t>(all.size() / 2);
    std::copy(all.begin(), all.end(), allocate(count));
    return count;
}

std::vector<std::int64_t> BallSearch::countPairs(const double* qx, const double* qy, std::int64_t count,
                                                 const std::vector<double>& radii, double p, int threads) const
{
    std::vector<double> thresholds;
    double largest = -infinity;
    for (const double r : radii) {
        thresholds.push_back(ballThreshold(r, p));
        if (thresholds.back() > largest) largest = thresholds.back();
    }
    std::vector<std::int64_t> totals(radii.size(), 0);
    if (radii.empty()) return totals;
    std::mutex totalsLock;
    const std::vector<std::int64_t> order = finiteInHilbertOrder(qx, qy, count);
    runInParts(static_cast<std::int64_t>(order.size()), threads, queriesPerThread,
               [&](std::int64_t begin, std::int64_t end) {
                   Scratch scratch(n_);
                   std::int32_t hint = 0;
                   std::vector<std::int64_t> partTotals(radii.size(), 0);
                   std::vector<std::pair<double, std::int64_t>> found;
                   for (std::int64_t i = begin; i < end; ++i) {
                       const std::int64_t q = order[static_cast<std::size_t>(i)];
                       found.clear();
                       visitBall(qx[q], qy[q], largest, p, hint, scratch,
                                 [&](std::int32_t k, double value) { found.emplace_back(value, groupSize(pointAt_[k])); });
                       for (std::size_t r = 0; r < thresholds.size(); ++r)
                           for (const auto& [value, size] : found)
                               if (value <= thresholds[r]) partTotals[r] += size;
                   }
                   const std::lock_guard<std::mutex> lock(totalsLock);
                   for (std::size_t r = 0; r < totals.size(); ++r) totals[r] += partTotals[r];
               });
    return totals;
}

}  // namespace kyhost_spatial
