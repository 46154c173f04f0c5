#include "clough_tocher.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "worker_threads.hpp"

namespace kyhost_spatial {

namespace {

// One edge of the network seen from its first point: the entries of
// 2 e e^T / |e|^3 (e from the point to `to`), which weigh the neighbour's
// gradient in the point's equations.
struct EdgeTerms {
    double xx, xy, yy;
    std::int32_t to;
};

// The parts of the Gauss-Seidel sweeps that do not change between sweeps
// or columns: the edge terms in adjacency order and, per point, the inverse
// of its 2x2 matrix sum(4 e e^T / |e|^3) (entries 00, 01, 11).
struct Network {
    std::vector<EdgeTerms> edges;
    std::vector<double> inverse;
};

Network networkOf(const CubicMesh& mesh, const std::int64_t* start, const std::int32_t* adjacent)
{
    Network network;
    network.edges.resize(static_cast<std::size_t>(start[mesh.n]));
    network.inverse.assign(3 * static_cast<std::size_t>(mesh.n), 0.0);
    for (std::int32_t p = 0; p < mesh.n; ++p) {
        double q00 = 0, q01 = 0, q11 = 0;
        for (std::int64_t e = start[p]; e < start[p + 1]; ++e) {
            const std::int32_t to = adjacent[e];
            const double ex = mesh.x[to] - mesh.x[p];
            const double ey = mesh.y[to] - mesh.y[p];
            const double length = std::sqrt(ex * ex + ey * ey);
            const double cube = length * length * length;
            network.edges[static_cast<std::size_t>(e)] = {2 * ex * ex / cube, 2 * ex * ey / cube, 2 * ey * ey / cube, to};
            q00 += 4 * ex * ex / cube;
            q01 += 4 * ex * ey / cube;
            q11 += 4 * ey * ey / cube;
        }
        const double det = q00 * q11 - q01 * q01;
        // A point without two independent edges (none in a triangulation)
        // keeps a zero gradient.
        if (det != 0 && std::isfinite(det)) {
            double* inverse = network.inverse.data() + 3 * static_cast<std::size_t>(p);
            inverse[0] = q11 / det;
            inverse[1] = -q01 / det;
            inverse[2] = q00 / det;
        }
    }
    return network;
}

// The sweeps for one column; the number of sweeps, 0 when maxiter did not
// reach tol.
int sweepColumn(const CubicMesh& mesh, const std::int64_t* start, const std::int32_t* adjacent, const Network& network,
                const double* f, double tol, int maxiter, double* gradient)
{
    const std::int32_t n = mesh.n;
    // The right-hand sides' part from the values: sum(6 (f_p - f_q) e / |e|^3).
    std::vector<double> fixed(2 * static_cast<std::size_t>(n), 0.0);
    for (std::int32_t p = 0; p < n; ++p) {
        double sx = 0, sy = 0;
        for (std::int64_t e = start[p]; e < start[p + 1]; ++e) {
            const std::int32_t to = adjacent[e];
            const double ex = mesh.x[to] - mesh.x[p];
            const double ey = mesh.y[to] - mesh.y[p];
            const double length = std::sqrt(ex * ex + ey * ey);
            const double cube = length * length * length;
            const double jump = 6 * (f[p] - f[to]);
            sx += jump * ex / cube;
            sy += jump * ey / cube;
        }
        fixed[2 * static_cast<std::size_t>(p)] = sx;
        fixed[2 * static_cast<std::size_t>(p) + 1] = sy;
    }
    std::fill(gradient, gradient + 2 * static_cast<std::size_t>(n), 0.0);
    const EdgeTerms* edges = network.edges.data();
    constexpr std::int32_t ahead = 4;  // points whose neighbours' gradients are fetched early
    for (int sweep = 0; sweep < maxiter; ++sweep) {
        double largest = 0;
        for (std::int32_t p = 0; p < n; ++p) {
            if (p + ahead < n)
                for (std::int64_t e = start[p + ahead]; e < start[p + ahead + 1]; ++e)
                    __builtin_prefetch(gradient + 2 * static_cast<std::size_t>(edges[e].to));
            double sx = fixed[2 * static_cast<std::size_t>(p)];
            double sy = fixed[2 * static_cast<std::size_t>(p) + 1];
            for (std::int64_t e = start[p]; e < start[p + 1]; ++e) {
                const EdgeTerms& t = edges[e];
                const double gx = gradient[2 * static_cast<std::size_t>(t.to)];
                const double gy = gradient[2 * static_cast<std::size_t>(t.to) + 1];
                sx += t.xx * gx + t.xy * gy;
                sy += t.xy * gx + t.yy * gy;
            }
            const double* inverse = network.inverse.data() + 3 * static_cast<std::size_t>(p);
            const double gx = -(inverse[0] * sx + inverse[1] * sy);
            const double gy = -(inverse[1] * sx + inverse[2] * sy);
            double* own = gradient + 2 * static_cast<std::size_t>(p);
            const double change = std::max(std::fabs(own[0] - gx), std::fabs(own[1] - gy)) /
                                  std::max(1.0, std::max(std::fabs(gx), std::fabs(gy)));
            own[0] = gx;
            own[1] = gy;
            // A NaN change (from NaN values) does not count, so the other
            // points still decide when the sweeps end.
            if (change > largest) largest = change;
        }
        if (largest < tol) return sweep + 1;
    }
    return 0;
}

double orientation(double ax, double ay, double bx, double by, double cx, double cy)
{
    return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
}

// Whether the query lies strictly on the other side of the edge (a, b) than
// the corner c. The edge's ends are taken in the order of their numbers, so
// that the two rows of an edge judge a query alike and a walk never crosses
// back.
bool beyond(const CubicMesh& mesh, std::int32_t a, std::int32_t b, std::int32_t c, double qx, double qy)
{
    if (a > b) std::swap(a, b);
    const double side = orientation(mesh.x[a], mesh.y[a], mesh.x[b], mesh.y[b], qx, qy);
    const double corner = orientation(mesh.x[a], mesh.y[a], mesh.x[b], mesh.y[b], mesh.x[c], mesh.y[c]);
    return (side < 0 && corner > 0) || (side > 0 && corner < 0);
}

std::int64_t walk(const CubicMesh& mesh, std::int64_t t, double qx, double qy, std::int64_t steps)
{
    for (std::int64_t step = 0; step < steps; ++step) {
        const std::int32_t* row = mesh.rows + 3 * t;
        int exit = -1;
        // Edges are tried from a different one at each step, so that
        // rounding cannot keep a walk circling.
        for (int j = 0; j < 3 && exit < 0; ++j) {
            const int k = static_cast<int>((j + step) % 3);
            if (beyond(mesh, row[(k + 1) % 3], row[(k + 2) % 3], row[k], qx, qy)) exit = k;
        }
        if (exit < 0) return t;
        t = mesh.across[3 * t + exit];
        if (t < 0) return -2;
    }
    return -2;
}

// What the pieces of one row need from its geometry: the corners, scipy's
// barycentric transform (weights of the first two corners from the offset
// to the third), the edge vectors e12, e23, e31, and for each edge the
// factor g that gives the direction in which the cross derivative is linear
// along it.
struct RowGeometry {
    double x3 = 0, y3 = 0;
    double t00 = 0, t01 = 0, t10 = 0, t11 = 0;
    double e12x = 0, e12y = 0, e23x = 0, e23y = 0, e31x = 0, e31y = 0;
    double g[3] = {0, 0, 0};

