#include "grid_nearest.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "distance_order.hpp"
#include "worker_threads.hpp"

namespace kyhost_spatial {

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr std::int64_t queriesPerThread = 4096;
// Points per cell the grid aims at.
constexpr double pointsPerCell = 2.0;
// As the triangulation's search: more points than this within the band of
// the best computed distance make a query crowded.
constexpr std::size_t crowdedBand = 64;

// Cells along an axis of extent `length` out of `ideal` (clamped to
// 1 .. limit).
std::int64_t cellCount(double ideal, std::int64_t limit)
{
    if (!(ideal >= 1)) return 1;
    return std::min<std::int64_t>(limit, static_cast<std::int64_t>(std::min(ideal, 1e18)));
}

// The cell of cell coordinate t, clamped to 0 .. count-1.
std::int64_t cellOf(double t, std::int64_t count)
{
    if (!(t >= 0)) return 0;
    if (t >= static_cast<double>(count - 1)) return count - 1;
    return static_cast<std::int64_t>(t);
}

}  // namespace

GridNearest::GridNearest(const double* x, const double* y, std::int32_t n)
    : frame_(ExactFrame::ofData(x, y, n)), n_(n)
{
    if (n == 0 || !frame_.holdsData()) {
        cellStart_.assign(2, 0);
        return;
    }
    std::vector<double> sx(static_cast<std::size_t>(n)), sy(static_cast<std::size_t>(n));
    double maxX = -infinity, maxY = -infinity;
    minX_ = minY_ = infinity;
    for (std::int32_t p = 0; p < n; ++p) {
        sx[p] = frame_.scaled(x[p]);
        sy[p] = frame_.scaled(y[p]);
        minX_ = std::min(minX_, sx[p]);
        maxX = std::max(maxX, sx[p]);
        minY_ = std::min(minY_, sy[p]);
        maxY = std::max(maxY, sy[p]);
    }
    const double width = maxX - minX_, height = maxY - minY_;
    const double cells = std::max(1.0, n / pointsPerCell);
    const std::int64_t limit = std::max<std::int64_t>(1, n);
    if (width > 0 && height > 0) {
        nx_ = cellCount(std::sqrt(cells * (width / height)), limit);
        ny_ = cellCount(std::sqrt(cells * (height / width)), std::max<std::int64_t>(1, limit / nx_));
    } else if (width > 0) {
        nx_ = cellCount(cells, limit);
    } else if (height > 0) {
        ny_ = cellCount(cells, limit);
    }
    cellX_ = width > 0 ? width / static_cast<double>(nx_) : (height > 0 ? height / static_cast<double>(ny_) : 1.0);
    cellY_ = height > 0 ? height / static_cast<double>(ny_) : cellX_;
    inverseX_ = 1 / cellX_;
    inverseY_ = 1 / cellY_;
    // Cell coordinates (v - min) * inverse carry a relative error of a few
    // units of roundoff: far below 2^-30 of the coordinate plus the grid size.
    margin_ = 0x1p-30 * static_cast<double>(nx_ + ny_ + 2);

    // Counting sort by cell, stable: numbers ascend within each cell.
    std::vector<std::int64_t> cell(static_cast<std::size_t>(n));
    cellStart_.assign(static_cast<std::size_t>(nx_ * ny_ + 1), 0);
    for (std::int32_t p = 0; p < n; ++p) {
        const std::int64_t i = cellOf((sx[p] - minX_) * inverseX_, nx_);
        const std::int64_t j = cellOf((sy[p] - minY_) * inverseY_, ny_);
        cell[p] = j * nx_ + i;
        ++cellStart_[cell[p] + 1];
    }
    for (std::size_t c = 1; c < cellStart_.size(); ++c) cellStart_[c] += cellStart_[c - 1];
    std::vector<std::int64_t> next(cellStart_.begin(), cellStart_.end() - 1);
    xy_.resize(2 * static_cast<std::size_t>(n));
    number_.resize(static_cast<std::size_t>(n));
    for (std::int32_t p = 0; p < n; ++p) {
        const std::int64_t at = next[cell[p]]++;
        xy_[2 * at] = sx[p];
        xy_[2 * at + 1] = sy[p];
        number_[at] = p;
    }
}

double GridNearest::lowerBound(double tx, double ty, double i0, double i1, double j0, double j1) const
{
    // Distance in cell units from t to [i0, i1 + 1) x [j0, j1 + 1), less
    // the margin, then in the frame, rounded down by a further margin.
    const double slack = margin_ + 0x1p-30 * (std::fabs(tx) + std::fabs(ty));
    const double dx = std::max(0.0, std::max(i0 - tx, tx - (i1 + 1)) - slack) * cellX_;
    const double dy = std::max(0.0, std::max(j0 - ty, ty - (j1 + 1)) - slack) * cellY_;
    return (dx * dx + dy * dy) * (1 - 0x1p-30);
}

