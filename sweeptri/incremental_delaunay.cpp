#include "incremental_delaunay.hpp"

#include <algorithm>
#include <limits>
#include <new>
#include <vector>

#include <CGAL/spatial_sort.h>

namespace sweeptri {

namespace {

// Side k of a triangle runs from corner k+1 to corner k+2.
constexpr int next(int k) { return k == 2 ? 0 : k + 1; }
constexpr int prev(int k) { return k == 0 ? 2 : k - 1; }

bool lexicographicallyBelow(const ExactPoint& a, const ExactPoint& b)
{
    return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y());
}

// Point numbers ordered by x, then y, and by y, then x: the orders of the
// spatial sort without ties, so that points on one horizontal or vertical
// line are still sorted along it.
struct LexicographicOrder {
    using Point_2 = std::int32_t;
    struct Less_x_2 {
        const ExactPoint* points;
        bool operator()(Point_2 a, Point_2 b) const { return lexicographicallyBelow(points[a], points[b]); }
    };
    struct Less_y_2 {
        const ExactPoint* points;
        bool operator()(Point_2 a, Point_2 b) const
        {
            const ExactPoint& p = points[a];
            const ExactPoint& q = points[b];
            return p.y() < q.y() || (p.y() == q.y() && p.x() < q.x());
        }
    };
    const ExactPoint* points;
    Less_x_2 less_x_2_object() const { return Less_x_2{points}; }
    Less_y_2 less_y_2_object() const { return Less_y_2{points}; }
};

}  // namespace

IncrementalDelaunay::IncrementalDelaunay(const ExactPoint* points, std::int32_t n) : n_(n)
{
    if (n < 3) return;
    // A triangulation of the sphere over n points and the one at infinity
    // has 2n - 2 triangles; each insertion adds two.
    const auto capacity = 2 * static_cast<std::size_t>(n);
    // A neighbour is 3t + k in 32 bits: up to 715 million points, which
    // would take over 70 GB here; more cannot get their memory.
    if (3 * capacity > std::numeric_limits<SideRef>::max()) throw std::bad_alloc();
    corners_ = HostBlock<std::int32_t>(3 * capacity);
    neighbours_ = HostBlock<SideRef>(3 * capacity);
    marks_ = HostBlock<std::int32_t>(capacity);
    fanStart_ = HostBlock<std::int32_t>(static_cast<std::size_t>(n) + 1);
    order_ = HostBlock<std::int32_t>(static_cast<std::size_t>(n));
    std::int32_t* order = order_.get();
    for (std::int32_t i = 0; i < n; ++i) order[i] = i;
    // The order of insertion changes the time, never the triangles: CGAL's
    // spatial sort, a Hilbert curve through each of a series of random
    // rounds (fixed seed). Each round is a tenth of the next, not CGAL's
    // quarter: the last round then holds nine tenths of the points in one
    // Hilbert order. On lognormal data, where the rows are long and thin,
    // that shortens the walks by a quarter; the rounds still keep the
    // cavities small on points along a line or a circle.
    constexpr double roundRatio = 0.1;
    CGAL::spatial_sort(order, order + n, LexicographicOrder{points}, CGAL::Hilbert_sort_median_policy(), 0, 0,
                       roundRatio);
    if (!build(points, order)) {
        slots_ = 0;
        finite_ = 0;
    }
}

bool IncrementalDelaunay::isFinite(std::int32_t t) const
{
    const std::int32_t* c = corners(t);
    return c[0] != n_ && c[1] != n_ && c[2] != n_;
}

void IncrementalDelaunay::releaseWorkspace()
{
    neighbours_.release();
    marks_.release();
    fanStart_.release();
}

std::int32_t IncrementalDelaunay::infiniteCorner(std::int32_t t) const
{
    const std::int32_t* c = corners(t);
    return c[0] == n_ ? 0 : c[1] == n_ ? 1 : c[2] == n_ ? 2 : -1;
}

// A ghost conflicts with p where p lies strictly outside its hull side, or
// on that side's line strictly between its ends.
bool IncrementalDelaunay::ghostConflicts(std::int32_t t, int k, std::int32_t p) const
{
    const std::int32_t* c = corners(t);
    const ExactPoint& a = points_[c[next(k)]];
    const ExactPoint& b = points_[c[prev(k)]];
    const ExactPoint& q = points_[p];
    const CGAL::Orientation o = CGAL::orientation(a, b, q);
    if (o != CGAL::COLLINEAR) return o == CGAL::LEFT_TURN;
    return lexicographicallyBelow(a, q) ? lexicographicallyBelow(q, b) : lexicographicallyBelow(b, q);
}

