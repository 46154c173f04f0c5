// Answering the ordered queries, on worker threads where there are several
// processors to run them.
//
// This plug-in alone may start threads while a call runs. The workers read
// only the copies made on the calling thread (the points, rows, values and
// ordered queries of the job), write only into memory taken with kyCalloc
// before they start (their results, their marks and their scratch), touch
// no module state and call nothing of the host; they are all joined before
// the call goes on. The queries are cut into fixed chunks, and each chunk
// starts its walk from a row found for it on the calling thread, so every
// answer is the same whatever the number of threads.
#pragma once

#include <cstdint>

#include "interpolation_weights.hpp"
#include "mesh.hpp"

namespace trinterp {

struct QueryJob {
    Mesh mesh;                          // a copy: workers read nothing else of the call's state
    bool natural;                       // natural-neighbour weights, else linear
    std::int32_t valueCount;            // k
    const double* values;               // n*k values, a point's k values side by side
    std::int32_t count;                 // ordered queries
    const double* xy;                   // their coordinates, side by side
    double* results;                    // count*k values, a query's k side by side
    std::uint8_t* unresolved;           // 1 where a walk ran out of steps (answered after the workers)
    const std::int32_t* chunkStart;     // the row each chunk's walk starts from; null: search the buckets
    std::int32_t chunkSize;
    std::int64_t walkBudget;            // steps of one walk
};

inline std::int32_t chunkCount(const QueryJob& job)
{
    return static_cast<std::int32_t>((std::int64_t{job.count} + job.chunkSize - 1) / job.chunkSize);
}

// The number of threads to use for this many chunks: one per processor the
// process may run on, at most 16, and no more than chunks (or the count set
// by setWorkerCount, see internal_switches.hpp).
int workerCount(std::int32_t chunks);

// Runs work(context, worker, workers) for each worker from 0 to workers-1,
// worker 0 on the calling thread and the others on threads of their own
// (or, where a thread cannot be started, on the calling thread after it),
// and returns when all have finished.
void runOnWorkers(int workers, void (*work)(const void* context, int worker, int workers), const void* context);

// Answers every query of the job with `workers` threads (the calling one
// among them); scratch holds one NaturalScratch per worker for natural
// weights. Queries left unresolved are marked.
void answerQueries(const QueryJob& job, NaturalScratch* scratch, int workers);

// Answers one query at a known location (outside gives NaN).
void answerAt(const QueryJob& job, std::int32_t query, const Location& at, NaturalScratch& scratch);

}  // namespace trinterp