void GridNearest::pruneBand(Query& q) const
{
    const double limit = bandLimit(q.key);
    q.band->erase(std::remove_if(q.band->begin(), q.band->end(), [limit](double k) { return k > limit; }),
                  q.band->end());
}

void GridNearest::visitCell(std::int64_t i, std::int64_t j, Query& q) const
{
    const std::int64_t c = j * nx_ + i;
    const std::int64_t begin = cellStart_[c], end = cellStart_[c + 1];
    if (begin == end) return;
    const double at = static_cast<double>(i), row = static_cast<double>(j);
    if (q.point >= 0 && lowerBound(q.tx, q.ty, at, at, row, row) > bandLimit(q.key)) return;
    for (std::int64_t k = begin; k < end; ++k) {
        // As ComputedDistance computes it.
        const double dx = xy_[2 * k] - q.sx, dy = xy_[2 * k + 1] - q.sy;
        const double key = dy * dy + dx * dx;
        if (key < q.key || (key == q.key && number_[k] < q.point) || q.point < 0) {
            q.key = key;
            q.point = number_[k];
        }
        if (key <= bandLimit(q.key)) {
            q.band->push_back(key);
            if (q.band->size() > crowdedBand) pruneBand(q);
        }
    }
}

void GridNearest::search(Query& q) const
{
    const std::int64_t ci = cellOf(q.tx, nx_), cj = cellOf(q.ty, ny_);
    const double lastX = static_cast<double>(nx_ - 1), lastY = static_cast<double>(ny_ - 1);
    for (std::int64_t r = 0;; ++r) {
        const std::int64_t i0 = ci - r, i1 = ci + r, j0 = cj - r, j1 = cj + r;
        const std::int64_t a = std::max<std::int64_t>(0, i0), b = std::min(nx_ - 1, i1);
        if (r == 0) {
            visitCell(ci, cj, q);
        } else {
            if (j1 < ny_)
                for (std::int64_t i = a; i <= b; ++i) visitCell(i, j1, q);
            if (j0 >= 0)
                for (std::int64_t i = a; i <= b; ++i) visitCell(i, j0, q);
            const std::int64_t c = std::max<std::int64_t>(0, j0 + 1), d = std::min(ny_ - 1, j1 - 1);
            if (i0 >= 0)
                for (std::int64_t j = c; j <= d; ++j) visitCell(i0, j, q);
            if (i1 < nx_)
                for (std::int64_t j = c; j <= d; ++j) visitCell(i1, j, q);
        }
        // The cells not yet visited lie in four strips beyond the square's
        // sides (those that hold cells of the grid).
        double bound = infinity;
        bool left = false;
        if (i0 > 0) bound = std::min(bound, lowerBound(q.tx, q.ty, 0, static_cast<double>(i0 - 1), 0, lastY)), left = true;
        if (i1 < nx_ - 1)
            bound = std::min(bound, lowerBound(q.tx, q.ty, static_cast<double>(i1 + 1), lastX, 0, lastY)), left = true;
        if (j0 > 0) bound = std::min(bound, lowerBound(q.tx, q.ty, 0, lastX, 0, static_cast<double>(j0 - 1))), left = true;
        if (j1 < ny_ - 1)
            bound = std::min(bound, lowerBound(q.tx, q.ty, 0, lastX, static_cast<double>(j1 + 1), lastY)), left = true;
        if (!left) return;
        if (q.point >= 0 && bound > bandLimit(q.key)) return;
    }
}

void GridNearest::nearest(const double* qx, const double* qy, std::int64_t count, int threads, std::int64_t* index,
                          double* distance) const
{
    runInParts(count, threads, queriesPerThread, [&](std::int64_t begin, std::int64_t end) {
        std::vector<double> band;
        for (std::int64_t i = begin; i < end; ++i) {
            // Each coordinate is read once: the caller's arrays are not
            // locked while the search runs.
            const double px = qx[i], py = qy[i];
            index[i] = -1;
            distance[i] = infinity;
            if (!std::isfinite(px) || !std::isfinite(py) || n_ == 0) continue;
            if (!frame_.holds(px, py)) {
                index[i] = notInFrame;
                continue;
            }
            band.clear();
            Query q{frame_.scaled(px), frame_.scaled(py), 0, 0, infinity, -1, &band};
            q.tx = (q.sx - minX_) * inverseX_;
            q.ty = (q.sy - minY_) * inverseY_;
            search(q);
            pruneBand(q);
            if (band.size() > crowdedBand) {
                index[i] = notInFrame;
                continue;
            }
            index[i] = q.point;
            distance[i] = frame_.unscaled(std::sqrt(q.key));
        }
    });
}

}  // namespace kyhost_spatial