// A finite triangle conflicts with p where p lies inside its circumcircle;
// on the circle, CGAL's symbolic perturbation decides.
bool IncrementalDelaunay::conflicts(std::int32_t t, std::int32_t p) const
{
    const int k = infiniteCorner(t);
    if (k >= 0) return ghostConflicts(t, k, p);
    const std::int32_t* c = corners(t);
    const ExactPoint& p0 = points_[c[0]];
    const ExactPoint& p1 = points_[c[1]];
    const ExactPoint& p2 = points_[c[2]];
    const ExactPoint& q = points_[p];
    const CGAL::Oriented_side side = CGAL::side_of_oriented_circle(p0, p1, p2, q);
    if (side != CGAL::ON_ORIENTED_BOUNDARY) return side == CGAL::ON_POSITIVE_SIDE;
    // The four points by rank, highest first: the highest-ranked one's
    // perturbation decides, unless its cofactor vanishes, then the next's.
    const ExactPoint* ranked[4] = {&p0, &p1, &p2, &q};
    std::sort(ranked, ranked + 4,
              [](const ExactPoint* a, const ExactPoint* b) { return lexicographicallyBelow(*a, *b); });
    for (int i = 3; i > 1; --i) {
        if (ranked[i] == &q) return false;
        CGAL::Orientation o = CGAL::COLLINEAR;
        if (ranked[i] == &p2 && (o = CGAL::orientation(p0, p1, q)) != CGAL::COLLINEAR) return o == CGAL::LEFT_TURN;
        if (ranked[i] == &p1 && (o = CGAL::orientation(p0, q, p2)) != CGAL::COLLINEAR) return o == CGAL::LEFT_TURN;
        if (ranked[i] == &p0 && (o = CGAL::orientation(q, p1, p2)) != CGAL::COLLINEAR) return o == CGAL::LEFT_TURN;
    }
    return false;
}

int IncrementalDelaunay::randomSide()
{
    random_ ^= random_ << 13;
    random_ ^= random_ >> 17;
    random_ ^= random_ << 5;
    return static_cast<int>(random_ % 3);
}

// Walks from t across sides that p lies beyond, as beyond(a, b) judges
// the side from a to b; the side tried first is drawn at random, so the
// walk cannot circle. Stops where no side has p beyond it, at a ghost (p
// lies beyond a hull side), or after maxSteps steps.
template <typename Beyond>
std::int32_t IncrementalDelaunay::walk(std::int32_t t, std::int64_t maxSteps, Beyond beyond)
{
    int entered = -1;  // the side the walk came in by
    for (std::int64_t steps = 0; steps < maxSteps; ++steps) {
        const std::int32_t* c = corners(t);
        int side = randomSide();
        bool moved = false;
        for (int i = 0; i < 3; ++i, side = next(side)) {
            if (side == entered) continue;
            if (beyond(points_[c[next(side)]], points_[c[prev(side)]])) {
                const SideRef across = neighbours_[3 * static_cast<std::size_t>(t) + static_cast<std::size_t>(side)];
                t = static_cast<std::int32_t>(across / 3);
                entered = static_cast<int>(across % 3);
                moved = true;
                break;
            }
        }
        if (!moved || infiniteCorner(t) >= 0) return t;
    }
    return t;
}

// A triangle that conflicts with p: a finite one that holds p, or a ghost
// whose hull side p lies strictly beyond.
//
// The walk goes first with each orientation a plain difference of products
// in double. That is a fraction of the filtered test's cost on the long
// walks across thin triangles (data spread over many orders of magnitude
// walk a hundred triangles and more per point); a sign it gets wrong only
// ends that walk early or late, after at most as many steps as there are
// triangles. The exact walk from where it ends finishes and checks.
std::int32_t IncrementalDelaunay::locate(std::int32_t start, std::int32_t p)
{
    const ExactPoint& q = points_[p];
    std::int32_t t = start;
    if (infiniteCorner(t) < 0) {
        const double qx = q.x(), qy = q.y();
        t = walk(t, slots_, [qx, qy](const ExactPoint& a, const ExactPoint& b) {
            return (b.x() - a.x()) * (qy - a.y()) - (b.y() - a.y()) * (qx - a.x()) < 0;
        });
    }
    const int k = infiniteCorner(t);
    if (k >= 0) {
        if (ghostConflicts(t, k, p)) return t;
        t = static_cast<std::int32_t>(neighbours_[3 * static_cast<std::size_t>(t) + static_cast<std::size_t>(k)] / 3);
    }
    return walk(t, std::numeric_limits<std::int64_t>::max(), [&q](const ExactPoint& a, const ExactPoint& b) {
        return CGAL::orientation(a, b, q) == CGAL::RIGHT_TURN;
    });
}

