#include "out_of_core_run.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include "checked_files.hpp"
#include "default_triangulator.hpp"
#include "memory_size.hpp"
#include "periodic_line.hpp"
#include "row_encoding.hpp"
#include "run_estimates.hpp"
#include "tile_buckets.hpp"
#include "tile_records.hpp"

namespace outofcore {

namespace {

using Clock = std::chrono::steady_clock;
using ky::inspect::memorySizeText;

const char* indexName(IndexType index)
{
    return index == IndexType::Float64 ? "float64" : index == IndexType::Int64 ? "int64" : "int32";
}

std::string folderOf(const std::string& path)
{
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

void hashBytes(std::uint64_t& hash, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;  // FNV-1a
}

// What makes a scratch folder belong to a run: the points' count, the
// points of the plan's sample (all of them up to 2^20 points), the plan, the
// tile size and the rows' format (the rows files hold encoded rows).
std::string runFingerprint(const double* x, const double* y, std::int64_t n, std::int64_t tilePoints, const tiling::TilePlan& plan,
                           const Options& options)
{
    std::uint64_t hash = 1469598103934665603ull;
    hashBytes(hash, plan.cells.data(), plan.cells.size() * sizeof(tiling::Cell));
    std::uint64_t sample = 1469598103934665603ull;
    const std::int64_t step = tiling::planSampleStride(n);
    for (std::int64_t i = 0; i < n; i += step) {
        hashBytes(sample, x + i, 8);
        hashBytes(sample, y + i, 8);
    }
    std::ostringstream text;
    text << "tile points " << tilePoints << "\npoints " << n << "\ntiles " << plan.cells.size() << "\nplan " << std::hex << hash
         << "\nsample " << sample << std::dec << "\nindex " << indexName(options.index) << "\nbase " << options.base << "\norientation "
         << (options.clockwise ? "clockwise" : "counterclockwise") << '\n';
    return text.str();
}

// The tile size a scratch folder was made with (its first line), or 0.
std::int64_t recordedTilePoints(const std::string& runFile)
{
    if (!fileExists(runFile)) return 0;
    const std::vector<char> bytes = readWholeFile(runFile);
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::string tile, points;
    std::int64_t value = 0;
    text >> tile >> points >> value;
    return tile == "tile" && points == "points" && text ? value : 0;
}

struct AppendState {
    std::uint64_t tilesAppended = 0;
    std::uint64_t partialBytes = npyHeaderBytes;
    std::uint64_t rows = 0;
};

std::optional<AppendState> readAppendState(const std::string& path)
{
    if (!fileExists(path)) return std::nullopt;
    const std::vector<char> bytes = readWholeFile(path);
    AppendState state;
    if (bytes.size() != sizeof state) throw Failure("scratch file '" + path + "' is damaged");
    std::memcpy(&state, bytes.data(), sizeof state);
    return state;
}

std::string pointText(const double* x, const double* y, std::int64_t i)
{
    std::ostringstream text;
    text.precision(17);
    text << '(' << x[i] << ", " << y[i] << ')';
    return text.str();
}

// The sample planTiles reads must be finite; the first non-finite point of
// all is named (the bucketing pass checks the rest).
void refuseNonFiniteSample(const double* x, const double* y, std::int64_t n, int base)
{
    const std::int64_t step = tiling::planSampleStride(n);
    for (std::int64_t i = 0; i < n; i += step) {
        if (std::isfinite(x[i]) && std::isfinite(y[i])) continue;
        std::int64_t first = i;
        for (std::int64_t j = std::max<std::int64_t>(0, i - step + 1); j < i; ++j)
            if (!std::isfinite(x[j]) || !std::isfinite(y[j])) {
                first = j;
                break;
            }
        throw Refusal("point " + std::to_string(first + base) + " is not finite: " + pointText(x, y, first));
    }
}

// Read-only file pages already passed over are dropped from the process
// (they stay in the page cache), so the pass does not count the whole input
// as resident.
void releasePages(const double* from, const double* to)
{
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(from) + page - 1) / page * page;
    const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(to) / page * page;
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED);
}

// The tiles on worker threads, in tile order; the caller appends their rows
// in that order as they finish.
class TileWorkers {
public:
    TileWorkers(const std::string& scratch, const tiling::TilePlan& plan, const Options& options,
                const tiling::TileTriangulator& triangulate, std::vector<bool> done, int threads)
        : scratch_(scratch), plan_(plan), options_(options), triangulate_(triangulate), done_(std::move(done))
    {
        for (std::size_t t = 0; t < done_.size(); ++t)
            if (!done_[t]) todo_.push_back(static_cast<std::int32_t>(t));
        for (int k = 0; k < threads; ++k) threads_.emplace_back([this] { work(); });
    }
    ~TileWorkers()
    {
        stop();
        for (std::thread& thread : threads_) thread.join();
    }