    void weights(double qx, double qy, double w[3]) const
    {
        w[0] = t00 * (qx - x3) + t01 * (qy - y3);
        w[1] = t10 * (qx - x3) + t11 * (qy - y3);
        w[2] = 1 - w[0] - w[1];
    }
};

RowGeometry geometryOf(const CubicMesh& mesh, std::int64_t t)
{
    const std::int32_t* row = mesh.rows + 3 * t;
    const double x1 = mesh.x[row[0]], y1 = mesh.y[row[0]];
    const double x2 = mesh.x[row[1]], y2 = mesh.y[row[1]];
    const double x3 = mesh.x[row[2]], y3 = mesh.y[row[2]];
    RowGeometry r;
    r.x3 = x3;
    r.y3 = y3;
    const double det = (x1 - x3) * (y2 - y3) - (x2 - x3) * (y1 - y3);
    r.t00 = (y2 - y3) / det;
    r.t01 = (x3 - x2) / det;
    r.t10 = (y3 - y1) / det;
    r.t11 = (x1 - x3) / det;
    r.e12x = x2 - x1;
    r.e12y = y2 - y1;
    r.e23x = x3 - x2;
    r.e23y = y3 - y2;
    r.e31x = x1 - x3;
    r.e31y = y1 - y3;
    for (int k = 0; k < 3; ++k) {
        const std::int64_t other = mesh.across[3 * t + k];
        if (other < 0) {
            // Towards the centroid from the middle of the hull edge.
            r.g[k] = -0.5;
            continue;
        }
        const std::int32_t* o = mesh.rows + 3 * other;
        const double cx = (mesh.x[o[0]] + mesh.x[o[1]] + mesh.x[o[2]]) / 3;
        const double cy = (mesh.y[o[0]] + mesh.y[o[1]] + mesh.y[o[2]]) / 3;
        double c[3];
        r.weights(cx, cy, c);
        // The neighbour's centroid minus this one's, as a multiple of
        // (centroid - V_a) + g (V_b - V_a) for the edge's corners a, b (in
        // the order k + 1, k + 2): in barycentric terms, so affine maps
        // leave g alone.
        const double cb = c[(k + 2) % 3], ca = c[(k + 1) % 3];
        r.g[k] = (2 * cb + ca - 1) / (2 - 3 * cb - 3 * ca);
    }
    return r;
}

// The cubic at barycentric weights w of the row, for corner values f and
// corner gradients (gx, gy).
double cubicAt(const RowGeometry& r, const double f[3], const double gx[3], const double gy[3], const double w[3])
{
    // Ordinates next to each corner along its two edges.
    const double c3000 = f[0], c0300 = f[1], c0030 = f[2];
    const double c2100 = f[0] + (gx[0] * r.e12x + gy[0] * r.e12y) / 3;
    const double c2010 = f[0] - (gx[0] * r.e31x + gy[0] * r.e31y) / 3;
    const double c1200 = f[1] - (gx[1] * r.e12x + gy[1] * r.e12y) / 3;
    const double c0210 = f[1] + (gx[1] * r.e23x + gy[1] * r.e23y) / 3;
    const double c1020 = f[2] + (gx[2] * r.e31x + gy[2] * r.e31y) / 3;
    const double c0120 = f[2] - (gx[2] * r.e23x + gy[2] * r.e23y) / 3;
    // Towards the centroid (index 4): C1 at the corners.
    const double c2001 = (c3000 + c2100 + c2010) / 3;
    const double c0201 = (c1200 + c0300 + c0210) / 3;
    const double c0021 = (c1020 + c0120 + c0030) / 3;
    // Across each edge's middle: the cross derivative linear along the edge.
    const double c0111 =
        (r.g[0] * (-c0300 + 3 * c0210 - 3 * c0120 + c0030) + (-c0300 + 2 * c0210 - c0120 + c0021 + c0201)) / 2;
    const double c1011 =
        (r.g[1] * (-c0030 + 3 * c1020 - 3 * c2010 + c3000) + (-c0030 + 2 * c1020 - c2010 + c2001 + c0021)) / 2;
    const double c1101 =
        (r.g[2] * (-c3000 + 3 * c2100 - 3 * c1200 + c0300) + (-c3000 + 2 * c2100 - c1200 + c2001 + c0201)) / 2;
    // C1 (and C2) at the centroid between the three pieces.
    const double c1002 = (c1101 + c1011 + c2001) / 3;
    const double c0102 = (c1101 + c0111 + c0201) / 3;
    const double c0012 = (c1011 + c0111 + c0021) / 3;
    const double c0003 = (c1002 + c0102 + c0012) / 3;

    // Weights in the piece holding the point: the smallest weight becomes
    // the centroid's, and one of b1, b2, b3 is 0.
    const double low = std::min(w[0], std::min(w[1], w[2]));
    const double b1 = w[0] - low, b2 = w[1] - low, b3 = w[2] - low, b4 = 3 * low;
    // The Bernstein form over (b1, b2, b3, b4), without the terms in
    // b1 b2 b3, which vanish.
    return b1 * b1 * b1 * c3000 + b2 * b2 * b2 * c0300 + b3 * b3 * b3 * c0030 + b4 * b4 * b4 * c0003 +
           3 * (b1 * b1 * (b2 * c2100 + b3 * c2010 + b4 * c2001) + b2 * b2 * (b1 * c1200 + b3 * c0210 + b4 * c0201) +
                b3 * b3 * (b1 * c1020 + b2 * c0120 + b4 * c0021) + b4 * b4 * (b1 * c1002 + b2 * c0102 + b3 * c0012)) +
           6 * b4 * (b1 * b2 * c1101 + b1 * b3 * c1011 + b2 * b3 * c0111);
}

}  // namespace

std::vector<int> estimateGradients(const CubicMesh& mesh, const std::int64_t* start, const std::int32_t* adjacent,
                                   const double* values, int columns, double tol, int maxiter, int threads,
                                   double* gradients)
{
    std::vector<int> sweeps(static_cast<std::size_t>(std::max(columns, 0)), 0);
    if (columns <= 0) return sweeps;
    const Network network = networkOf(mesh, start, adjacent);
    const auto n = static_cast<std::size_t>(mesh.n);
    runInParts(columns, threads, 1, [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t c = begin; c < end; ++c)
            sweeps[static_cast<std::size_t>(c)] = sweepColumn(mesh, start, adjacent, network, values + c * n, tol,
                                                               maxiter, gradients + 2 * n * static_cast<std::size_t>(c));
    });
    return sweeps;
}

