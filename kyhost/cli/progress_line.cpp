#include "progress_line.hpp"

#include <unistd.h>

namespace ky {

bool isTerminal(int descriptor) noexcept { return ::isatty(descriptor) == 1; }

ProgressLine::ProgressLine(std::string name, bool enabled, std::FILE* stream, std::chrono::milliseconds after)
    : name_(std::move(name)), stream_(stream), after_(after)
{
    if (enabled) watcher_ = std::thread([this] { watch(); });
}

ProgressLine::~ProgressLine()
{
    if (!watcher_.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(lock_);
        done_ = true;
    }
    wake_.notify_all();
    watcher_.join();
    std::lock_guard<std::mutex> guard(lock_);
    clearLocked();
}

void ProgressLine::interject(const std::function<void()>& write)
{
    std::lock_guard<std::mutex> guard(lock_);
    clearLocked();
    write();
}

void ProgressLine::watch()
{
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> guard(lock_);
    auto next = start + after_;
    while (!wake_.wait_until(guard, next, [this] { return done_; })) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
        const std::string line = "running " + name_ + "... " + std::to_string(seconds.count()) + " s";
        // Blanks over the end of a longer line shown before.
        const std::string pad(shown_ > line.size() ? shown_ - line.size() : 0, ' ');
        std::fprintf(stream_, "\r%s%s", line.c_str(), pad.c_str());
        std::fflush(stream_);
        shown_ = line.size();
        next += std::chrono::seconds(1);
    }
}

void ProgressLine::clearLocked()
{
    if (shown_ == 0) return;
    std::fprintf(stream_, "\r%s\r", std::string(shown_, ' ').c_str());
    std::fflush(stream_);
    shown_ = 0;
}

}  // namespace ky
