// Sibson's coordinates from the rows whose circumcircle holds the query.
//
// The area the query takes from a neighbour's Voronoi cell is computed
// without constructing any Voronoi vertex. Within a triangle (a, b, c),
// counter-clockwise, the part of a's Voronoi cell that lies in the triangle
// has area h(a, b) + h(c, a), where for the side from u to v with the third
// corner w
//
//     h(u, v) = |v - u|^2 * ((w - u) . (w - v)) / (8 * orientation(u, v, w)),
//
// which is |v - u|^2 cot(angle at w) / 8: the triangle of a, the side's
// midpoint and the circumcentre. Summed over a point's triangles this is
// the area of its Voronoi cell (clipped to the triangles' circumcentres).
// These terms of the rows do not depend on the query: with many queries
// they are worked out once beforehand (computeSideTerms).
// Adding the query replaces the rows of its region by triangles (u, v, q),
// one for each side u -> v on the region's boundary; the area taken from
// a's cell is what its parts of the old rows add up to, less its parts of
// the new triangles. Each term is a product of side lengths and an angle's
// cotangent, so nothing far away is subtracted from anything far away: as
// the query nears the hull its new cell grows without bound, and the terms
// grow with the total they are divided by. The orientations are accurate
// to a few units in the last place (geometry/accurate_orientation.hpp), also for the
// thin triangles (u, v, q) there.
// That holds while the sides are of a size with the cells. A row that is a
// sliver with one far corner (its circumcentre far off across a short
// side) has terms for its long sides that are the long side times that
// distance, which cancel in the areas down to the short side times it:
// rounding then leaves nothing of a neighbour's share. So each query's
// areas come with the sum of the terms' magnitudes, and where that sum is
// more than 2^12 times the total of the areas (or an orientation is too
// thin for its few units in the last place to hold), the same areas are
// worked out again in exact rational arithmetic.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include <CGAL/Exact_rational.h>

#include "geometry/accurate_orientation.hpp"
#include "geometry/exact_predicates.hpp"
#include "geometry/scale_exponent.hpp"
#include "interpolation_weights.hpp"
#include "ky.h"