WalkStarts::WalkStarts(const CubicMesh& mesh)
{
    if (mesh.m <= 0 || mesh.n <= 0) return;
    const auto [xLow, xHigh] = std::minmax_element(mesh.x, mesh.x + mesh.n);
    const auto [yLow, yHigh] = std::minmax_element(mesh.y, mesh.y + mesh.n);
    x0_ = *xLow;
    y0_ = *yLow;
    // About eight rows per cell.
    side_ = std::clamp<std::int64_t>(static_cast<std::int64_t>(std::ceil(std::sqrt(mesh.m / 8.0))), 1, 2048);
    const double width = *xHigh - *xLow, height = *yHigh - *yLow;
    cellsPerX_ = width > 0 ? side_ / width : 0;
    cellsPerY_ = height > 0 ? side_ / height : 0;
    if (!std::isfinite(cellsPerX_)) cellsPerX_ = 0;
    if (!std::isfinite(cellsPerY_)) cellsPerY_ = 0;
    cells_.assign(static_cast<std::size_t>(side_ * side_), -1);
    for (std::int64_t t = 0; t < mesh.m; ++t) {
        const std::int32_t* row = mesh.rows + 3 * t;
        const double cx = (mesh.x[row[0]] + mesh.x[row[1]] + mesh.x[row[2]]) / 3;
        const double cy = (mesh.y[row[0]] + mesh.y[row[1]] + mesh.y[row[2]]) / 3;
        const std::int64_t i = std::clamp<std::int64_t>(static_cast<std::int64_t>((cx - x0_) * cellsPerX_), 0, side_ - 1);
        const std::int64_t j = std::clamp<std::int64_t>(static_cast<std::int64_t>((cy - y0_) * cellsPerY_), 0, side_ - 1);
        cells_[static_cast<std::size_t>(j * side_ + i)] = t;
    }
    // Empty cells take a row of the nearest filled cell of their line, then
    // empty lines that of the nearest filled line.
    std::vector<bool> lineFilled(static_cast<std::size_t>(side_), false);
    for (std::int64_t j = 0; j < side_; ++j) {
        std::int64_t* line = cells_.data() + j * side_;
        std::int64_t last = -1;
        for (std::int64_t i = 0; i < side_; ++i) {
            if (line[i] >= 0) last = line[i];
            else line[i] = last;
        }
        last = -1;
        for (std::int64_t i = side_ - 1; i >= 0; --i) {
            if (line[i] >= 0) last = line[i];
            else line[i] = last;
        }
        lineFilled[static_cast<std::size_t>(j)] = line[0] >= 0;
    }
    for (int pass = 0; pass < 2; ++pass) {
        std::int64_t filled = -1;
        for (std::int64_t k = 0; k < side_; ++k) {
            const std::int64_t j = pass == 0 ? k : side_ - 1 - k;
            if (lineFilled[static_cast<std::size_t>(j)]) filled = j;
            else if (filled >= 0) std::copy_n(cells_.data() + filled * side_, side_, cells_.data() + j * side_);
        }
    }
}

