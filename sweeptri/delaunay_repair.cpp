#include "delaunay_repair.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "exact_predicates.hpp"
#include "hole_filling.hpp"
#include "host_block.hpp"
#include "host_services.hpp"

namespace sweeptri {

namespace {

std::uint64_t directedSide(std::int32_t from, std::int32_t to)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(from)) << 32) | static_cast<std::uint32_t>(to);
}

std::int32_t sideFrom(std::uint64_t side) { return static_cast<std::int32_t>(side >> 32); }
std::int32_t sideTo(std::uint64_t side) { return static_cast<std::int32_t>(side & 0xffffffffu); }

// What the rows cover: the hull, as a triangulation; part of it, as a
// triangulation of that part (each side matched at most once, in the
// opposite direction, and fewer rows than the hull needs); or neither.
enum class Cover { Triangulation, Part, None };

// The rows' table, in numbers of its own: the points are numbered in the
// order in which the rows first name them, and their coordinates gathered
// in that order. The sweep writes rows in sweep order, so neighbouring
// rows name points with nearby numbers, and the scans of the table read
// memory nearly in order instead of at the points' places in the input.
// The caller's coordinates are read only while the table is built, into
// host blocks (a fault on a mapped input then ends the call with nothing
// else to release).
class Repair {
public:
    Repair(double* rows, std::int32_t count, std::int32_t capacity, const double* x, const double* y, int exponent,
           std::int32_t n)
        : rows_(rows), count_(count), givenCount_(count), capacity_(std::max(count, capacity)), x_(x), y_(y),
          exponent_(exponent), n_(n)
    {
    }

    bool loadCorners();
    Cover matchSides(const HullCycle& hull);
    bool fillUncovered();
    void writeRows();
    bool flipUntilDelaunay(const std::vector<SuspectSide>* suspects);
    std::int32_t count() const { return count_; }

private:
    double* rows_;
    std::int32_t count_;
    std::int32_t givenCount_;  // rows before any were appended
    std::int32_t capacity_;    // rows the table and rows_ have room for
    const double* x_;
    const double* y_;
    int exponent_;
    std::int32_t n_;
    std::int64_t expected_ = 0;  // rows of a triangulation of the hull
    HostBlock<std::int32_t> corners_;  // three own numbers a row
    HostBlock<std::int32_t> across_;   // per row and corner: the row across the opposite side, or -1
    HostBlock<std::int32_t> numberOf_;  // per point: its own number + 1
    HostBlock<std::int32_t> pointOf_;   // per own number: the point
    HostBlock<double> xy_;              // per own number: x and y, scaled
    std::int32_t usedPoints_ = 0;       // own numbers below it are corners of some row
    // The hull's edges as the rows inside run them, sorted.
    std::vector<std::uint64_t> boundary_;
    // Sides without a reverse, sorted, each with its row and corner (3r + k).
    std::vector<std::pair<std::uint64_t, std::int64_t>> open_;