namespace trinterp {

namespace {

using Exact = CGAL::Exact_rational;
using ky::geometry::accurateOrientation;
using ky::geometry::DifferenceFrame;
using ky::geometry::orientationSign;
using ky::geometry::strictlyInsideCircle;

// The areas' magnitudes may exceed their total by this much before the
// exact areas are worked out instead: the weights keep an error below
// about 2^12 units in the last place.
constexpr double cancellationLimit = 4096;

// 1 / (8 * orientation(u, v, w)), or NaN where the orientation may be off
// by more than a few units in the last place: its absolute error is about
// 2^-104 times the squared sides (and more where they underflow), so a
// triangle thinner than 2^-60 of them, or with sides below 2^-900, asks
// for the exact areas.
double termScale(const double* u, const double* v, const double* w)
{
    const double orientation = accurateOrientation(u, v, w);
    const double sides = std::max({std::fabs(v[0] - u[0]), std::fabs(v[1] - u[1]), std::fabs(w[0] - u[0]),
                                   std::fabs(w[1] - u[1])});
    const double square = sides * sides;
    if (!(std::fabs(orientation) > 0x1p-60 * square) || !(square > 0x1p-900)) return NAN;
    return 1 / (8 * orientation);
}

// h(u, v) of the triangle (u, v, w) exactly; false for a triangle on one
// line, which has none.
bool exactCornerTerm(const double* u, const double* v, const double* w, Exact& h)
{
    const Exact ux(u[0]), uy(u[1]), vx(v[0]), vy(v[1]), wx(w[0]), wy(w[1]);
    const Exact sx = vx - ux, sy = vy - uy;
    const Exact dot = (wx - ux) * (wx - vx) + (wy - uy) * (wy - vy);
    const Exact orientation = sx * (wy - uy) - sy * (wx - ux);
    if (CGAL::is_zero(orientation)) return false;
    h = (sx * sx + sy * sy) * dot / (8 * orientation);
    return true;
}

int cornerOf(const std::int32_t* row, std::int32_t point)
{
    return row[0] == point ? 0 : row[1] == point ? 1 : 2;
}

// h(u, v) of the triangle (u, v, w), `scale` 1 / (8 * its orientation).
double cornerTerm(const double* u, const double* v, const double* w, double scale)
{
    const double sx = v[0] - u[0], sy = v[1] - u[1];
    const double dot = (w[0] - u[0]) * (w[0] - v[0]) + (w[1] - u[1]) * (w[1] - v[1]);
    return (sx * sx + sy * sy) * (dot * scale);
}

// h of the three sides of the triangle p: h[j] for side j, from corner j+1
// to corner j+2, the third corner being j.
void triangleTerms(const double* const p[3], double h[3])
{
    const double scale = termScale(p[0], p[1], p[2]);
    for (int j = 0; j < 3; ++j) h[j] = cornerTerm(p[nextCorner(j)], p[previousCorner(j)], p[j], scale);
}

void rowTerms(const Mesh& mesh, std::int32_t r, double h[3])
{
    const std::int32_t* row = mesh.row(r);
    const double* p[3] = {mesh.point(row[0]), mesh.point(row[1]), mesh.point(row[2])};
    triangleTerms(p, h);
}

// Sorts the neighbours by their points' positions in X and Y: by insertion
// for the few a query mostly has.
void sortByOriginalPoint(Neighbour* neighbours, std::int32_t count, const std::int32_t* original)
{
    const auto before = [original](const Neighbour& a, const Neighbour& b) { return original[a.point] < original[b.point]; };
    if (count > 24) {
        std::sort(neighbours, neighbours + count, before);
        return;
    }
    for (std::int32_t i = 1; i < count; ++i) {
        const Neighbour moving = neighbours[i];
        std::int32_t k = i;
        for (; k > 0 && before(moving, neighbours[k - 1]); --k) neighbours[k] = neighbours[k - 1];
        neighbours[k] = moving;
    }
}

class Region {
public:
    Region(const Mesh& mesh, NaturalScratch& scratch, double qx, double qy)
        : mesh_(mesh), s_(scratch), q_{qx, qy}
    {
        if (++s_.stamp == 0) {
            // The stamps went round: forget every mark.
            std::memset(s_.rowMark, 0, sizeof(std::uint32_t) * static_cast<std::size_t>(mesh.rowCount));
            std::memset(s_.pointMark, 0, sizeof(std::uint32_t) * static_cast<std::size_t>(mesh.pointCount));
            s_.stamp = 1;
        }
    }

    void add(std::int32_t r)
    {
        s_.rowMark[r] = s_.stamp;
        s_.region[size_++] = r;
    }

    // Grows the region from its first rows across every side whose row
    // holds the query strictly inside its circumcircle and has the query
    // strictly on the inner side of its two other sides. In a Delaunay
    // triangulation the second condition always holds; elsewhere it keeps
    // the region seen whole from the query, so that every new triangle is
    // counter-clockwise.
    void grow()
    {
        for (std::int32_t i = 0; i < size_; ++i) {
            const std::int32_t r = s_.region[i];
            for (int j = 0; j < 3; ++j) {
                const std::int32_t other = mesh_.neighbour(r, j);
                if (other < 0 || s_.rowMark[other] == s_.stamp) continue;
                const std::int32_t* row = mesh_.row(other);
                const double* a = mesh_.point(row[0]);
                const double* b = mesh_.point(row[1]);
                const double* c = mesh_.point(row[2]);
                if (!strictlyInsideCircle(a, b, c, q_[0], q_[1])) continue;
                if (!mesh_.delaunay) {
                    const int back = nextCorner(cornerOf(row, mesh_.row(r)[nextCorner(j)]));
                    if (!seesSide(row, nextCorner(back)) || !seesSide(row, previousCorner(back))) continue;
                }
                add(other);
            }
        }
    }

