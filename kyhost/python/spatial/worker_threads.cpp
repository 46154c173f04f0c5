#include "worker_threads.hpp"

#include <sched.h>

#include <algorithm>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace kyhost_spatial {

int threadsFor(int workers)
{
    if (workers > 0) return workers;
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) return std::max(1, CPU_COUNT(&allowed));
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void runInParts(std::int64_t count, int threads, std::int64_t minPart,
                const std::function<void(std::int64_t begin, std::int64_t end)>& part)
{
    const std::int64_t parts = std::clamp<std::int64_t>(count / std::max<std::int64_t>(minPart, 1), 1, threads);
    if (parts <= 1) {
        part(0, count);
        return;
    }
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto guarded = [&](std::int64_t begin, std::int64_t end) {
        try {
            part(begin, end);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failureLock);
            if (!failure) failure = std::current_exception();
        }
    };
    std::vector<std::thread> running;
    running.reserve(static_cast<std::size_t>(parts - 1));
    const auto boundary = [&](std::int64_t k) { return count * k / parts; };
    try {
        for (std::int64_t k = 1; k < parts; ++k) running.emplace_back(guarded, boundary(k), boundary(k + 1));
    } catch (...) {
        // No thread could be started: the remaining parts run here.
        for (std::int64_t k = static_cast<std::int64_t>(running.size()) + 1; k < parts; ++k)
            guarded(boundary(k), boundary(k + 1));
    }
    guarded(0, boundary(1));
    for (std::thread& thread : running) thread.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace kyhost_spatial