    // Waits until tile t is finished; false when the run stopped first.
    bool waitFor(std::int32_t t)
    {
        std::unique_lock<std::mutex> guard(lock_);
        finished_.wait(guard, [&] { return done_[static_cast<std::size_t>(t)] || stopped_; });
        return done_[static_cast<std::size_t>(t)];
    }
    void stop()
    {
        {
            const std::lock_guard<std::mutex> guard(lock_);
            stopped_ = true;
        }
        finished_.notify_all();
    }
    void join()
    {
        for (std::thread& thread : threads_) thread.join();
        threads_.clear();
    }
    std::optional<RepeatedPair> repeated() const { return repeated_; }
    std::exception_ptr error() const { return error_; }
    std::int64_t pointsDone() const { return pointsDone_.load(); }
    std::int32_t tilesDone() const { return tilesDone_.load(); }
    std::vector<bool> checked() const { return checked_; }

private:
    void work()
    {
        for (;;) {
            std::int32_t t;
            {
                const std::lock_guard<std::mutex> guard(lock_);
                if (stopped_ || next_ >= todo_.size()) return;
                t = todo_[next_++];
            }
            try {
                finish(t);
            } catch (...) {
                const std::lock_guard<std::mutex> guard(lock_);
                if (!error_) error_ = std::current_exception();
                stopped_ = true;
                finished_.notify_all();
                return;
            }
        }
    }

    void finish(std::int32_t t)
    {
        const TilePoints points = readBucket(scratch_, t);
        if (const auto pair = firstRepeatedPair(points.x, points.y, points.ids)) {
            const std::lock_guard<std::mutex> guard(lock_);
            markChecked(t);
            if (!repeated_ || pair->later < repeated_->later) repeated_ = pair;
            stopped_ = true;
            finished_.notify_all();
            return;
        }
        {
            const std::lock_guard<std::mutex> guard(lock_);
            markChecked(t);
        }
        const auto m = static_cast<std::int32_t>(points.ids.size());
        const tiling::Cell& cell = plan_.cells[static_cast<std::size_t>(t)];
        const tiling::TileResult result = tiling::finishTile(cell, points.x.data(), points.y.data(), points.ids.data(), m, triangulate_);

        const std::vector<char> rows = encodeRows(result.finalRows, options_.index, options_.base, options_.clockwise);
        writeFileAtomically(tileRowsPath(scratch_, t), rows.data(), rows.size());
        TileRecord record;
        record.rows = result.finalRows.size() / 3;
        record.collinearWarned = result.collinearWarned;
        record.seamIds = result.seamPoints;
        for (const std::int64_t id : result.seamPoints) {
            const auto at = static_cast<std::size_t>(std::lower_bound(points.ids.begin(), points.ids.end(), id) - points.ids.begin());
            record.seamX.push_back(points.x[at]);
            record.seamY.push_back(points.y[at]);
        }
        record.boundaryEdges = result.boundaryEdges;
        writeTileRecord(tileDonePath(scratch_, t), record);
        removeFile(bucketPath(scratch_, t));

        pointsDone_ += m;
        ++tilesDone_;
        {
            const std::lock_guard<std::mutex> guard(lock_);
            done_[static_cast<std::size_t>(t)] = true;
        }
        finished_.notify_all();
    }

    void markChecked(std::int32_t t)
    {
        if (checked_.empty()) checked_.assign(done_.size(), false);
        checked_[static_cast<std::size_t>(t)] = true;
    }

