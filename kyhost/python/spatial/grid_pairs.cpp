#include "grid_pairs.hpp"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "ball_search.hpp"
#include "worker_threads.hpp"

namespace kyhost_spatial {

bool gridPartners(const double* xy, const std::int32_t* number, std::int32_t n, double threshold, double p,
                  int threads, std::int64_t checksPerPoint, std::vector<PointPartners>& parts)
{
    if (n <= 0 || !(threshold >= 0) || !std::isfinite(threshold)) return false;
    // The largest difference in x or in y an admitted pair can have: the
    // margins cover the rounding of the norm (relative) and squares that
    // underflow (absolute, below 2^-536). The cells are a little wider
    // still, so that rounding the cell coordinates never puts two points
    // that close more than one cell apart.
    const double reach = (p == 2 ? std::sqrt(threshold) : threshold) * (1 + 0x1p-40) + 0x1p-500;
    const double side = reach * (1 + 0x1p-20);
    double minX = xy[0], maxX = xy[0], minY = xy[1], maxY = xy[1];
    for (std::int32_t k = 1; k < n; ++k) {
        minX = std::fmin(minX, xy[2 * static_cast<std::size_t>(k)]);
        maxX = std::fmax(maxX, xy[2 * static_cast<std::size_t>(k)]);
        minY = std::fmin(minY, xy[2 * static_cast<std::size_t>(k) + 1]);
        maxY = std::fmax(maxY, xy[2 * static_cast<std::size_t>(k) + 1]);
    }
    const double spanX = (maxX - minX) / side, spanY = (maxY - minY) / side;
    // Cell coordinates below 2^26 keep their rounding far below the margin.
    if (!(spanX < 0x1p26 && spanY < 0x1p26)) return false;
    const auto width = static_cast<std::int64_t>(spanX) + 1, height = static_cast<std::int64_t>(spanY) + 1;
    if (static_cast<double>(width) * static_cast<double>(height) > 4.0 * n + 16) return false;
    const std::int64_t cells = width * height;

    // The points sorted by cell, rows of cells one after another: the
    // three cells of a row around a point are one run of the sorted points.
    std::vector<std::int32_t> column(static_cast<std::size_t>(n)), row(static_cast<std::size_t>(n));
    std::vector<std::int64_t> cellStart(static_cast<std::size_t>(cells) + 1, 0);
    for (std::int32_t k = 0; k < n; ++k) {
        const auto cx = static_cast<std::int64_t>((xy[2 * static_cast<std::size_t>(k)] - minX) / side);
        const auto cy = static_cast<std::int64_t>((xy[2 * static_cast<std::size_t>(k) + 1] - minY) / side);
        column[k] = static_cast<std::int32_t>(std::min(cx, width - 1));
        row[k] = static_cast<std::int32_t>(std::min(cy, height - 1));
        ++cellStart[row[k] * width + column[k] + 1];
    }
    for (std::int64_t c = 0; c < cells; ++c) cellStart[c + 1] += cellStart[c];
    std::vector<std::int64_t> fill(cellStart.begin(), cellStart.end() - 1);
    std::vector<double> sortedXY(2 * static_cast<std::size_t>(n));
    std::vector<std::int32_t> sortedNumber(static_cast<std::size_t>(n)), sortedColumn(static_cast<std::size_t>(n)),
        sortedRow(static_cast<std::size_t>(n));
    for (std::int32_t k = 0; k < n; ++k) {
        const std::int64_t at = fill[row[k] * width + column[k]]++;
        sortedXY[2 * at] = xy[2 * static_cast<std::size_t>(k)];
        sortedXY[2 * at + 1] = xy[2 * static_cast<std::size_t>(k) + 1];
        sortedNumber[at] = number[k];
        sortedColumn[at] = column[k];
        sortedRow[at] = row[k];
    }
    // The runs of the rows below, at and above point k.
    const auto forEachRun = [&](std::int64_t k, const auto& run) {
        const std::int64_t cx = sortedColumn[k], cy = sortedRow[k];
        const std::int64_t left = std::max<std::int64_t>(cx - 1, 0), right = std::min(cx + 1, width - 1);
        for (std::int64_t y = std::max<std::int64_t>(cy - 1, 0); y <= std::min(cy + 1, height - 1); ++y)
            run(cellStart[y * width + left], cellStart[y * width + right + 1]);
    };
    std::int64_t checks = 0;
    const std::int64_t budget = checksPerPoint * n;
    for (std::int64_t k = 0; k < n && checks <= budget; ++k)
        forEachRun(k, [&](std::int64_t begin, std::int64_t end) { checks += end - begin; });
    if (checks > budget) return false;

    std::mutex partsLock;
    const auto search = [&](auto norm) {
        runInParts(n, threads, 4096, [&](std::int64_t begin, std::int64_t end) {
            PointPartners part;
            part.points.reserve(static_cast<std::size_t>(end - begin));
            part.counts.reserve(static_cast<std::size_t>(end - begin));
            part.items.reserve(static_cast<std::size_t>(checks / n + 1) * static_cast<std::size_t>(end - begin) / 4);
            const double* const sxy = sortedXY.data();
            const std::int32_t* const sn = sortedNumber.data();
            std::vector<std::int32_t> found;
            for (std::int64_t k = begin; k < end; ++k) {
                const std::int32_t a = sn[k];
                const double ax = sxy[2 * k], ay = sxy[2 * k + 1];
                std::int64_t candidates = 0;
                forEachRun(k, [&](std::int64_t from, std::int64_t to) { candidates += to - from; });
                if (found.size() < static_cast<std::size_t>(candidates)) found.resize(static_cast<std::size_t>(candidates));
                // Every candidate is written, the kept ones counted: no
                // branch to mispredict on the half that have smaller numbers.
                std::int32_t* const slot = found.data();
                std::int64_t kept = 0;
                forEachRun(k, [&](std::int64_t from, std::int64_t to) {
                    for (std::int64_t j = from; j < to; ++j) {
                        const double value = norm(sxy[2 * j] - ax, sxy[2 * j + 1] - ay);
                        slot[kept] = sn[j];
                        kept += static_cast<std::int64_t>((sn[j] > a) & (value <= threshold));
                    }
                });
                // A handful each: sorted by insertion.
                for (std::int64_t m = 1; m < kept; ++m) {
                    const std::int32_t value = slot[m];
                    std::int64_t at = m;
                    for (; at > 0 && slot[at - 1] > value; --at) slot[at] = slot[at - 1];
                    slot[at] = value;
                }
                part.items.insert(part.items.end(), slot, slot + kept);
                part.points.push_back(a);
                part.counts.push_back(static_cast<std::int32_t>(kept));
            }
            const std::lock_guard<std::mutex> lock(partsLock);
            parts.push_back(std::move(part));
        });
    };
    if (p == 2) search([](double dx, double dy) { return ballNorm(dx, dy, 2); });
    else if (p == 1) search([](double dx, double dy) { return ballNorm(dx, dy, 1); });
    else search([p](double dx, double dy) { return ballNorm(dx, dy, p); });
    return true;
}

}  // namespace kyhost_spatial
