#include "nearest_search.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <type_traits>

#include "distance_order.hpp"
#include "spatial_order.hpp"
#include "visited_set.hpp"
#include "worker_threads.hpp"

namespace kyhost_spatial {

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

// Queries per thread below which a batch stays on one thread.
constexpr std::int64_t queriesPerThread = 4096;

struct Found {
    std::int32_t point;
    bool tied;
    // The band held so many points that the computed distances cannot tell
    // them apart (a query very far from the points, where rounding spans
    // the whole set): the query is answered by exact distances instead.
    bool crowded = false;
};

// The most points a band search of computed distances goes through, and the
// most points a k-nearest search takes beyond twice k, before the query is
// answered by exact distances instead.
constexpr std::size_t crowdedBand = 64;

// Which points a k-nearest search keeps: those closer than the bound (in
// the metric's own terms), and how far it must search for them.
struct ComputedBound {
    double square;  // the bound's square in the frame (inf for no bound)
    bool below(const ComputedDistance&, double key) const { return key < square; }
    bool reaches(const ComputedDistance&, double key) const { return key <= bandLimit(square); }
};

struct ExactBound {
    double radius;
    bool below(const ExactDistance& m, const ExactDistance::Key& key) const
    {
        return m.distance(key.point) < radius;
    }
    // The points closer than the radius are joined through points closer
    // than it; hypot's rounding is far inside the margin.
    bool reaches(const ExactDistance& m, const ExactDistance::Key& key) const
    {
        return radius == infinity || m.distance(key.point) <= radius * (1 + 0x1p-40);
    }
};

}  // namespace

struct NearestSearch::Scratch {
    VisitedSet visited;
    std::vector<std::int32_t> queue;
};

template <class Metric>
struct NearestSearch::Walker {
    using Key = typename Metric::Key;

    const NearestSearch& search;
    const Metric& metric;
    Scratch& scratch;