    const std::string& scratch_;
    const tiling::TilePlan& plan_;
    const Options& options_;
    const tiling::TileTriangulator& triangulate_;
    std::mutex lock_;
    std::condition_variable finished_;
    std::vector<bool> done_;
    std::vector<bool> checked_;
    std::vector<std::int32_t> todo_;
    std::size_t next_ = 0;
    bool stopped_ = false;
    std::optional<RepeatedPair> repeated_;
    std::exception_ptr error_;
    std::atomic<std::int64_t> pointsDone_{0};
    std::atomic<std::int32_t> tilesDone_{0};
    std::vector<std::thread> threads_;
};

// What the progress line shows.
struct Progress {
    std::atomic<int> phase{0};  // 0 planning, 1 bucketing, 2 tiles, 3 seam, 4 done
    std::atomic<std::int64_t> bucketed{0};
    std::atomic<TileWorkers*> workers{nullptr};
    std::int32_t tiles = 0, resumed = 0;
    std::int64_t points = 0, resumedPoints = 0, seamPoints = 0;
    Clock::time_point phaseStart = Clock::now();
};

std::string progressText(const Progress& p)
{
    const double seconds = std::chrono::duration<double>(Clock::now() - p.phaseStart).count();
    std::ostringstream text;
    text << "triangulate: ";
    switch (p.phase.load()) {
    case 0:
        text << "planning the tiles";
        break;
    case 1: {
        const auto done = static_cast<double>(p.bucketed.load());
        const double rate = seconds > 0 ? done / seconds : 0;
        text << "sorting points into " << p.tiles << " tiles: " << countText(done) << " of " << countText(static_cast<double>(p.points))
             << " points, " << countText(rate) << " points/s, "
             << durationText(rate > 0 ? (static_cast<double>(p.points) - done) / rate : NAN) << " left";
        break;
    }
    case 2: {
        const TileWorkers* workers = p.workers.load();
        const std::int32_t tiles = p.resumed + (workers ? workers->tilesDone() : 0);
        const auto done = static_cast<double>(workers ? workers->pointsDone() : 0);
        const double rate = seconds > 0 ? done / seconds : 0;
        const double left = static_cast<double>(p.points - p.resumedPoints) - done;
        text << tiles << "/" << p.tiles << " tiles done, " << countText(rate) << " points/s, "
             << durationText(rate > 0 ? left / rate : NAN) << " left";
        break;
    }
    case 3:
        text << p.tiles << "/" << p.tiles << " tiles done; joining the seams (" << countText(static_cast<double>(p.seamPoints))
             << " points), " << durationText(seconds) << " so far";
        break;
    default:
        text << "done";
    }
    return text.str();
}

class Run {
public:
    Run(const double* x, const double* y, std::int64_t n, const Options& options)
        : x_(x), y_(y), n_(n), options_(options), partialPath_(options.outPath + ".partial"), scratch_(options.outPath + ".scratch"),
          triangulate_(options.triangulate ? options.triangulate : defaultTriangulator())
    {
    }

    // A refused run leaves nothing behind that it made, unless tiles were
    // finished (a refused seam keeps them for --resume).
    void cleanUpRefused() noexcept
    {
        if (!createdScratch_ || tilesStarted_) return;
        try {
            removeFolder(scratch_);
        } catch (const Failure&) {
        }
    }

