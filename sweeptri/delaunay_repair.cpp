#include "delaunay_repair.hpp"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "exact_predicates.hpp"
#include "ky.h"

namespace sweeptri {

namespace {

struct Points {
    const double* x;
    const double* y;
    int exponent;
    double px(std::int32_t i) const { return exponent == 0 ? x[i] : std::ldexp(x[i], exponent); }
    double py(std::int32_t i) const { return exponent == 0 ? y[i] : std::ldexp(y[i], exponent); }
};

class Repair {
public:
    Repair(double* rows, std::int32_t count, const Points& points, std::int32_t n)
        : rows_(rows), count_(count), points_(points), n_(n)
    {
    }

    bool isTriangulation(const HullCycle& hull);
    bool flipUntilDelaunay();

private:
    double* rows_;
    std::int32_t count_;
    Points points_;
    std::int32_t n_;
    std::int32_t* across_ = nullptr;  // per row and corner: the row across the opposite side, or -1

    std::int32_t corner(std::int32_t r, int k) const
    {
        return static_cast<std::int32_t>(rows_[static_cast<std::ptrdiff_t>(k) * count_ + r]) - 1;
    }
    void setRow(std::int32_t r, std::int32_t a, std::int32_t b, std::int32_t c)
    {
        rows_[r] = a + 1.0;
        rows_[count_ + r] = b + 1.0;
        rows_[2 * static_cast<std::ptrdiff_t>(count_) + r] = c + 1.0;
    }
    std::int32_t& across(std::int32_t r, int k) { return across_[3 * static_cast<std::ptrdiff_t>(r) + k]; }
    int slotToward(std::int32_t r, std::int32_t other)
    {
        for (int k = 0; k < 3; ++k)
            if (across(r, k) == other) return k;
        return -1;
    }
    bool clockwise(std::int32_t r) const
    {
        const std::int32_t a = corner(r, 0), b = corner(r, 1), c = corner(r, 2);
        return orientationSign(points_.px(a), points_.py(a), points_.px(b), points_.py(b), points_.px(c),
                               points_.py(c)) < 0;
    }
    bool needsFlip(std::int32_t r, int k);
    void flip(std::int32_t r, int k, std::vector<std::pair<std::int32_t, int>>& pending);
};

std::uint64_t directedSide(std::int32_t from, std::int32_t to)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(from)) << 32) | static_cast<std::uint32_t>(to);
}

bool Repair::isTriangulation(const HullCycle& hull)
{
    if (!hull.hasArea()) return false;
    const auto h = static_cast<std::int64_t>(hull.points.size());
    if (count_ != 2 * static_cast<std::int64_t>(n_) - 2 - h) return false;
    for (std::int32_t r = 0; r < count_; ++r) {
        for (int k = 0; k < 3; ++k) {
            const double v = rows_[static_cast<std::ptrdiff_t>(k) * count_ + r];
            if (!(v >= 1.0 && v <= n_) || v != std::floor(v)) return false;
        }
        if (corner(r, 0) == corner(r, 1) || corner(r, 1) == corner(r, 2) || corner(r, 2) == corner(r, 0) ||
            !clockwise(r))
            return false;
    }

    // The rows around each point, as a temporary compressed list.
    const auto sides = 3 * static_cast<std::size_t>(count_);
    auto* start = static_cast<std::uint32_t*>(kyCalloc(static_cast<std::size_t>(n_) + 1, sizeof(std::uint32_t)));
    auto* around = static_cast<std::int32_t*>(kyCalloc(sides, sizeof(std::int32_t)));
    for (std::int32_t r = 0; r < count_; ++r)
        for (int k = 0; k < 3; ++k) ++start[corner(r, k) + 1];
    for (std::int32_t i = 0; i < n_; ++i) start[i + 1] += start[i];
    for (std::int32_t r = 0; r < count_; ++r)
        for (int k = 0; k < 3; ++k) around[start[corner(r, k)]++] = r;
    for (std::int32_t i = n_; i > 0; --i) start[i] = start[i - 1];
    start[0] = 0;

    across_ = static_cast<std::int32_t*>(kyCalloc(sides, sizeof(std::int32_t)));
    std::vector<std::uint64_t> unmatched;
    bool valid = true;
    for (std::int32_t r = 0; r < count_ && valid; ++r) {
        for (int k = 0; k < 3 && valid; ++k) {
            const std::int32_t u = corner(r, (k + 1) % 3), v = corner(r, (k + 2) % 3);
            std::int32_t reverse = -1;
            for (std::uint32_t j = start[u]; j < start[u + 1]; ++j) {
                const std::int32_t s = around[j];
                for (int c = 0; c < 3; ++c) {
                    if (corner(s, c) != u) continue;
                    if (s != r && corner(s, (c + 1) % 3) == v) valid = false;  // u -> v in two rows
                    if (corner(s, (c + 2) % 3) == v) {
                        if (reverse >= 0) valid = false;  // v -> u in two rows
                        reverse = s;
                    }
                }
            }
            across(r, k) = reverse;
            if (reverse < 0) {
                if (static_cast<std::int64_t>(unmatched.size()) == h) valid = false;
                unmatched.push_back(directedSide(u, v));
            }
        }
    }
    kyFree(around);
    kyFree(start);
    if (!valid) return false;
    std::vector<std::uint64_t> boundary;
    for (std::size_t i = 0; i < hull.points.size(); ++i)
        boundary.push_back(directedSide(hull.points[(i + 1) % hull.points.size()], hull.points[i]));
    std::sort(boundary.begin(), boundary.end());
    std::sort(unmatched.begin(), unmatched.end());
    return unmatched == boundary;
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
    return strictlyInCircle(points_.px(f), points_.py(f), points_.px(u), points_.py(u), points_.px(v), points_.py(v),
                            points_.px(g), points_.py(g), true);
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

bool Repair::flipUntilDelaunay()
{
    std::int64_t budget = 4 * static_cast<std::int64_t>(n_);
    std::vector<std::pair<std::int32_t, int>> pending;
    for (std::int32_t r = 0; r < count_; ++r)
        for (int k = 0; k < 3; ++k) {
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
                   const HullCycle& hull)
{
    Repair repair(rows, count, Points{x, y, exponent}, n);
    return repair.isTriangulation(hull) && repair.flipUntilDelaunay();
}

}  // namespace sweeptri