    double px(std::int32_t i) const { return xy_[2 * static_cast<std::size_t>(i)]; }
    double py(std::int32_t i) const { return xy_[2 * static_cast<std::size_t>(i) + 1]; }
    std::int32_t own(std::int32_t point) const { return numberOf_[static_cast<std::size_t>(point)] - 1; }
    std::int32_t corner(std::int32_t r, int k) const { return corners_[3 * static_cast<std::size_t>(r) + k]; }
    void setRow(std::int32_t r, std::int32_t a, std::int32_t b, std::int32_t c)
    {
        std::int32_t* row = &corners_[3 * static_cast<std::size_t>(r)];
        row[0] = a;
        row[1] = b;
        row[2] = c;
        rows_[r] = pointOf_[static_cast<std::size_t>(a)] + 1.0;
        rows_[count_ + r] = pointOf_[static_cast<std::size_t>(b)] + 1.0;
        rows_[2 * static_cast<std::ptrdiff_t>(count_) + r] = pointOf_[static_cast<std::size_t>(c)] + 1.0;
    }
    std::int32_t& across(std::int32_t r, int k) { return across_[3 * static_cast<std::size_t>(r) + k]; }
    int slotToward(std::int32_t r, std::int32_t other)
    {
        for (int k = 0; k < 3; ++k)
            if (across(r, k) == other) return k;
        return -1;
    }
    // The corner of row r opposite the side joining a and b (own numbers),
    // or -1.
    int cornerOpposite(std::int32_t r, std::int32_t a, std::int32_t b) const
    {
        for (int k = 0; k < 3; ++k) {
            const std::int32_t u = corner(r, (k + 1) % 3), v = corner(r, (k + 2) % 3);
            if ((u == a && v == b) || (u == b && v == a)) return k;
        }
        return -1;
    }
    bool properRow(std::int32_t r) const
    {
        const std::int32_t a = corner(r, 0), b = corner(r, 1), c = corner(r, 2);
        return a != b && b != c && c != a && orientationSign(px(a), py(a), px(b), py(b), px(c), py(c)) < 0;
    }
    // Gives point i the next own number and gathers its coordinates.
    std::int32_t number(std::int32_t i, std::int32_t& next)
    {
        std::int32_t& slot = numberOf_[static_cast<std::size_t>(i)];
        if (slot == 0) {
            slot = ++next;
            pointOf_[static_cast<std::size_t>(next - 1)] = i;
            xy_[2 * static_cast<std::size_t>(next - 1)] = exponent_ == 0 ? x_[i] : std::ldexp(x_[i], exponent_);
            xy_[2 * static_cast<std::size_t>(next - 1) + 1] = exponent_ == 0 ? y_[i] : std::ldexp(y_[i], exponent_);
        }
        return slot - 1;
    }
    bool needsFlip(std::int32_t r, int k);
    void flip(std::int32_t r, int k, std::vector<std::pair<std::int32_t, int>>& pending);
    // Per row: bit k, side k is to be tested in the first pass; bit 3, a
    // flip has rewritten the row (or it was appended).
    std::vector<std::uint8_t> marks_;
    static constexpr std::uint8_t rewritten = 8;
    void markSuspects(const std::vector<SuspectSide>& suspects);
    bool mayNeedFlip(std::int32_t r, int k)
    {
        if (marks_.empty()) return true;
        if ((marks_[static_cast<std::size_t>(r)] & ((1u << k) | rewritten)) != 0) return true;
        const std::int32_t s = across(r, k);
        return s >= 0 && (marks_[static_cast<std::size_t>(s)] & rewritten) != 0;
    }
};

bool Repair::loadCorners()
{
    corners_ = HostBlock<std::int32_t>(3 * static_cast<std::size_t>(capacity_));
    numberOf_ = HostBlock<std::int32_t>(static_cast<std::size_t>(n_));
    pointOf_ = HostBlock<std::int32_t>(static_cast<std::size_t>(n_));
    xy_ = HostBlock<double>(2 * static_cast<std::size_t>(n_));
    std::int32_t next = 0;
    for (std::int32_t r = 0; r < count_; ++r) {
        for (int k = 0; k < 3; ++k) {
            const double v = rows_[static_cast<std::ptrdiff_t>(k) * count_ + r];
            if (!(v >= 1.0 && v <= n_) || v != std::floor(v)) return false;
            corners_[3 * static_cast<std::size_t>(r) + k] = number(static_cast<std::int32_t>(v) - 1, next);
        }
        if (!properRow(r)) return false;
    }
    usedPoints_ = next;
    for (std::int32_t i = 0; i < n_; ++i) number(i, next);
    return true;
}