std::int64_t WalkStarts::startFor(double qx, double qy) const
{
    if (cells_.empty()) return -1;
    const double fx = (qx - x0_) * cellsPerX_, fy = (qy - y0_) * cellsPerY_;
    const auto cell = [&](double f) {
        if (!(f > 0)) return std::int64_t{0};
        if (f >= static_cast<double>(side_ - 1)) return side_ - 1;
        return static_cast<std::int64_t>(f);
    };
    const std::int64_t t = cells_[static_cast<std::size_t>(cell(fy) * side_ + cell(fx))];
    return t < 0 ? 0 : t;
}

void locateByWalk(const CubicMesh& mesh, const WalkStarts& starts, const double* qx, const double* qy,
                  std::int64_t count, int threads, std::int64_t* simplex)
{
    const std::int64_t steps = 1000 + 4 * static_cast<std::int64_t>(std::sqrt(static_cast<double>(mesh.m)));
    runInParts(count, threads, 4096, [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t i = begin; i < end; ++i) {
            if (!std::isfinite(qx[i]) || !std::isfinite(qy[i]) || mesh.m <= 0) {
                simplex[i] = -1;
                continue;
            }
            simplex[i] = walk(mesh, starts.startFor(qx[i], qy[i]), qx[i], qy[i], steps);
        }
    });
}