    // The nearest point of a query on a line, up to rounding: distances
    // along a line fall and then rise, so a bisection finds where.
    std::int32_t startOnLine() const
    {
        const std::vector<std::int32_t>& order = search.lineOrder_;
        std::size_t low = 0, high = order.size() - 1;
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            if (metric.less(metric.key(order[middle + 1]), metric.key(order[middle]))) low = middle + 1;
            else high = middle;
        }
        return order[low];
    }

    // Walks from start to a point with no strictly closer neighbour. band:
    // a neighbour that is no closer may hide a closer point (it lies in the
    // band of the stopping point's distance).
    std::int32_t walk(std::int32_t start, Key& bestKey, bool& band) const
    {
        const std::int64_t* const columnStart = search.graph_.start.data();
        const std::int32_t* const neighbours = search.graph_.points.data();
        std::int32_t best = start;
        bestKey = metric.key(start);
        for (;;) {
            const std::int32_t current = best;
            const Key currentKey = bestKey;
            band = false;
            const std::int64_t end = columnStart[current + 1];
            for (std::int64_t e = columnStart[current]; e < end; ++e) {
                const std::int32_t k = neighbours[e];
                const Key key = metric.key(k);
                // The walk waits on memory: fetch what the next step reads.
                __builtin_prefetch(columnStart + k);
                if (metric.less(key, bestKey)) {
                    bestKey = key;
                    best = k;
                    __builtin_prefetch(neighbours + columnStart[k]);
                } else if (metric.inBand(key, currentKey)) {
                    band = true;
                }
            }
            if (best == current) return best;
        }
    }

    // From c, where a walk stopped: the point of smallest distance among
    // the points reached through points in c's band (every point at least
    // as close as c is among them, distance_order.hpp), the lowest-numbered
    // one among equals, and whether it has equals.
    Found settle(std::int32_t c, Key& key, bool band) const
    {
        if (!band) return {c, false};
        const Key limit = key;
        std::int32_t best = c;
        std::int64_t equals = 1;
        scratch.visited.clear();
        scratch.visited.insert(c);
        scratch.queue.assign(1, c);
        for (std::size_t head = 0; head < scratch.queue.size(); ++head) {
            const std::int32_t p = scratch.queue[head];
            for (std::int64_t e = search.graph_.start[p]; e < search.graph_.start[p + 1]; ++e) {
                const std::int32_t k = search.graph_.points[e];
                if (!scratch.visited.insert(k)) continue;
                const Key candidate = metric.key(k);
                if (!metric.inBand(candidate, limit)) continue;
                scratch.queue.push_back(k);
                if constexpr (std::is_same_v<Metric, ComputedDistance>) {
                    if (scratch.queue.size() > crowdedBand) return {best, true, true};
                }
                if (metric.less(candidate, key)) {
                    key = candidate;
                    best = k;
                    equals = 1;
                } else if (metric.equal(candidate, key)) {
                    ++equals;
                    best = std::min(best, k);
                }
            }
        }
        return {best, equals > 1};
    }

    Found nearest(std::int32_t hint, Key& key) const
    {
        const std::int32_t start = search.lineOrder_.empty() ? hint : startOnLine();
        bool band = false;
        const std::int32_t stop = walk(start, key, band);
        return settle(stop, key, band);
    }

    // The k nearest points as given, from `first` (a nearest point, at key):
    // best first over neighbours. The circle about the query point through
    // the i-th nearest point, shrunk toward that point while it keeps the
    // point on it, ends empty; just before, it passes through a point at
    // least as close to the query point, and an empty circle through two
    // points makes them Delaunay neighbours. So every one of the k nearest
    // is joined to a nearer one (or is the first), and the search meets them
    // in turn. Rounding can put a point's computed distance above that of a
    // point it leads to; the search therefore goes on through the band of
    // the k-th distance (distance_order.hpp) and sorts what it kept. Returns
    // the number kept, or -1 when the band is crowded (see Found).
    template <class Bound>
    std::int64_t kNearest(std::int32_t first, const Key& firstKey, int k, const Bound& bound, Key* keys,
                          std::int64_t* given) const
    {
        struct Candidate {
            Key key;
            std::int32_t point;
        };
        struct Kept {
            Key key;
            std::int64_t given;
        };
        const auto farther = [this](const Candidate& a, const Candidate& b) { return metric.less(b.key, a.key); };
        const auto better = [this](const Kept& a, const Kept& b) {
            return metric.less(a.key, b.key) || (metric.equal(a.key, b.key) && a.given < b.given);
        };
        thread_local std::vector<Candidate> candidates;
        thread_local std::vector<Kept> kept;
        candidates.assign(1, {firstKey, first});
        kept.clear();
        scratch.visited.clear();
        scratch.visited.insert(first);
        const SearchPoints& points = search.points_;
        std::size_t taken = 0;
        while (!candidates.empty()) {
            if constexpr (std::is_same_v<Metric, ComputedDistance>) {
                if (++taken > 2 * static_cast<std::size_t>(k) + crowdedBand) return -1;
            }
            std::pop_heap(candidates.begin(), candidates.end(), farther);
            const Candidate next = candidates.back();
            candidates.pop_back();
            if (static_cast<int>(kept.size()) == k && !metric.inBand(next.key, kept.front().key)) break;
            if (!bound.reaches(metric, next.key)) break;
            if (bound.below(metric, next.key)) {
                const auto keep = [&](std::int64_t g) {
                    kept.push_back({next.key, g});
                    std::push_heap(kept.begin(), kept.end(), better);
                    if (static_cast<int>(kept.size()) > k) {
                        std::pop_heap(kept.begin(), kept.end(), better);
                        kept.pop_back();
                    }
                };
                if (points.groupStart == nullptr) {
                    keep(search.givenNumber(next.point));
                } else {
                    for (std::int64_t g = points.groupStart[next.point]; g < points.groupStart[next.point + 1]; ++g)
                        keep(points.members[g]);
                }
            }
            for (std::int64_t e = search.graph_.start[next.point]; e < search.graph_.start[next.point + 1]; ++e) {
                const std::int32_t j = search.graph_.points[e];
                if (!scratch.visited.insert(j)) continue;
                candidates.push_back({metric.key(j), j});
                std::push_heap(candidates.begin(), candidates.end(), farther);
            }
        }
        std::sort_heap(kept.begin(), kept.end(), better);
        for (std::size_t i = 0; i < kept.size(); ++i) {
            keys[i] = kept[i].key;
            given[i] = kept[i].given;
        }
        return static_cast<std::int64_t>(kept.size());
    }
};