Cover Repair::matchSides(const HullCycle& hull)
{
    if (!hull.hasArea()) return Cover::None;
    const auto h = static_cast<std::int64_t>(hull.points.size());
    expected_ = 2 * static_cast<std::int64_t>(n_) - 2 - h;
    if (count_ > expected_) return Cover::None;

    // The rows around each point, as a temporary compressed list; each entry
    // also holds the corners that follow and precede the point in the row,
    // so that matching a side reads only the point's own entries, and the
    // point's place in the row.
    struct Around {
        std::uint32_t slot;  // 3 * row + the point's corner
        std::int32_t next;
        std::int32_t previous;
    };
    const auto sides = 3 * static_cast<std::size_t>(count_);
    // Slots are 32 bits, as in the recomputation, which takes over beyond.
    if (sides > std::numeric_limits<std::uint32_t>::max()) return Cover::None;
    HostBlock<std::uint32_t> start(static_cast<std::size_t>(n_) + 1);
    HostBlock<Around> around(sides);
    for (std::int32_t r = 0; r < count_; ++r)
        for (int k = 0; k < 3; ++k) ++start[static_cast<std::size_t>(corner(r, k)) + 1];
    for (std::int32_t i = 0; i < n_; ++i) start[static_cast<std::size_t>(i) + 1] += start[static_cast<std::size_t>(i)];
    for (std::int32_t r = 0; r < count_; ++r)
        for (int k = 0; k < 3; ++k)
            around[start[static_cast<std::size_t>(corner(r, k))]++] =
                Around{static_cast<std::uint32_t>(3 * static_cast<std::int64_t>(r) + k), corner(r, (k + 1) % 3),
                       corner(r, (k + 2) % 3)};
    for (std::int32_t i = n_; i > 0; --i) start[static_cast<std::size_t>(i)] = start[static_cast<std::size_t>(i) - 1];
    start[0] = 0;

    across_ = HostBlock<std::int32_t>(3 * static_cast<std::size_t>(capacity_));
    open_.clear();
    // A triangulation leaves h sides open; a larger uncovered part is left
    // to the exact recomputation.
    const std::int64_t openLimit = count_ == expected_ ? h : h + count_ / 8 + 64;
    // Each side u -> v is matched among u's own entries, which lie
    // together: its row's entry of u has next == v, and a row that runs
    // v -> u has an entry of u with previous == v. So every side is looked
    // at once, from its first point, and two entries of u with the same
    // next, or the same previous, are a side run twice.
    bool valid = true;
    for (std::int32_t u = 0; u < n_ && valid; ++u) {
        const std::uint32_t first = start[static_cast<std::size_t>(u)];
        const std::uint32_t end = start[static_cast<std::size_t>(u) + 1];
        for (std::uint32_t i = first; i < end && valid; ++i) {
            const std::int32_t v = around[i].next;
            std::int64_t reverse = -1;  // the row that runs v -> u
            for (std::uint32_t j = first; j < end; ++j) {
                if (j != i && around[j].next == v) valid = false;  // u -> v in two rows
                if (around[j].previous == v) {
                    if (reverse >= 0) valid = false;  // v -> u in two rows
                    reverse = around[j].slot / 3;
                }
            }
            // In row r = [.., u, v, w], u -> v is the side opposite w.
            const auto r = static_cast<std::int32_t>(around[i].slot / 3);
            const auto k = static_cast<int>((around[i].slot % 3 + 2) % 3);
            across(r, k) = static_cast<std::int32_t>(reverse);
            if (reverse < 0) {
                if (static_cast<std::int64_t>(open_.size()) >= openLimit) valid = false;
                open_.emplace_back(directedSide(u, v), 3 * static_cast<std::int64_t>(r) + k);
            }
        }
    }
    if (!valid) return Cover::None;
    if (count_ == expected_) {
        // The open sides must be the hull's edges, each run the way the
        // rows inside run it: from each hull point to the one before it.
        if (open_.size() != hull.points.size()) return Cover::None;
        const std::size_t hullSize = hull.points.size();
        HostBlock<std::int32_t> before(static_cast<std::size_t>(n_));
        std::fill(before.get(), before.get() + n_, -1);
        for (std::size_t i = 0; i < hullSize; ++i)
            before[static_cast<std::size_t>(own(hull.points[(i + 1) % hullSize]))] = own(hull.points[i]);
        // The open sides are distinct (none is run twice), so h matches
        // with the h edges are the whole boundary.
        for (const auto& open : open_)
            if (before[static_cast<std::size_t>(sideFrom(open.first))] != sideTo(open.first)) return Cover::None;
        return Cover::Triangulation;
    }
    boundary_.clear();
    for (std::size_t i = 0; i < hull.points.size(); ++i)
        boundary_.push_back(directedSide(own(hull.points[(i + 1) % hull.points.size()]), own(hull.points[i])));
    std::sort(boundary_.begin(), boundary_.end());
    std::sort(open_.begin(), open_.end());
    return Cover::Part;
}

