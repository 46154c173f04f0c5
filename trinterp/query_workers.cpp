#include "query_workers.hpp"

#include <algorithm>
#include <limits>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#endif

#include "internal_switches.hpp"
#include "point_location.hpp"

namespace trinterp {

namespace {

int forcedWorkers = 0;

int availableProcessors()
{
#if defined(__linux__)
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
#endif
    return std::max(1u, std::thread::hardware_concurrency());
}

void answerChunk(const QueryJob& job, std::int32_t chunk, NaturalScratch& scratch)
{
    const std::int32_t first = chunk * job.chunkSize;
    const auto end = static_cast<std::int32_t>(std::min<std::int64_t>(job.count, std::int64_t{first} + job.chunkSize));
    std::int32_t start = job.chunkStart != nullptr ? job.chunkStart[chunk] : -1;
    for (std::int32_t q = first; q < end; ++q) {
        const double qx = job.xy[2 * std::int64_t{q}], qy = job.xy[2 * std::int64_t{q} + 1];
        const Location at = job.chunkStart != nullptr ? walkTo(job.mesh, qx, qy, start, job.walkBudget)
                                                      : searchBuckets(job.mesh, qx, qy);
        if (at.last >= 0) start = at.last;
        if (at.kind == Location::unresolved) {
            job.unresolved[q] = 1;
            continue;
        }
        answerAt(job, q, at, scratch);
    }
}

struct QueryWork {
    const QueryJob* job;
    NaturalScratch* scratch;
};

void answerShare(const void* context, int worker, int workers)
{
    const auto* work = static_cast<const QueryWork*>(context);
    const std::int32_t chunks = chunkCount(*work->job);
    for (std::int32_t chunk = worker; chunk < chunks; chunk += workers)
        answerChunk(*work->job, chunk, work->scratch[worker]);
}

// Joins every started thread when it goes out of scope.
struct StartedThreads {
    std::vector<std::thread> threads;
    ~StartedThreads()
    {
        for (std::thread& thread : threads) thread.join();
    }
};

}  // namespace

int workerCount(std::int32_t chunks)
{
    const int count = forcedWorkers > 0 ? forcedWorkers : std::min(availableProcessors(), 16);
    return static_cast<int>(std::clamp<std::int64_t>(chunks, 1, count));
}

void setWorkerCount(int count) { forcedWorkers = std::max(0, count); }

void answerAt(const QueryJob& job, std::int32_t query, const Location& at, NaturalScratch& scratch)
{
    double* out = job.results + std::int64_t{query} * job.valueCount;
    const double qx = job.xy[2 * std::int64_t{query}], qy = job.xy[2 * std::int64_t{query} + 1];
    if (at.kind != Location::inside && at.kind != Location::onSide && at.kind != Location::atCorner) {
        std::fill_n(out, job.valueCount, std::numeric_limits<double>::quiet_NaN());
        return;
    }
    if (job.natural) {
        const std::int32_t count = naturalWeights(job.mesh, at, qx, qy, scratch);
        weightedValues(scratch.neighbours, count, job.values, job.valueCount, out);
    } else if (at.kind == Location::atCorner) {
        // A data point: its own values, whatever the other corners hold.
        const Neighbour corner{job.mesh.row(at.row)[at.index], 1.0};
        weightedValues(&corner, 1, job.values, job.valueCount, out);
    } else {
        Neighbour weights[3];
        linearWeights(job.mesh, at.row, qx, qy, weights);
        weightedValues(weights, 3, job.values, job.valueCount, out);
    }
}

void runOnWorkers(int workers, void (*work)(const void* context, int worker, int workers), const void* context)
{
    std::vector<int> notStarted;
    notStarted.reserve(static_cast<std::size_t>(workers));
    StartedThreads started;
    started.threads.reserve(static_cast<std::size_t>(workers));
    for (int worker = 1; worker < workers; ++worker) {
        try {
            started.threads.emplace_back(work, context, worker, workers);
        } catch (const std::system_error&) {
            notStarted.push_back(worker);  // its share is done here below
        }
    }
    work(context, 0, workers);
    for (const int worker : notStarted) work(context, worker, workers);
}

void answerQueries(const QueryJob& job, NaturalScratch* scratch, int workers)
{
    const QueryWork work{&job, scratch};
    runOnWorkers(workers, &answerShare, &work);
}

}  // namespace trinterp
