#include "nearest_search.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>
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
    // Computed distances do not serve this query (it lies outside the frame,
    // or so far outside the points that rounding spans a large part of
    // them): it is answered by exact distances instead.
    bool crowded = false;
};

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
    // the k-th distance (distance_order.hpp) and sorts what it kept, however
    // many points that band holds (many points on a circle about the query
    // all lie in it): so no point is left out whose distance is below the
    // k-th. Returns the number kept, with the point each came from.
    template <class Bound>
    std::int64_t kNearest(std::int32_t first, const Key& firstKey, int k, const Bound& bound, Key* keys,
                          std::int64_t* given, std::int32_t* from) const
    {
        struct Candidate {
            Key key;
            std::int32_t point;
        };
        struct Kept {
            Key key;
            std::int64_t given;
            std::int32_t point;
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
        while (!candidates.empty()) {
            std::pop_heap(candidates.begin(), candidates.end(), farther);
            const Candidate next = candidates.back();
            candidates.pop_back();
            if (static_cast<int>(kept.size()) == k && !metric.inBand(next.key, kept.front().key)) break;
            if (!bound.reaches(metric, next.key)) break;
            if (bound.below(metric, next.key)) {
                const auto keep = [&](std::int64_t g) {
                    kept.push_back({next.key, g, next.point});
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
            from[i] = kept[i].point;
        }
        return static_cast<std::int64_t>(kept.size());
    }

    // The k nearest points in the norm p = 1 or inf, by that norm computed
    // as cKDTree computes it, lowest number first among equal norms; from
    // `first`, the exactly nearest point (Euclidean). The search goes best
    // first over neighbours in exact Euclidean order, so it meets the
    // points of any disk about the query before any point outside it (the
    // points inside a disk are joined by edges inside it, see kNearest);
    // and a point's Euclidean distance is at most its norm (p = 1) or
    // sqrt(2) times it (p = inf). So once the next point is farther than
    // that from the query than the k-th norm kept, no point with a smaller
    // norm is left. The margin of 2^-40 covers the rounding of the norms
    // and of hypot (a few units in the last place).
    std::int64_t kNearestInNorm(std::int32_t first, int k, double p, double bound, double* norms,
                                std::int64_t* given) const
        requires std::is_same_v<Metric, ExactDistance>
    {
        struct Candidate {
            Key key;
            std::int32_t point;
        };
        struct Kept {
            double norm;
            std::int64_t given;
        };
        const auto farther = [this](const Candidate& a, const Candidate& b) { return metric.less(b.key, a.key); };
        const auto better = [](const Kept& a, const Kept& b) {
            return a.norm < b.norm || (a.norm == b.norm && a.given < b.given);
        };
        const double reach = (p == 1 ? 1.0 : std::numbers::sqrt2) * (1 + 0x1p-40);
        const SearchPoints& points = search.points_;
        const auto normOf = [&](std::int32_t j) {
            const double dx = std::fabs(points.x[j] - metric.queryX());
            const double dy = std::fabs(points.y[j] - metric.queryY());
            return p == 1 ? dx + dy : std::fmax(dx, dy);
        };
        thread_local std::vector<Candidate> candidates;
        thread_local std::vector<Kept> kept;
        candidates.assign(1, {metric.key(first), first});
        kept.clear();
        scratch.visited.clear();
        scratch.visited.insert(first);
        while (!candidates.empty()) {
            std::pop_heap(candidates.begin(), candidates.end(), farther);
            const std::int32_t next = candidates.back().point;
            candidates.pop_back();
            const double euclidean = metric.distance(next);
            if (euclidean > reach * bound) break;
            if (static_cast<int>(kept.size()) == k && euclidean > reach * kept.front().norm) break;
            const double norm = normOf(next);
            if (norm < bound) {
                const auto keep = [&](std::int64_t g) {
                    kept.push_back({norm, g});
                    std::push_heap(kept.begin(), kept.end(), better);
                    if (static_cast<int>(kept.size()) > k) {
                        std::pop_heap(kept.begin(), kept.end(), better);
                        kept.pop_back();
                    }
                };
                if (points.groupStart == nullptr) {
                    keep(search.givenNumber(next));
                } else {
                    for (std::int64_t g = points.groupStart[next]; g < points.groupStart[next + 1]; ++g)
                        keep(points.members[g]);
                }
            }
            for (std::int64_t e = search.graph_.start[next]; e < search.graph_.start[next + 1]; ++e) {
                const std::int32_t j = search.graph_.points[e];
                if (!scratch.visited.insert(j)) continue;
                candidates.push_back({metric.key(j), j});
                std::push_heap(candidates.begin(), candidates.end(), farther);
            }
        }
        std::sort_heap(kept.begin(), kept.end(), better);
        for (std::size_t i = 0; i < kept.size(); ++i) {
            norms[i] = kept[i].norm;
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
    if (points.n > 0) {
        const auto [lowX, highX] = std::minmax_element(points.x, points.x + points.n);
        const auto [lowY, highY] = std::minmax_element(points.y, points.y + points.n);
        minX_ = *lowX, maxX_ = *highX, minY_ = *lowY, maxY_ = *highY;
        extent_ = std::fmax(maxX_ - minX_, maxY_ - minY_);
        farExtent_ = extent_ * 0x1p30;
    }
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
    const double dx = points_.x[p] - qx, dy = points_.y[p] - qy;
    const double computed = std::sqrt(dx * dx + dy * dy);
    return computed <= std::numeric_limits<double>::max() ? computed : std::hypot(dx, dy);
}

double NearestSearch::gapOutside(double qx, double qy) const
{
    return std::fmax(std::fmax(minX_ - qx, qx - maxX_), std::fmax(minY_ - qy, qy - maxY_));
}

std::int32_t NearestSearch::startFor(double qx, double qy, std::int32_t hint) const
{
    if (!(gapOutside(qx, qy) > extent_) || !lineOrder_.empty()) return hint;  // a line has its bisection
    std::call_once(hullMade_, [this] { hull_ = std::make_unique<HullDirections>(points_.x, points_.y, points_.n); });
    // Toward the query from the box's centre, halved against overflow.
    const double cx = minX_ * 0.5 + maxX_ * 0.5, cy = minY_ * 0.5 + maxY_ * 0.5;
    return hull_->extremeVertex(qx * 0.5 - cx * 0.5, qy * 0.5 - cy * 0.5);
}

std::int64_t queriesPerBlock(std::size_t width, std::int64_t queries)
{
    constexpr std::int64_t most = 2048;
    constexpr std::size_t answersPerBlock = 65536;  // 16 bytes each: 1 MB
    const auto fit = static_cast<std::int64_t>(answersPerBlock / std::max<std::size_t>(width, 1));
    return std::clamp<std::int64_t>(std::min(most, fit), 1, std::max<std::int64_t>(queries, 1));
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
                   const std::int64_t block = queriesPerBlock(width, end - begin);
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
                          const bool inFrame = frame_.holds(px, py);
                          Found answer{startFor(px, py, hint), false, !inFrame || farOutside(px, py)};
                          if (!answer.crowded) {
                              const ComputedDistance metric(frameXY_.data(), frame_.scaled(px), frame_.scaled(py));
                              double key = 0;
                              answer = Walker<ComputedDistance>{*this, metric, scratch}.nearest(answer.point, key);
                          } else {
                              const ExactDistance metric(points_.x, points_.y, px, py, answer.point);
                              ExactDistance::Key key{};
                              answer = Walker<ExactDistance>{*this, metric, scratch}.nearest(answer.point, key);
                              // Where computed distances cannot tell the points
                              // apart, which of them a walk reaches depends on the walk.
                              answer.tied = answer.tied || inFrame;
                          }
                          *found = givenNumber(answer.point);
                          *at = distanceTo(answer.point, px, py);
                          tie = answer.tied ? 1 : 0;
                          hint = answer.point;
                      });
}

namespace {

// Puts a row's answers in ascending order of the distances reported, which
// are computed in the coordinates as given and so may order two points a
// rounding apart otherwise than the search's own comparison did.
void sortByReported(std::int64_t found, double* rowDistance, std::int64_t* rowIndex)
{
    thread_local std::vector<std::pair<double, std::int64_t>> rows;
    rows.clear();
    for (std::int64_t j = 0; j < found; ++j) rows.emplace_back(rowDistance[j], rowIndex[j]);
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::int64_t j = 0; j < found; ++j) std::tie(rowDistance[j], rowIndex[j]) = rows[j];
}

}  // namespace

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
            thread_local std::vector<std::int32_t> from;
            from.resize(width);
            std::int64_t found = 0;
            const std::int32_t start = startFor(px, py, hint);
            if (frame_.holds(px, py) && !farOutside(px, py)) {
                thread_local std::vector<double> keys;
                keys.resize(width);
                const ComputedDistance metric(frameXY_.data(), frame_.scaled(px), frame_.scaled(py));
                const Walker<ComputedDistance> walker{*this, metric, scratch};
                double key = 0;
                const Found first = walker.nearest(start, key);
                hint = first.point;
                const ComputedBound limit{squareInFrame(bound)};
                if (k == 1) {  // the nearest point is the lowest-numbered at its distance
                    found = limit.below(metric, key) ? 1 : 0;
                    from[0] = first.point;
                    if (found) rowIndex[0] = givenNumber(first.point);
                } else {
                    found = walker.kNearest(first.point, key, k, limit, keys.data(), rowIndex, from.data());
                }
            } else {
                // Exact distances choose the points; the distances reported
                // are computed as for every other query.
                thread_local std::vector<ExactDistance::Key> keys;
                keys.resize(width);
                const ExactDistance metric(points_.x, points_.y, px, py, start);
                const Walker<ExactDistance> walker{*this, metric, scratch};
                ExactDistance::Key key{};
                const std::int32_t first = walker.nearest(start, key).point;
                hint = first;
                if (k == 1) {
                    found = ExactBound{bound}.below(metric, key) ? 1 : 0;
                    from[0] = first;
                    if (found) rowIndex[0] = givenNumber(first);
                } else {
                    found = walker.kNearest(first, key, k, ExactBound{bound}, keys.data(), rowIndex, from.data());
                }
            }
            for (std::int64_t j = 0; j < found; ++j) rowDistance[j] = distanceTo(from[j], px, py);
            sortByReported(found, rowDistance, rowIndex);
        });
}