// The uncovered region is bounded by the rows' open sides that are not
// hull edges (run the other way, so that the region lies on their right, as
// a clockwise row lies on the right of its sides) and by the hull edges
// that no row runs. Its triangles are appended, and their sides matched
// with each other and with the open sides: what stays open must be exactly
// the hull's boundary, and the rows must number 2n - 2 - h.
bool Repair::fillUncovered()
{
    // Filling is for pockets and holes beside rows that are mostly there.
    // Where the sweep wrote less than three quarters of the rows (a far
    // point can leave it writing none), the recomputation, with its own
    // order of rows, is both cheaper and what such a call has always given.
    if (count_ < expected_ - expected_ / 4) return false;
    std::vector<DirectedSide> outline;
    std::size_t i = 0, j = 0;
    while (i < open_.size() || j < boundary_.size()) {
        if (j == boundary_.size() || (i < open_.size() && open_[i].first < boundary_[j])) {
            outline.push_back(DirectedSide{sideTo(open_[i].first), sideFrom(open_[i].first)});
            ++i;
        } else if (i == open_.size() || boundary_[j] < open_[i].first) {
            outline.push_back(DirectedSide{sideFrom(boundary_[j]), sideTo(boundary_[j])});
            ++j;
        } else {
            ++i;
            ++j;
        }
    }
    std::vector<std::int32_t> loose;
    for (std::int32_t p = usedPoints_; p < n_; ++p) loose.push_back(p);
    std::vector<std::int32_t> added;
    if (!fillRegion(outline, loose, xy_.get(), added)) return false;
    const auto total = static_cast<std::int64_t>(count_) + static_cast<std::int64_t>(added.size() / 3);
    if (total != expected_ || total > capacity_) return false;
    const auto newCount = static_cast<std::int32_t>(total);
    std::copy(added.begin(), added.end(), corners_.get() + 3 * static_cast<std::ptrdiff_t>(count_));
    for (std::int32_t r = count_; r < newCount; ++r)
        if (!properRow(r)) return false;

    std::unordered_map<std::uint64_t, std::int64_t> unmatched;
    unmatched.reserve(open_.size() + added.size());
    for (const auto& [side, slot] : open_) unmatched.emplace(side, slot);
    for (std::int32_t r = count_; r < newCount; ++r) {
        for (int k = 0; k < 3; ++k) {
            const std::int32_t u = corner(r, (k + 1) % 3), v = corner(r, (k + 2) % 3);
            across(r, k) = -1;
            const auto reverse = unmatched.find(directedSide(v, u));
            if (reverse != unmatched.end()) {
                const std::int64_t slot = reverse->second;
                across(r, k) = static_cast<std::int32_t>(slot / 3);
                across_[static_cast<std::size_t>(slot)] = r;
                unmatched.erase(reverse);
            } else if (!unmatched.emplace(directedSide(u, v), 3 * static_cast<std::int64_t>(r) + k).second) {
                return false;  // u -> v in two rows
            }
        }
    }
    std::vector<std::uint64_t> left;
    left.reserve(unmatched.size());
    for (const auto& entry : unmatched) left.push_back(entry.first);
    std::sort(left.begin(), left.end());
    if (left != boundary_) return false;
    count_ = newCount;
    return true;
}

void Repair::writeRows()
{
    for (std::int32_t r = 0; r < count_; ++r) setRow(r, corner(r, 0), corner(r, 1), corner(r, 2));
}

// The side opposite corner k of row r, against the far corner of the row
// across it.
bool Repair::needsFlip(std::int32_t r, int k)
{
    const std::int32_t s = across(r, k);
    if (s < 0) return false;
    const int j = slotToward(s, r);
    if (j < 0) return false;
    const std::int32_t f = corner(r, k), u = corner(r, (k + 1) % 3), v = corner(r, (k + 2) % 3);
    const std::int32_t g = corner(s, j);
    return strictlyInCircle(px(f), py(f), px(u), py(u), px(v), py(v), px(g), py(g), true);
}