void evaluateCubic(const CubicMesh& mesh, const double* values, const double* gradients, int columns, const double* qx,
                   const double* qy, const std::int64_t* simplex, std::int64_t count, int threads, double* out)
{
    if (columns <= 0) return;
    const auto n = static_cast<std::size_t>(mesh.n);
    const auto k = static_cast<std::size_t>(columns);
    runInParts(count, threads, 4096, [&](std::int64_t begin, std::int64_t end) {
        std::int64_t cached = -1;
        RowGeometry geometry;
        for (std::int64_t i = begin; i < end; ++i) {
            double* answer = out + static_cast<std::size_t>(i) * k;
            const std::int64_t t = simplex[i];
            if (t < 0 || t >= mesh.m) {
                std::fill(answer, answer + k, std::numeric_limits<double>::quiet_NaN());
                continue;
            }
            if (t != cached) {
                geometry = geometryOf(mesh, t);
                cached = t;
            }
            double w[3];
            geometry.weights(qx[i], qy[i], w);
            const std::int32_t* row = mesh.rows + 3 * t;
            for (std::size_t c = 0; c < k; ++c) {
                const double* f = values + c * n;
                const double* g = gradients + 2 * n * c;
                const double fc[3] = {f[row[0]], f[row[1]], f[row[2]]};
                const double gx[3] = {g[2 * row[0]], g[2 * row[1]], g[2 * row[2]]};
                const double gy[3] = {g[2 * row[0] + 1], g[2 * row[1] + 1], g[2 * row[2] + 1]};
                answer[c] = cubicAt(geometry, fc, gx, gy, w);
            }
        }
    });
}

}  // namespace kyhost_spatial