    // The areas taken from each neighbour's cell, in the neighbours' slots,
    // in the region's own frame (see geometry/scale_exponent.hpp): where that is not
    // the points as given, the side terms worked out beforehand do not
    // serve and each row's are worked out in the frame.
    void addAreas()
    {
        DifferenceFrame frame;
        for (std::int32_t i = 0; i < size_; ++i)
            for (const std::int32_t corner : mesh_.rows[s_.region[i]].corner) frame.include(mesh_.point(corner), q_);
        frame.include(q_, q_);
        frame.settle();
        double qRoom[2];
        const double* q = frame.apply(q_, qRoom);
        const bool termsServe = mesh_.sideTerms != nullptr && frame.exponent() == 0;
        for (std::int32_t i = 0; i < size_; ++i) {
            const std::int32_t r = s_.region[i];
            const std::int32_t* row = mesh_.row(r);
            double room[3][2];
            const double* p[3];
            for (int k = 0; k < 3; ++k) p[k] = frame.apply(mesh_.point(row[k]), room[k]);
            double computed[3];
            const double* h = termsServe ? mesh_.sideTerms + 3 * std::int64_t{r} : computed;
            if (!termsServe) triangleTerms(p, computed);
            // Corner j lies on sides j+1 and j+2.
            for (int j = 0; j < 3; ++j) {
                addArea(row[j], h[nextCorner(j)] + h[previousCorner(j)]);
                magnitude_ += 2 * std::fabs(h[j]);
            }
            for (int j = 0; j < 3; ++j) {
                const std::int32_t other = mesh_.neighbour(r, j);
                if (other >= 0 && s_.rowMark[other] == s_.stamp) continue;
                // A side on the region's boundary: the new triangle (u, v, q).
                const std::int32_t u = row[nextCorner(j)], v = row[previousCorner(j)];
                const double* pu = p[nextCorner(j)];
                const double* pv = p[previousCorner(j)];
                const double scale = termScale(pu, pv, q);
                const double uv = cornerTerm(pu, pv, q, scale);
                const double vq = cornerTerm(pv, q, pu, scale);
                const double qu = cornerTerm(q, pu, pv, scale);
                addArea(u, -(qu + uv));
                addArea(v, -(uv + vq));
                magnitude_ += 2 * std::fabs(uv) + std::fabs(vq) + std::fabs(qu);
            }
        }
    }

    // The sum of the magnitudes of the terms addAreas added.
    double magnitude() const { return magnitude_; }

    // The same areas as addAreas, in exact arithmetic, into areas by the
    // neighbours' slots (addAreas has run and given every neighbour one);
    // false where a triangle is flat.
    bool addExactAreas(std::vector<Exact>& areas) const
    {
        areas.assign(static_cast<std::size_t>(count_), Exact(0));
        const auto add = [&](std::int32_t point, const Exact& area) {
            areas[static_cast<std::size_t>(s_.pointSlot[point])] += area;
        };
        for (std::int32_t i = 0; i < size_; ++i) {
            const std::int32_t r = s_.region[i];
            const std::int32_t* row = mesh_.row(r);
            const double* p[3] = {mesh_.point(row[0]), mesh_.point(row[1]), mesh_.point(row[2])};
            Exact h[3];
            for (int j = 0; j < 3; ++j)
                if (!exactCornerTerm(p[nextCorner(j)], p[previousCorner(j)], p[j], h[j])) return false;
            for (int j = 0; j < 3; ++j) add(row[j], h[nextCorner(j)] + h[previousCorner(j)]);
            for (int j = 0; j < 3; ++j) {
                const std::int32_t other = mesh_.neighbour(r, j);
                if (other >= 0 && s_.rowMark[other] == s_.stamp) continue;
                const double* pu = p[nextCorner(j)];
                const double* pv = p[previousCorner(j)];
                Exact uv, vq, qu;
                if (!exactCornerTerm(pu, pv, q_, uv) || !exactCornerTerm(pv, q_, pu, vq) ||
                    !exactCornerTerm(q_, pu, pv, qu))
                    return false;
                add(row[nextCorner(j)], -(qu + uv));
                add(row[previousCorner(j)], -(uv + vq));
            }
        }
        return true;
    }

    std::int32_t neighbourCount() const { return count_; }

private:
    bool seesSide(const std::int32_t* row, int j) const
    {
        return orientationSign(mesh_.point(row[nextCorner(j)]), mesh_.point(row[previousCorner(j)]), q_[0], q_[1]) > 0;
    }

    void addArea(std::int32_t point, double area)
    {
        if (s_.pointMark[point] != s_.stamp) {
            s_.pointMark[point] = s_.stamp;
            s_.pointSlot[point] = count_;
            s_.neighbours[count_++] = {point, area};
        } else {
            s_.neighbours[s_.pointSlot[point]].weight += area;
        }
    }

