// The closed circumdisk of triangle abc lies inside the open half-plane
// x > xmin exactly when centre.x - xmin > radius. With the centre written as
// a + (ux, uy) and d = a.x - xmin >= 0 (a lies in the closed cell), the
// radius is |(ux, uy)| and
//     d + ux > sqrt(ux^2 + uy^2)  <=>  d^2 + 2 d ux - uy^2 > 0.
// (=>: square both sides. <=: the right side gives d (d + 2 ux) > uy^2 >= 0,
// so d > 0 and d + 2 ux > 0, hence d + ux > 0 and squaring may be undone.)
// With D = 2 cross(b - a, c - a) and ux = Nx / D, uy = Ny / D, multiplying
// by D^2 > 0 gives a polynomial in the coordinates:
//     (d D)^2 + 2 d Nx D - Ny^2 > 0.
// The other three sides are the same with the axis and the sign of d's
// direction exchanged. A side at -inf/+inf holds every disk.
//
// Each polynomial is evaluated first in plain doubles, with a bound on the
// rounding error (below); where that does not decide the sign, in interval
// arithmetic (CGAL's
// Interval_nt: every operation rounds its bounds outwards, so the interval
// holds the exact value whatever the magnitudes; overflow gives infinite
// bounds and underflow keeps a rigorous enclosure). When the interval does
// not decide the sign (it straddles zero, or is NaN after inf - inf), the
// same polynomial is evaluated in exact rationals (GMP through CGAL::Gmpq),
// in which every double is exact. The answer is therefore exact from 1e-300
// to 1e300: strict containment, never "nearly inside".
#include "disk_containment.hpp"

#include <CGAL/Gmpq.h>
#include <CGAL/Interval_nt.h>

#include <cmath>

