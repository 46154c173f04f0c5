// The in-memory tiled triangulation: plan, finish every tile on a pool of
// threads, complete the seams, or fall back to one sweep of all points when
// tiling cannot help. Tiles are taken by the threads in any order but their
// results are kept by tile number, so the rows are the same for any number
// of workers.
#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "huge_pages.hpp"
#include "tiled_delaunay.hpp"

#if __has_include("../../sweeptri/threaded/threaded_sweep.hpp")
#include "../../sweeptri/threaded/threaded_sweep.hpp"
#define TILING_KEEPS_SWEEP_MEMORY 1
#endif

namespace tiling {

namespace {

#ifdef TILING_KEEPS_SWEEP_MEMORY
std::atomic<void (*)()> tileThreadStart{&sweeptri::threaded::keepMemoryOnThisThread};
#else
std::atomic<void (*)()> tileThreadStart{nullptr};
#endif

// Below this many points a single sweep is always used.
constexpr std::int64_t smallestTiled = 64;

// More seam points than this share of all points: the tiles did not help.
constexpr double largestSeamShare = 0.5;

int threadCount(int workers)
{
    if (workers == -1) return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (workers < 1) throw std::invalid_argument("tiling: workers must be a positive number of threads, or -1 for all processors");
    return workers;
}

// Runs job(i) for i in [0, count) on `threads` threads; rethrows the first
// failure once all threads have stopped.
template <class Job>
void parallelFor(std::int64_t count, int threads, const Job& job)
{
    std::atomic<std::int64_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto run = [&] {
        for (;;) {
            const std::int64_t i = next.fetch_add(1);
            if (i >= count || failed.load()) return;
            try {
                job(i);
            } catch (...) {
                const std::lock_guard<std::mutex> hold(failureLock);
                if (!failure) failure = std::current_exception();
                failed = true;
                return;
            }
        }
    };
    // The jobs run on threads of their own, never on the caller's: each
    // keeps the sweep's memory from one tile for its next, and gives it back
    // when it ends, which the caller's thread would not do.
    const int workers = static_cast<int>(std::max<std::int64_t>(1, std::min<std::int64_t>(threads, count)));
    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(workers));
    try {
        for (int k = 0; k < workers; ++k)
            pool.emplace_back([&] {
                if (void (*start)() = tileThreadStart.load()) start();
                run();
            });
    } catch (...) {
        failed = true;
        for (std::thread& t : pool) t.join();
        throw;
    }
    for (std::thread& t : pool) t.join();
    if (failure) std::rethrow_exception(failure);
}

TiledResult singleSweep(const double* x, const double* y, std::int64_t n, const TileTriangulator& triangulate,
                        std::int32_t tileCount, int threads)
{
    TiledResult result;
    result.fellBack = true, result.seamPointCount = n, result.tileCount = tileCount, result.threads = threads;
    if (n == 0) return result;
    sweeptri::threaded::SweepRows sweep = triangulate(x, y, static_cast<std::int32_t>(n));
    result.pieces.push_back(std::move(sweep.corners));
    result.collinearWarned = sweep.collinearWarned;
    return result;
}

}  // namespace

void setTileThreadStart(void (*start)()) { tileThreadStart = start; }