    Report go()
    {
        const Clock::time_point start = Clock::now();
        checkOptions();
        progress_.points = n_;
        PeriodicLine line(options_.progress, options_.progressSeconds, [this] { return progressText(progress_); });

        std::int64_t tilePoints = options_.tilePoints;
        if (tilePoints == 0 && options_.resume) tilePoints = recordedTilePoints(scratch_ + "/run");
        if (tilePoints == 0) tilePoints = tilePointsFor(n_, options_.memoryLimit);
        if (tilePoints == 0) refuseLimit();
        tiling::TilePlan plan;
        std::string fingerprint;
        readInput([&] {
            refuseNonFiniteSample(x_, y_, n_, options_.messageBase);
            plan = tiling::planTiles(x_, y_, n_, tilePoints);
            fingerprint = runFingerprint(x_, y_, n_, tilePoints, plan, options_);
        });
        const auto tiles = static_cast<std::int32_t>(plan.cells.size());
        progress_.tiles = tiles;
        report_.points = n_;
        report_.tiles = tiles;
        report_.tilePoints = tilePoints;

        const bool resuming = openScratch(fingerprint);
        const bool bucketsWritten = resuming && fileExists(scratch_ + "/buckets.done");
        AppendState state;
        if (resuming)
            if (const auto recorded = readAppendState(scratch_ + "/appended")) state = *recorded;
        refuseDisk(bucketsWritten, state, tilePoints);

        std::vector<std::int64_t> counts;
        if (bucketsWritten) {
            const std::vector<char> bytes = readWholeFile(scratch_ + "/buckets.done");
            if (bytes.size() != static_cast<std::size_t>(tiles) * 8) throw Failure("scratch file '" + scratch_ + "/buckets.done' is damaged");
            counts.resize(static_cast<std::size_t>(tiles));
            std::memcpy(counts.data(), bytes.data(), bytes.size());
        } else {
            counts = bucket(plan);
        }
        peakScratch_ = scratchBytes();
        const std::int64_t largest = counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
        const int requested = options_.workers == -1 ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency())) : options_.workers;
        const int threads = std::min(workersFor(requested, largest, n_, options_.memoryLimit), std::max(1, tiles));
        if (threads == 0)
            throw Refusal("a tile of " + std::to_string(largest) + " points needs about " + memorySizeText(tileBytes(largest)) +
                          " beside " + memorySizeText(planBytes(n_) + bucketBufferBytes(options_.memoryLimit)) +
                          " for the plan and the buckets; the memory limit is " + memorySizeText(options_.memoryLimit) +
                          " (give a smaller --tile-points or a larger --memory-limit)");
        report_.workers = threads;

        File partial = openPartial(state);
        appendTiles(plan, counts, threads, state, partial);
        appendSeam(plan, state, partial);

        const std::string header = npyRowsHeader(options_.index, state.rows);
        partial.writeAt(header.data(), header.size(), 0);
        partial.sync();
        partial.close();
        renameFile(partialPath_, options_.outPath);
        syncFolder(folderOf(options_.outPath));
        removeFolder(scratch_);

        progress_.phase = 4;
        report_.rows = static_cast<std::int64_t>(state.rows);
        report_.outputBytes = state.partialBytes;
        report_.peakScratchBytes = peakScratch_;
        report_.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return report_;
    }