    const Mesh& mesh_;
    NaturalScratch& s_;
    const double q_[2];
    std::int32_t size_ = 0;
    std::int32_t count_ = 0;
    double magnitude_ = 0;
};

// On a side u -> v without a row across: the linear weights of its ends,
// as CGAL's natural_neighbor_coordinates_2 computes them.
std::int32_t sideWeights(const Mesh& mesh, const Location& at, double qx, double qy, Neighbour* out)
{
    const std::int32_t* row = mesh.row(at.row);
    const std::int32_t u = row[nextCorner(at.index)], v = row[previousCorner(at.index)];
    const double* pu = mesh.point(u);
    const double* pv = mesh.point(v);
    const auto alongSide = [&](double half) {
        return pu[0] != pv[0] ? (half * qx - half * pv[0]) / (half * pu[0] - half * pv[0])
                              : (half * qy - half * pv[1]) / (half * pu[1] - half * pv[1]);
    };
    double along = alongSide(1);
    // Differences that overflow (ends near the largest double) are taken
    // of the halved coordinates instead.
    if (!std::isfinite(along)) along = alongSide(0.5);
    out[0] = {u, along};
    out[1] = {v, 1 - along};
    if (mesh.originalPoint[v] < mesh.originalPoint[u]) std::swap(out[0], out[1]);
    return 2;
}

}  // namespace

void computeSideTerms(const Mesh& mesh, double* terms, std::int32_t begin, std::int32_t end)
{
    for (std::int32_t r = begin; r < end; ++r)
        if (!mesh.flat(r)) rowTerms(mesh, r, terms + 3 * std::int64_t{r});
}

NaturalScratch takeNaturalScratch(const Mesh& mesh)
{
    const auto rows = static_cast<std::size_t>(std::max(mesh.rowCount, 1));
    const auto points = static_cast<std::size_t>(std::max(mesh.pointCount, 1));
    NaturalScratch scratch{};
    scratch.rowMark = static_cast<std::uint32_t*>(kyCalloc(rows, sizeof(std::uint32_t)));
    scratch.region = static_cast<std::int32_t*>(kyCalloc(rows, sizeof(std::int32_t)));
    scratch.pointMark = static_cast<std::uint32_t*>(kyCalloc(points, sizeof(std::uint32_t)));
    scratch.pointSlot = static_cast<std::int32_t*>(kyCalloc(points, sizeof(std::int32_t)));
    scratch.neighbours = static_cast<Neighbour*>(kyCalloc(points, sizeof(Neighbour)));
    return scratch;
}

std::int32_t naturalWeights(const Mesh& mesh, const Location& at, double qx, double qy, NaturalScratch& scratch)
{
    Neighbour* neighbours = scratch.neighbours;
    if (at.kind == Location::atCorner) {
        neighbours[0] = {mesh.row(at.row)[at.index], 1.0};
        return 1;
    }
    const std::int32_t across = at.kind == Location::onSide ? mesh.neighbour(at.row, at.index) : -1;
    if (at.kind == Location::onSide && across < 0) return sideWeights(mesh, at, qx, qy, neighbours);

    Region region(mesh, scratch, qx, qy);
    region.add(at.row);
    if (across >= 0) region.add(across);  // on a side between two rows: both circles hold the query
    region.grow();
    region.addAreas();
    const std::int32_t count = region.neighbourCount();
    double total = 0;
    for (std::int32_t i = 0; i < count; ++i) total += neighbours[i].weight;
    if (std::isfinite(total) && total > 0 && region.magnitude() <= cancellationLimit * total) {
        for (std::int32_t i = 0; i < count; ++i) neighbours[i].weight /= total;
    } else {
        std::vector<Exact> areas;
        if (!region.addExactAreas(areas)) return 0;
        Exact exactTotal(0);
        for (const Exact& area : areas) exactTotal += area;
        if (!(exactTotal > 0)) return 0;
        for (std::int32_t i = 0; i < count; ++i)
            neighbours[i].weight = CGAL::to_double(areas[static_cast<std::size_t>(i)] / exactTotal);
    }
    sortByOriginalPoint(neighbours, count, mesh.originalPoint);
    return count;
}

}  // namespace trinterp