namespace tiling {

namespace {

// The double filter. Every operation rounds with a relative error below
// u = 2^-52 (also when rounding upwards, as the caller has it). For a
// polynomial evaluated by a tree of +, - and x of depth k over inputs that
// are themselves rounded differences, the computed value v' of v obeys
// |v' - v| <= gamma_k V with gamma_k = k u / (1 - k u) and V the same tree
// evaluated over the absolute values of its leaves, with every - taken as
// + (Higham, Accuracy and Stability of Numerical Algorithms, 3.1-3.5); the
// rounding of V itself adds at most a factor (1 + gamma_k). The trees here
// have depth 8 (a difference, b2 = bx^2 + by^2, Nx = cy b2 - by c2, d D,
// (d D)^2 and 2 d D Nx, their sum, minus Ny^2), so |v' - v| < 2^-48 V', and
// a value beyond 2^-46 V' has v's sign. The bound assumes no product
// underflows or overflows: the filter is used only when every non-zero
// difference lies in [2^-100, 2^100] and D, Nx and Ny are zero or at least
// 2^-400 in magnitude, so that every product lies in [2^-1000, 2^700].
constexpr double filterBound = 0x1p-46;

bool filterRange(double v)
{
    const double m = std::fabs(v);
    return m == 0 || (m >= 0x1p-100 && m <= 0x1p100);
}

bool productRange(double v)
{
    const double m = std::fabs(v);
    return m == 0 || m >= 0x1p-400;
}

using Interval = CGAL::Interval_nt_advanced;  // rounding mode set by the caller

enum class Side { xLow, xHigh, yLow, yHigh };

// The terms shared by the four sides.
template <class NT>
struct DiskTerms {
    NT D, Nx, Ny;
};

template <class NT>
DiskTerms<NT> diskTerms(double ax, double ay, double bx, double by, double cx, double cy)
{
    const NT bxr = NT(bx) - NT(ax), byr = NT(by) - NT(ay);
    const NT cxr = NT(cx) - NT(ax), cyr = NT(cy) - NT(ay);
    const NT b2 = bxr * bxr + byr * byr, c2 = cxr * cxr + cyr * cyr;
    return {NT(2) * (bxr * cyr - byr * cxr), cyr * b2 - byr * c2, bxr * c2 - cxr * b2};
}

// The polynomial whose sign is the containment for one side; d is the
// corner's distance to the side along the side's normal (>= 0).
template <class NT>
NT sideValue(const DiskTerms<NT>& t, Side side, const NT& d)
{
    const NT& along = (side == Side::xLow || side == Side::xHigh) ? t.Nx : t.Ny;
    const NT& across = (side == Side::xLow || side == Side::xHigh) ? t.Ny : t.Nx;
    const NT dD = d * t.D;
    const NT cross = NT(2) * dD * along;
    const NT alongTerm = (side == Side::xLow || side == Side::yLow) ? cross : -cross;
    return dD * dD + alongTerm - across * across;
}

template <class NT>
NT distance(Side side, double ax, double ay, const Cell& cell)
{
    switch (side) {
    case Side::xLow: return NT(ax) - NT(cell.xmin);
    case Side::xHigh: return NT(cell.xmax) - NT(ax);
    case Side::yLow: return NT(ay) - NT(cell.ymin);
    case Side::yHigh: break;
    }
    return NT(cell.ymax) - NT(ay);
}

bool sideIsOpen(const Cell& cell, Side side)
{
    switch (side) {
    case Side::xLow: return std::isinf(cell.xmin);
    case Side::xHigh: return std::isinf(cell.xmax);
    case Side::yLow: return std::isinf(cell.ymin);
    case Side::yHigh: break;
    }
    return std::isinf(cell.ymax);
}

// The double filter on every side: false when some side certainly fails;
// otherwise bit s of decided says that side s certainly holds (open sides
// always do).
bool filterSides(const Cell& cell, double ax, double ay, double bx, double by, double cx, double cy,
                 unsigned& decided)
{
    decided = 0;
    const double bxr = bx - ax, byr = by - ay, cxr = cx - ax, cyr = cy - ay;
    if (!filterRange(bxr) || !filterRange(byr) || !filterRange(cxr) || !filterRange(cyr)) return true;
    const double b2 = bxr * bxr + byr * byr, c2 = cxr * cxr + cyr * cyr;
    const double D = 2 * (bxr * cyr - byr * cxr), Nx = cyr * b2 - byr * c2, Ny = bxr * c2 - cxr * b2;
    if (!productRange(D) || !productRange(Nx) || !productRange(Ny)) return true;
    const double absD = 2 * (std::fabs(bxr * cyr) + std::fabs(byr * cxr));
    const double absNx = std::fabs(cyr) * b2 + std::fabs(byr) * c2, absNy = std::fabs(bxr) * c2 + std::fabs(cxr) * b2;
    constexpr Side sides[] = {Side::xLow, Side::xHigh, Side::yLow, Side::yHigh};
    for (int s = 0; s < 4; ++s) {
        if (sideIsOpen(cell, sides[s])) {
            decided |= 1u << s;
            continue;
        }
        const double d = distance<double>(sides[s], ax, ay, cell);
        if (!filterRange(d)) continue;
        const bool xSide = sides[s] == Side::xLow || sides[s] == Side::xHigh;
        const double along = xSide ? Nx : Ny, across = xSide ? Ny : Nx;
        const double absAlong = xSide ? absNx : absNy, absAcross = xSide ? absNy : absNx;
        const double dD = d * D, cross = 2 * dD * along;
        const double value = dD * dD + ((sides[s] == Side::xLow || sides[s] == Side::yLow) ? cross : -cross) - across * across;
        const double absdD = std::fabs(d) * absD;
        const double magnitude = absdD * absdD + 2 * absdD * absAlong + absAcross * absAcross;
        if (!(std::fabs(value) > filterBound * magnitude)) continue;
        if (value < 0) return false;
        decided |= 1u << s;
    }
    return true;
}

}  // namespace

bool diskInsideOpenCell(const Cell& cell, double ax, double ay, double bx, double by, double cx, double cy)
{
    unsigned decided = 0;
    if (!filterSides(cell, ax, ay, bx, by, cx, cy, decided)) return false;
    if (decided == 0xF) return true;
    constexpr Side sides[] = {Side::xLow, Side::xHigh, Side::yLow, Side::yHigh};
    const DiskTerms<Interval> fast = diskTerms<Interval>(ax, ay, bx, by, cx, cy);
    bool exactNeeded[4] = {false, false, false, false};
    bool anyExact = false;
    for (int s = 0; s < 4; ++s) {
        if ((decided >> s) & 1u || sideIsOpen(cell, sides[s])) continue;
        const Interval value = sideValue(fast, sides[s], distance<Interval>(sides[s], ax, ay, cell));
        if (value.inf() > 0) continue;       // certainly inside on this side
        if (value.sup() <= 0) return false;  // certainly not (touching counts as not)
        exactNeeded[s] = anyExact = true;    // undecided (or NaN): decide exactly
    }
    if (!anyExact) return true;
    const DiskTerms<CGAL::Gmpq> exact = diskTerms<CGAL::Gmpq>(ax, ay, bx, by, cx, cy);
    if (CGAL::sign(exact.D) == CGAL::ZERO) return false;
    for (int s = 0; s < 4; ++s)
        if (exactNeeded[s] &&
            CGAL::sign(sideValue(exact, sides[s], distance<CGAL::Gmpq>(sides[s], ax, ay, cell))) != CGAL::POSITIVE)
            return false;
    return true;
}

}  // namespace tiling