TiledResult triangulateTiled(const double* x, const double* y, std::int64_t n, int workers,
                             const TileTriangulator& triangulate, std::int64_t tilePoints, int levelsPerRound)
{
    const int threads = threadCount(workers);
    if (n < 0 || n > std::numeric_limits<std::int32_t>::max())
        throw std::invalid_argument("tiling: the in-memory triangulation takes 0 to 2^31-1 points");
    if (n < smallestTiled) return singleSweep(x, y, n, triangulate, 1, threads);
    const TilePlan plan = planTiles(x, y, n, tilePoints);
    const auto tiles = static_cast<std::int32_t>(plan.cells.size());
    if (tiles == 1) return singleSweep(x, y, n, triangulate, 1, threads);

    // Each point's tile, then the tiles' members in ascending id order.
    std::vector<std::int32_t> tileOf;
    reserveOnHugePages(tileOf, static_cast<std::size_t>(n));
    tileOf.resize(static_cast<std::size_t>(n));
    constexpr std::int64_t chunk = 1 << 16;
    parallelFor((n + chunk - 1) / chunk, threads, [&](std::int64_t c) {
        for (std::int64_t i = c * chunk, end = std::min(n, (c + 1) * chunk); i < end; ++i)
            tileOf[static_cast<std::size_t>(i)] = plan.tileOf(x[i], y[i]);
    });
    std::vector<std::int64_t> start(static_cast<std::size_t>(tiles) + 1, 0);
    for (const std::int32_t t : tileOf) ++start[static_cast<std::size_t>(t) + 1];
    for (std::size_t t = 1; t < start.size(); ++t) start[t] += start[t - 1];
    std::vector<std::int64_t> members;
    reserveOnHugePages(members, static_cast<std::size_t>(n));
    members.resize(static_cast<std::size_t>(n));
    {
        std::vector<std::int64_t> next(start.begin(), start.end() - 1);
        for (std::int64_t i = 0; i < n; ++i) members[static_cast<std::size_t>(next[static_cast<std::size_t>(tileOf[static_cast<std::size_t>(i)])]++)] = i;
    }
    tileOf = {};
    for (std::int32_t t = 0; t < tiles; ++t)
        if (start[static_cast<std::size_t>(t) + 1] - start[static_cast<std::size_t>(t)] > std::numeric_limits<std::int32_t>::max())
            return singleSweep(x, y, n, triangulate, tiles, threads);  // cannot happen below 2^31 points; kept for safety

    std::vector<TileResult> finished(static_cast<std::size_t>(tiles));
    parallelFor(tiles, threads, [&](std::int64_t t) {
        const std::int64_t* ids = members.data() + start[static_cast<std::size_t>(t)];
        const auto m = static_cast<std::int32_t>(start[static_cast<std::size_t>(t) + 1] - start[static_cast<std::size_t>(t)]);
        // The pool's threads end with the call, and their scratch with them.
        thread_local TileScratch scratch;
        finished[static_cast<std::size_t>(t)] = finishTileOf(plan.cells[static_cast<std::size_t>(t)], x, y, ids, m, triangulate, &scratch);
    });
    members = {};

    std::int64_t seamCount = 0;
    for (const TileResult& tile : finished) seamCount += static_cast<std::int64_t>(tile.seamPoints.size());
    if (static_cast<double>(seamCount) > largestSeamShare * static_cast<double>(n)) {
        finished = {};
        TiledResult fallback = singleSweep(x, y, n, triangulate, tiles, threads);
        fallback.seamPointCount = seamCount;
        return fallback;
    }

    TiledResult result;
    result.seamPointCount = seamCount, result.tileCount = tiles, result.threads = threads;
    result.pieces.reserve(finished.size() + 1);
    for (TileResult& tile : finished) {
        result.pieces.push_back(std::move(tile.narrowRows));
        result.collinearWarned = result.collinearWarned || tile.collinearWarned;
    }
    const auto tilePart = [&](std::int32_t t) {
        TileResult& tile = finished[static_cast<std::size_t>(t)];
        SeamPart part;
        part.u.ids = std::move(tile.seamPoints);
        part.u.x.reserve(part.u.ids.size()), part.u.y.reserve(part.u.ids.size());
        for (const std::int64_t id : part.u.ids) part.u.x.push_back(x[id]), part.u.y.push_back(y[id]);
        part.boundaryEdges = std::move(tile.boundaryEdges);
        tile = TileResult{};
        return part;
    };
    const auto emit = [&](std::vector<std::int64_t>&& rows) {
        if (rows.empty()) return;
        result.pieces.emplace_back(rows.begin(), rows.end());
        std::vector<std::int64_t>().swap(rows);
    };
    joinSeamsInRounds(plan, tilePart, nullptr, emit, triangulate, levelsPerRound);
    return result;
}

std::int64_t TiledResult::cornerCount() const
{
    std::int64_t count = 0;
    for (const std::vector<std::int32_t>& piece : pieces) count += static_cast<std::int64_t>(piece.size());
    return count;
}

void TiledResult::copyCorners(std::int32_t* to) const
{
    std::vector<std::int64_t> offset(pieces.size() + 1, 0);
    for (std::size_t p = 0; p < pieces.size(); ++p) offset[p + 1] = offset[p] + static_cast<std::int64_t>(pieces[p].size());
    // Large pieces in slices, so that one thread does not copy alone.
    constexpr std::int64_t slice = std::int64_t{1} << 20;
    std::vector<std::pair<std::size_t, std::int64_t>> jobs;  // (piece, first corner)
    for (std::size_t p = 0; p < pieces.size(); ++p)
        for (std::int64_t k = 0; k < static_cast<std::int64_t>(pieces[p].size()); k += slice) jobs.emplace_back(p, k);
    parallelFor(static_cast<std::int64_t>(jobs.size()), threads, [&](std::int64_t j) {
        const auto [p, first] = jobs[static_cast<std::size_t>(j)];
        const std::vector<std::int32_t>& piece = pieces[p];
        const std::int64_t end = std::min<std::int64_t>(first + slice, static_cast<std::int64_t>(piece.size()));
        std::copy(piece.begin() + first, piece.begin() + end, to + offset[p] + first);
    });
}

std::vector<std::int64_t> TiledResult::rows() const
{
    std::vector<std::int64_t> all;
    all.reserve(static_cast<std::size_t>(cornerCount()));
    for (const std::vector<std::int32_t>& piece : pieces) all.insert(all.end(), piece.begin(), piece.end());
    return all;
}

}  // namespace tiling