// Replaces the triangles fanning out from apex's cavity: one new triangle
// (from, to, apex) on each boundary side, in the slots of the removed
// triangles first, then in new slots.
void IncrementalDelaunay::makeFan(std::int32_t apex, const BoundarySide* sides, std::size_t count,
                                  const std::int32_t* reuse, std::size_t reuseCount)
{
    SideRef* neighbours = neighbours_.get();
    const auto side = [](std::int32_t t, int k) { return 3 * static_cast<SideRef>(t) + static_cast<SideRef>(k); };
    for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t t = i < reuseCount ? reuse[i] : slots_++;
        std::int32_t* c = corners(t);
        c[0] = sides[i].from;
        c[1] = sides[i].to;
        c[2] = apex;
        neighbours[side(t, 2)] = sides[i].outside;
        neighbours[sides[i].outside] = side(t, 2);
        fanStart_[static_cast<std::size_t>(sides[i].from)] = t;
        fan_[i] = t;
    }
    // The side to -> apex of one new triangle is the side apex -> from of
    // the one starting at `to`.
    for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t t = fan_[i];
        const std::int32_t after = fanStart_[static_cast<std::size_t>(sides[i].to)];
        neighbours[side(t, 0)] = side(after, 1);
        neighbours[side(after, 1)] = side(t, 0);
    }
}

// Inserts p: removes the triangles in conflict with it, found from one,
// and fans new ones from p over the hole. Returns a new triangle.
std::int32_t IncrementalDelaunay::insert(std::int32_t p, std::int32_t start, std::int32_t mark)
{
    std::int32_t* marks = marks_.get();
    const SideRef* neighbours = neighbours_.get();
    const std::int32_t first = locate(start, p);
    std::vector<std::int32_t>& cavity = cavity_;
    cavity.clear();
    cavity.push_back(first);
    marks[first] = 2 * mark;
    std::vector<BoundarySide>& sides = sides_;
    sides.clear();
    for (std::size_t i = 0; i < cavity.size(); ++i) {
        const std::int32_t t = cavity[i];
        for (int k = 0; k < 3; ++k) {
            const SideRef across = neighbours[3 * static_cast<std::size_t>(t) + static_cast<std::size_t>(k)];
            const auto u = static_cast<std::int32_t>(across / 3);
            if (marks[u] == 2 * mark) continue;
            if (marks[u] != 2 * mark + 1) {
                if (conflicts(u, p)) {
                    marks[u] = 2 * mark;
                    cavity.push_back(u);
                    continue;
                }
                marks[u] = 2 * mark + 1;
            }
            const std::int32_t* c = corners(t);
            sides.push_back(BoundarySide{c[next(k)], c[prev(k)], across});
        }
    }
    if (fan_.size() < sides.size()) fan_.resize(sides.size());
    makeFan(p, sides.data(), sides.size(), cavity.data(), cavity.size());
    return fan_[0];
}

bool IncrementalDelaunay::build(const ExactPoint* points, std::int32_t* order)
{
    // The first triangle: the first two points and the first point off
    // their line; the points passed over are inserted after it.
    const ExactPoint& a = points[order[0]];
    const ExactPoint& b = points[order[1]];
    std::int32_t third = 2;
    CGAL::Orientation turn = CGAL::COLLINEAR;
    while (third < n_ && (turn = CGAL::orientation(a, b, points[order[third]])) == CGAL::COLLINEAR) ++third;
    if (third == n_) return false;
    std::rotate(order + 2, order + third, order + third + 1);

    // The mesh numbers the points in the order of insertion, with their
    // coordinates copied in that order: a walk and a cavity then read
    // neighbouring memory, not the points' places in the input.
    inserted_ = HostBlock<ExactPoint>(static_cast<std::size_t>(n_));
    for (std::int32_t i = 0; i < n_; ++i) inserted_[static_cast<std::size_t>(i)] = points[order[i]];
    points_ = inserted_.get();
    const std::int32_t i0 = 0;
    const std::int32_t i1 = turn == CGAL::LEFT_TURN ? 1 : 2;
    const std::int32_t i2 = turn == CGAL::LEFT_TURN ? 2 : 1;
    slots_ = 1;
    std::int32_t* first = corners(0);
    first[0] = i0;
    first[1] = i1;
    first[2] = i2;
    const BoundarySide hull[3] = {{i1, i0, 2}, {i2, i1, 0}, {i0, i2, 1}};
    if (fan_.size() < 3) fan_.resize(3);
    makeFan(n_, hull, 3, nullptr, 0);

    std::int32_t last = 0;
    for (std::int32_t i = 3; i < n_; ++i) last = insert(i, last, i);

    std::int32_t finite = 0;
    for (std::int32_t t = 0; t < slots_; ++t) finite += isFinite(t) ? 1 : 0;
    finite_ = finite;
    return true;
}

}  // namespace sweeptri