void NearestSearch::kNearestInNorm(const double* qx, const double* qy, std::int64_t count, int k, double p,
                                   double bound, int threads, double* distance, std::int64_t* index) const
{
    if (p == 2) {
        kNearest(qx, qy, count, k, bound, threads, distance, index);
        return;
    }
    if (p != 1 && p != infinity) throw std::invalid_argument("p must be 1, 2 or inf");
    const auto width = static_cast<std::size_t>(k);
    std::fill(distance, distance + count * k, infinity);
    std::fill(index, index + count * k, points_.givenCount);
    if (points_.n == 0) return;
    answerInWalkOrder(qx, qy, count, threads, width, points_.givenCount, index, distance, nullptr,
                      [&](Scratch& scratch, std::int32_t& hint, double px, double py, std::int64_t* rowIndex,
                          double* rowDistance, std::uint8_t&) {
                          if (!std::isfinite(px) || !std::isfinite(py)) return;
                          const std::int32_t start = startFor(px, py, hint);
                          const ExactDistance metric(points_.x, points_.y, px, py, start);
                          const Walker<ExactDistance> walker{*this, metric, scratch};
                          ExactDistance::Key key{};
                          const std::int32_t first = walker.nearest(start, key).point;
                          hint = first;
                          walker.kNearestInNorm(first, k, p, bound, rowDistance, rowIndex);
                      });
}

}  // namespace kyhost_spatial