private:
    void checkOptions() const
    {
        if (options_.outPath.empty()) throw Refusal("no output file given");
        if (options_.base != 0 && options_.base != 1) throw Refusal("the base must be 0 or 1");
        if (options_.workers == 0 || options_.workers < -1) throw Refusal("workers must be a positive number of threads, or -1 for all processors");
        if (options_.tilePoints < 0 || (options_.tilePoints > 0 && options_.tilePoints > INT32_MAX / 2))
            throw Refusal("the tile size must be a positive number of points below 2^30");
        if (n_ < 0) throw Refusal("the number of points cannot be negative");
        if (options_.index == IndexType::Int32 && n_ > 0 && n_ - 1 + options_.base > options_.int32Largest)
            throw Refusal("int32 indices go up to " + std::to_string(options_.int32Largest) + ", and " + std::to_string(n_) +
                          " points counted from " + std::to_string(options_.base) + " need up to " + std::to_string(n_ - 1 + options_.base) +
                          ": use --index int64 or float64");
        if (options_.tilePoints > 0) {
            const std::int64_t m = options_.tilePoints + options_.tilePoints / 4;
            if (tileBytes(m) + planBytes(n_) + bucketBufferBytes(options_.memoryLimit) > options_.memoryLimit)
                throw Refusal("tiles of about " + std::to_string(options_.tilePoints) + " points need about " + memorySizeText(tileBytes(m)) +
                              " beside " + memorySizeText(planBytes(n_) + bucketBufferBytes(options_.memoryLimit)) +
                              " for the plan and the buckets; the memory limit is " + memorySizeText(options_.memoryLimit));
        }
    }

    [[noreturn]] void refuseLimit() const
    {
        const std::uint64_t fixed = planBytes(n_) + bucketBufferBytes(options_.memoryLimit);
        throw Refusal("the memory limit " + memorySizeText(options_.memoryLimit) + " is too small: the plan of " + std::to_string(n_) +
                      " points and the buckets take " + memorySizeText(fixed) + " and the smallest tile (" +
                      std::to_string(smallestTilePoints) + " points) about " + memorySizeText(tileBytes(smallestTilePoints + smallestTilePoints / 4)) +
                      " more");
    }

    // True when the run goes on from an earlier one's scratch.
    bool openScratch(const std::string& fingerprint)
    {
        const std::string runFile = scratch_ + "/run";
        if (options_.resume && fileExists(runFile)) {
            const std::vector<char> recorded = readWholeFile(runFile);
            if (std::string(recorded.begin(), recorded.end()) != fingerprint)
                throw Refusal("the scratch folder '" + scratch_ + "' belongs to another run (other points or options):\n" +
                              std::string(recorded.begin(), recorded.end()) + "this run:\n" + fingerprint +
                              "run without --resume to start again");
            return true;
        }
        if (fileExists(scratch_)) removeFolder(scratch_);
        makeFolder(scratch_);
        createdScratch_ = true;
        writeFileAtomically(runFile, fingerprint.data(), fingerprint.size());
        return false;
    }

    void refuseDisk(bool bucketsWritten, const AppendState& state, std::int64_t tilePoints) const
    {
        const int workers = options_.workers == -1 ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency())) : options_.workers;
        const std::uint64_t need = diskBytesNeeded(n_, options_.index, bucketsWritten, state.partialBytes, tilePoints, workers);
        const std::string folder = folderOf(options_.outPath);
        const std::uint64_t free = freeBytes(folder);
        if (free < need)
            throw Refusal("the run needs up to " + memorySizeText(need) + " of disk for the scratch folder and the output (" +
                          memorySizeText(outputBytes(n_, options_.index)) + " of " + indexName(options_.index) +
                          " rows at most), and '" + folder + "' has " + memorySizeText(free) + " free");
    }

    std::vector<std::int64_t> bucket(const tiling::TilePlan& plan)
    {
        progress_.phaseStart = Clock::now();
        progress_.phase = 1;
        std::int64_t released = 0;
        std::vector<std::int64_t> counts;
        readInput([&] {
            counts = writeBuckets(x_, y_, n_, plan, scratch_, bucketBufferBytes(options_.memoryLimit), options_.messageBase, [&](std::int64_t done) {
                progress_.bucketed = done;
                if (options_.releaseInputPages) {
                    releasePages(x_ + released, x_ + done);
                    releasePages(y_ + released, y_ + done);
                    released = done;
                }
            });
        });
        const auto tiles = static_cast<std::int32_t>(plan.cells.size());
        for (std::int32_t t = 0; t < tiles; ++t)
            if (fileExists(bucketPath(scratch_, t))) {
                File bucketFile(bucketPath(scratch_, t), O_RDONLY);
                bucketFile.sync();
                bucketFile.close();
            }
        writeFileAtomically(scratch_ + "/buckets.done", counts.data(), counts.size() * 8);
        syncFolder(scratch_);
        return counts;
    }

    void readInput(const std::function<void()>& body) const
    {
        if (options_.guardInput)
            options_.guardInput(body);
        else
            body();
    }

    std::uint64_t scratchBytes() const
    {
        std::uint64_t bytes = 0;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(scratch_, error))
            if (entry.is_regular_file(error)) bytes += entry.file_size(error);
        return bytes;
    }

    File openPartial(const AppendState& state)
    {
        if (state.tilesAppended == 0 && state.partialBytes == npyHeaderBytes) {
            File partial(partialPath_, O_RDWR | O_CREAT | O_TRUNC);
            const std::vector<char> blank(npyHeaderBytes, 0);  // no header until the file is complete
            partial.write(blank.data(), blank.size());
            return partial;
        }
        if (!fileExists(partialPath_) || File(partialPath_, O_RDONLY).size() < state.partialBytes)
            throw Refusal("the scratch folder records " + std::to_string(state.partialBytes) + " bytes written to '" + partialPath_ +
                          "', which is missing or shorter: run without --resume to start again");
        File partial(partialPath_, O_RDWR);
        partial.truncate(state.partialBytes);
        partial.seekEnd();
        return partial;
    }

    void appendTiles(const tiling::TilePlan& plan, const std::vector<std::int64_t>& counts, int threads, AppendState& state, File& partial)
    {
        const auto tiles = static_cast<std::int32_t>(plan.cells.size());
        std::vector<bool> done(static_cast<std::size_t>(tiles), false);
        for (std::int32_t t = 0; t < tiles; ++t)
            if (static_cast<std::uint64_t>(t) < state.tilesAppended || fileExists(tileDonePath(scratch_, t))) {
                done[static_cast<std::size_t>(t)] = true;
                ++progress_.resumed;
                progress_.resumedPoints += counts[static_cast<std::size_t>(t)];
            }
        report_.tilesResumed = progress_.resumed;
        tilesStarted_ = true;
        progress_.phaseStart = Clock::now();
        progress_.phase = 2;
        TileWorkers workers(scratch_, plan, options_, triangulate_, done, threads);
        progress_.workers = &workers;
        struct Detach {
            Progress& p;
            ~Detach() { p.workers = nullptr; }
        } detach{progress_};

        Clock::time_point lastScratchLook = Clock::now();
        const std::vector<std::int32_t> firstRound = tiling::firstRoundOf(plan, options_.seamRoundLevels);
        std::vector<std::int64_t> groupPoints(plan.splits.size() + 1, 0), groupEdges(plan.splits.size() + 1, 0);
        for (auto t = static_cast<std::int32_t>(state.tilesAppended); t < tiles; ++t) {
            if (!workers.waitFor(t)) break;
            const std::string rowsPath = tileRowsPath(scratch_, t);
            const std::vector<char> rows = readWholeFile(rowsPath);
            const std::optional<TileRecord> record = readTileRecord(tileDonePath(scratch_, t));
            if (!record || record->rows * 3 * entryBytes(options_.index) != rows.size())
                throw Failure("scratch files of tile " + std::to_string(t) + " in '" + scratch_ + "' disagree");
            // A first seam round joins the seams of its tiles: once those
            // are past the limit the run stops here rather than after the
            // last tile.
            {
                const auto group = static_cast<std::size_t>(firstRound[static_cast<std::size_t>(t)]);
                groupPoints[group] += static_cast<std::int64_t>(record->seamIds.size());
                groupEdges[group] += static_cast<std::int64_t>(record->boundaryEdges.size() / 2);
                refuseSeamMemory(groupPoints[group], groupEdges[group]);
            }
            partial.write(rows.data(), rows.size());
            partial.sync();
            state.tilesAppended = static_cast<std::uint64_t>(t) + 1;
            state.partialBytes += rows.size();
            state.rows += record->rows;
            writeFileAtomically(scratch_ + "/appended", &state, sizeof state);
            removeFile(rowsPath);
            // Measuring the scratch reads every file's size: at most once a
            // second, or runs of many small tiles would spend their time in
            // it. The scratch shrinks as tiles finish (each takes its bucket
            // away), so its peak is at the start and is measured there.
            if (Clock::now() - lastScratchLook >= std::chrono::seconds(1)) {
                peakScratch_ = std::max(peakScratch_, scratchBytes());
                lastScratchLook = Clock::now();
            }
        }
        workers.stop();
        workers.join();
        if (const std::exception_ptr error = workers.error()) std::rethrow_exception(error);
        if (workers.repeated()) refuseRepeated(plan, workers);
    }

    // Equal points share a tile: the first pair of all is the lowest over
    // the tiles, so the tiles not yet looked at are looked at too.
    [[noreturn]] void refuseRepeated(const tiling::TilePlan& plan, const TileWorkers& workers)
    {
        RepeatedPair pair = *workers.repeated();
        const std::vector<bool> checked = workers.checked();
        for (std::size_t t = 0; t < plan.cells.size(); ++t) {
            if (checked[t] || fileExists(tileDonePath(scratch_, static_cast<std::int32_t>(t)))) continue;
            const TilePoints points = readBucket(scratch_, static_cast<std::int32_t>(t));
            if (const auto found = firstRepeatedPair(points.x, points.y, points.ids); found && found->later < pair.later) pair = *found;
        }
        removeFile(partialPath_);
        removeFolder(scratch_);
        throw Refusal("points " + std::to_string(pair.first + options_.messageBase) + " and " + std::to_string(pair.later + options_.messageBase) +
                      " are both at " + pointText(x_, y_, pair.later) + ": repeated points cannot be triangulated");
    }

    void refuseSeamMemory(std::int64_t points, std::int64_t edges) const
    {
        const std::uint64_t need = seamBytes(points, edges);
        if (need > options_.memoryLimit)
            throw Refusal("the seams join " + std::to_string(points) + " points and " + std::to_string(edges) +
                          " boundary edges, which need about " + memorySizeText(need) + "; the memory limit is " +
                          memorySizeText(options_.memoryLimit) + ". The finished tiles are kept: run again with --resume and a larger --memory-limit");
    }

    // The seams in rounds up the split tree, each round's rows written as
    // it finishes.
    void appendSeam(const tiling::TilePlan& plan, AppendState& state, File& partial)
    {
        const auto tiles = static_cast<std::int32_t>(plan.cells.size());
        std::int64_t points = 0;
        for (std::int32_t t = 0; t < tiles; ++t) {
            const std::optional<TileRecord> record = readTileRecord(tileDonePath(scratch_, t));
            if (!record) throw Failure("tile " + std::to_string(t) + " has no done marker in '" + scratch_ + "'");
            report_.collinearWarned = report_.collinearWarned || record->collinearWarned;
            points += static_cast<std::int64_t>(record->seamIds.size());
        }
        report_.seamPoints = points;
        progress_.seamPoints = points;
        progress_.phaseStart = Clock::now();
        progress_.phase = 3;
        const auto tilePart = [&](std::int32_t t) {
            std::optional<TileRecord> record = readTileRecord(tileDonePath(scratch_, t));
            if (!record) throw Failure("tile " + std::to_string(t) + " has no done marker in '" + scratch_ + "'");
            tiling::SeamPart part;
            part.u.ids = std::move(record->seamIds);
            part.u.x = std::move(record->seamX);
            part.u.y = std::move(record->seamY);
            part.boundaryEdges = std::move(record->boundaryEdges);
            return part;
        };
        const auto emit = [&](std::vector<std::int64_t>&& rows) {
            // Encoded a slice at a time, so that the bytes are never held whole.
            constexpr std::size_t slice = std::size_t{3} << 20;
            std::vector<std::int64_t> part;
            for (std::size_t first = 0; first < rows.size(); first += slice) {
                part.assign(rows.begin() + static_cast<std::ptrdiff_t>(first), rows.begin() + static_cast<std::ptrdiff_t>(std::min(rows.size(), first + slice)));
                const std::vector<char> bytes = encodeRows(part, options_.index, options_.base, options_.clockwise);
                partial.write(bytes.data(), bytes.size());
                state.partialBytes += bytes.size();
            }
            state.rows += rows.size() / 3;
            std::vector<std::int64_t>().swap(rows);
        };
        const auto beforeRound = [this](std::int64_t p, std::int64_t e) {
            refuseSeamMemory(p, e);
            ++report_.seamRounds;
        };
        tiling::joinSeamsInRounds(plan, tilePart, beforeRound, emit,
                                  triangulate_, options_.seamRoundLevels);
    }

    const double* x_;
    const double* y_;
    std::int64_t n_;
    const Options& options_;
    std::string partialPath_, scratch_;
    tiling::TileTriangulator triangulate_;
    Progress progress_;
    Report report_;
    std::uint64_t peakScratch_ = 0;
    bool createdScratch_ = false;
    bool tilesStarted_ = false;
};

}  // namespace

Report triangulateToFile(const double* x, const double* y, std::int64_t n, const Options& options)
{
    Run run(x, y, n, options);
    try {
        return run.go();
    } catch (const Refusal&) {
        run.cleanUpRefused();
        throw;
    }
}

}  // namespace outofcore