NearestSearch::NearestSearch(const SearchPoints& points, const NeighbourGraph& graph,
                             std::vector<std::int32_t> lineOrder)
    : points_(points), graph_(graph), lineOrder_(std::move(lineOrder)),
      frame_(ExactFrame::ofData(points.x, points.y, points.n))
{
    if (!frame_.holdsData()) return;  // every query is answered exactly
    frameXY_.resize(2 * static_cast<std::size_t>(points.n));
    for (std::int32_t p = 0; p < points.n; ++p) {
        frameXY_[2 * static_cast<std::size_t>(p)] = frame_.scaled(points.x[p]);
        frameXY_[2 * static_cast<std::size_t>(p) + 1] = frame_.scaled(points.y[p]);
    }
}

std::int64_t NearestSearch::givenNumber(std::int32_t p) const
{
    return points_.original ? points_.original[p] : p;
}

// The square of a distance bound in the frame's terms: a bound whose square
// would underflow keeps only points at distance 0 (every other computed
// squared distance in the frame is at least 2^-1000).
double NearestSearch::squareInFrame(double bound) const
{
    const double scaled = frame_.scaled(bound);
    const double square = scaled * scaled;
    return scaled > 0 && square < 0x1p-1000 ? 0x1p-1001 : square;
}

double NearestSearch::distanceTo(std::int32_t p, double qx, double qy) const
{
    if (frame_.holds(qx, qy))
        return frame_.unscaled(std::sqrt(ComputedDistance(frameXY_.data(), frame_.scaled(qx), frame_.scaled(qy)).key(p)));
    return std::hypot(points_.x[p] - qx, points_.y[p] - qy);
}

namespace {

// The finite queries, in the order their walks take.
std::vector<std::int64_t> walkOrder(const double* qx, const double* qy, std::int64_t count)
{
    std::vector<std::int64_t> finite;
    finite.reserve(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i)
        if (std::isfinite(qx[i]) && std::isfinite(qy[i])) finite.push_back(i);
    return rankHilbertOrder(qx, qy, std::move(finite));
}

}  // namespace

template <class AnswerOne>
void NearestSearch::answerInWalkOrder(const double* qx, const double* qy, std::int64_t count, int threads,
                                      std::size_t width, std::int64_t missing, std::int64_t* index, double* distance,
                                      std::uint8_t* tied, const AnswerOne& answerOne) const
{
    const std::vector<std::int64_t> order = walkOrder(qx, qy, count);
    runInParts(static_cast<std::int64_t>(order.size()), threads, queriesPerThread,
               [&](std::int64_t begin, std::int64_t end) {
                   // Queries go in blocks: their coordinates gathered in walk
                   // order, answered, and the answers put in place, so that
                   // the reads and writes at scattered places run in loops of
                   // their own rather than between the walks' dependent loads.
                   // Each coordinate is read once: the caller's arrays are not
                   // locked while the search runs.
                   constexpr std::int64_t block = 2048;
                   std::vector<double> bx(block), by(block), bd(block * width);
                   std::vector<std::int64_t> bi(block * width);
                   std::vector<std::uint8_t> bt(block);
                   Scratch scratch;
                   std::int32_t hint = 0;
                   for (std::int64_t first = begin; first < end; first += block) {
                       const std::int64_t size = std::min(block, end - first);
                       for (std::int64_t j = 0; j < size; ++j) {
                           bx[j] = qx[order[first + j]];
                           by[j] = qy[order[first + j]];
                       }
                       std::fill(bd.begin(), bd.end(), infinity);
                       std::fill(bi.begin(), bi.end(), missing);
                       for (std::int64_t j = 0; j < size; ++j)
                           answerOne(scratch, hint, bx[j], by[j], bi.data() + j * width, bd.data() + j * width, bt[j]);
                       for (std::int64_t j = 0; j < size; ++j) {
                           const std::size_t at = static_cast<std::size_t>(order[first + j]) * width;
                           std::copy_n(bi.data() + j * width, width, index + at);
                           std::copy_n(bd.data() + j * width, width, distance + at);
                           if (tied) tied[order[first + j]] = bt[j];
                       }
                   }
               });
}