void Repair::flip(std::int32_t r, int k, std::vector<std::pair<std::int32_t, int>>& pending)
{
    const std::int32_t s = across(r, k);
    const int j = slotToward(s, r);
    // r = [f, u, v], s = [g, v, u]; the outer rows beside each side.
    const std::int32_t f = corner(r, k), u = corner(r, (k + 1) % 3), v = corner(r, (k + 2) % 3);
    const std::int32_t g = corner(s, j);
    const std::int32_t outerFU = across(r, (k + 2) % 3);  // across f -> u
    const std::int32_t outerVF = across(r, (k + 1) % 3);  // across v -> f
    const std::int32_t outerGV = across(s, (j + 2) % 3);  // across g -> v
    const std::int32_t outerUG = across(s, (j + 1) % 3);  // across u -> g
    // r becomes [f, u, g], s becomes [g, v, f].
    setRow(r, f, u, g);
    setRow(s, g, v, f);
    if (!marks_.empty()) {
        marks_[static_cast<std::size_t>(r)] |= rewritten;
        marks_[static_cast<std::size_t>(s)] |= rewritten;
    }
    across(r, 0) = outerUG;
    across(r, 1) = s;
    across(r, 2) = outerFU;
    across(s, 0) = outerVF;
    across(s, 1) = r;
    across(s, 2) = outerGV;
    if (outerUG >= 0) across(outerUG, slotToward(outerUG, s)) = r;
    if (outerVF >= 0) across(outerVF, slotToward(outerVF, r)) = s;
    pending.emplace_back(r, 0);
    pending.emplace_back(r, 2);
    pending.emplace_back(s, 0);
    pending.emplace_back(s, 2);
}

void Repair::markSuspects(const std::vector<SuspectSide>& suspects)
{
    marks_.assign(static_cast<std::size_t>(count_), 0);
    for (const SuspectSide& side : suspects) {
        if (side.row < 0 || side.row >= count_ || side.a < 0 || side.a >= n_ || side.b < 0 || side.b >= n_) continue;
        const int k = cornerOpposite(side.row, own(side.a), own(side.b));
        if (k < 0) continue;
        marks_[static_cast<std::size_t>(side.row)] |= static_cast<std::uint8_t>(1u << k);
        // The same side seen from the row across: the in-circle test gives
        // the same answer from both rows, and the pass meets whichever row
        // comes first.
        const std::int32_t s = across(side.row, k);
        if (s < 0) continue;
        const int j = slotToward(s, side.row);
        if (j >= 0) marks_[static_cast<std::size_t>(s)] |= static_cast<std::uint8_t>(1u << j);
    }
}

// The first pass visits every side in row order, and each flip's outer
// sides are tested again at once. With suspects, a side is tested in the
// pass only if it is listed or one of its two rows has been rewritten (or
// appended): every other side is vouched to be locally Delaunay and would
// not flip, so the flips, and their order, are the same as when every side
// is tested.
bool Repair::flipUntilDelaunay(const std::vector<SuspectSide>* suspects)
{
    if (suspects != nullptr) {
        markSuspects(*suspects);
        for (std::int32_t r = givenCount_; r < count_; ++r) marks_[static_cast<std::size_t>(r)] |= rewritten;
    }
    std::int64_t budget = 4 * static_cast<std::int64_t>(n_);
    std::vector<std::pair<std::int32_t, int>> pending;
    for (std::int32_t r = 0; r < count_; ++r)
        for (int k = 0; k < 3; ++k) {
            if (!mayNeedFlip(r, k)) continue;
            pending.emplace_back(r, k);
            while (!pending.empty()) {
                const auto [row, side] = pending.back();
                pending.pop_back();
                if (!needsFlip(row, side)) continue;
                if (--budget < 0) return false;
                flip(row, side, pending);
            }
        }
    return true;
}

}  // namespace

bool repairByFlips(double* rows, std::int32_t count, const double* x, const double* y, std::int32_t n, int exponent,
                   const HullCycle& hull, const std::vector<SuspectSide>* suspects)
{
    Repair repair(rows, count, count, x, y, exponent, n);
    return repair.loadCorners() && repair.matchSides(hull) == Cover::Triangulation &&
           repair.flipUntilDelaunay(suspects);
}

std::int32_t completeAndRepair(double* rows, std::int32_t count, std::int32_t capacity, const double* x,
                               const double* y, std::int32_t n, int exponent, const HullCycle& hull,
                               const std::vector<SuspectSide>* suspects)
{
    Repair repair(rows, count, capacity, x, y, exponent, n);
    if (!repair.loadCorners()) return -1;
    switch (repair.matchSides(hull)) {
    case Cover::None: return -1;
    case Cover::Part:
        if (!repair.fillUncovered()) return -1;
        repair.writeRows();
        break;
    case Cover::Triangulation: break;
    }
    return repair.flipUntilDelaunay(suspects) ? repair.count() : -1;
}

}  // namespace sweeptri