void NearestSearch::nearest(const double* qx, const double* qy, std::int64_t count, int threads,
                            std::int64_t* index, double* distance, std::uint8_t* tied) const
{
    std::fill(index, index + count, -1);
    std::fill(distance, distance + count, infinity);
    if (tied) std::fill(tied, tied + count, 0);
    if (points_.n == 0) return;
    answerInWalkOrder(qx, qy, count, threads, 1, -1, index, distance, tied,
                      [&](Scratch& scratch, std::int32_t& hint, double px, double py, std::int64_t* found,
                          double* at, std::uint8_t& tie) {
                          tie = 0;
                          if (!std::isfinite(px) || !std::isfinite(py)) return;
                          Found answer{hint, false, !frame_.holds(px, py)};
                          if (!answer.crowded) {
                              const ComputedDistance metric(frameXY_.data(), frame_.scaled(px), frame_.scaled(py));
                              double key = 0;
                              answer = Walker<ComputedDistance>{*this, metric, scratch}.nearest(hint, key);
                          }
                          if (answer.crowded) {
                              const ExactDistance metric(points_.x, points_.y, px, py, answer.point);
                              ExactDistance::Key key{};
                              const bool inFrame = frame_.holds(px, py);
                              answer = Walker<ExactDistance>{*this, metric, scratch}.nearest(answer.point, key);
                              // Where computed distances could not tell the points
                              // apart, which of them a walk reaches depends on the walk.
                              answer.tied = answer.tied || inFrame;
                          }
                          *found = givenNumber(answer.point);
                          *at = distanceTo(answer.point, px, py);
                          tie = answer.tied ? 1 : 0;
                          hint = answer.point;
                      });
}

void NearestSearch::kNearest(const double* qx, const double* qy, std::int64_t count, int k, double bound, int threads,
                             double* distance, std::int64_t* index) const
{
    const auto width = static_cast<std::size_t>(k);
    std::fill(distance, distance + count * k, infinity);
    std::fill(index, index + count * k, points_.givenCount);
    if (points_.n == 0) return;
    answerInWalkOrder(
        qx, qy, count, threads, width, points_.givenCount, index, distance, nullptr,
        [&](Scratch& scratch, std::int32_t& hint, double px, double py, std::int64_t* rowIndex, double* rowDistance,
            std::uint8_t&) {
            if (!std::isfinite(px) || !std::isfinite(py)) return;
            thread_local std::vector<double> computedKeys;
            thread_local std::vector<ExactDistance::Key> exactKeys;
            if (frame_.holds(px, py)) {
                computedKeys.resize(width);
                const ComputedDistance metric(frameXY_.data(), frame_.scaled(px), frame_.scaled(py));
                const Walker<ComputedDistance> walker{*this, metric, scratch};
                double key = 0;
                const Found first = walker.nearest(hint, key);
                hint = first.point;
                const ComputedBound limit{squareInFrame(bound)};
                std::int64_t found = -1;
                if (first.crowded) {
                    found = -1;
                } else if (k == 1) {  // the nearest point is the lowest-numbered at its distance
                    found = limit.below(metric, key) ? 1 : 0;
                    computedKeys[0] = key;
                    if (found) rowIndex[0] = givenNumber(first.point);
                } else {
                    found = walker.kNearest(first.point, key, k, limit, computedKeys.data(), rowIndex);
                }
                if (found >= 0) {
                    for (std::int64_t j = 0; j < found; ++j) rowDistance[j] = frame_.unscaled(std::sqrt(computedKeys[j]));
                    return;
                }
                std::fill_n(rowIndex, width, points_.givenCount);  // crowded: exactly, below
            }
            exactKeys.resize(width);
            const ExactDistance metric(points_.x, points_.y, px, py, hint);
            const Walker<ExactDistance> walker{*this, metric, scratch};
            ExactDistance::Key key{};
            const std::int32_t first = walker.nearest(hint, key).point;
            hint = first;
            std::int64_t found = 0;
            if (k == 1) {
                found = ExactBound{bound}.below(metric, key) ? 1 : 0;
                exactKeys[0] = key;
                if (found) rowIndex[0] = givenNumber(first);
            } else {
                found = walker.kNearest(first, key, k, ExactBound{bound}, exactKeys.data(), rowIndex);
            }
            // In exact order; the distances reported are computed as elsewhere,
            // so they are put in ascending order (rounding may swap neighbours).
            thread_local std::vector<std::pair<double, std::int64_t>> rows;
            rows.clear();
            for (std::int64_t j = 0; j < found; ++j) rows.emplace_back(distanceTo(exactKeys[j].point, px, py), rowIndex[j]);
            std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
            for (std::int64_t j = 0; j < found; ++j) std::tie(rowDistance[j], rowIndex[j]) = rows[j];
        });
}

}  // namespace kyhost_spatial
