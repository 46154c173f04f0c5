#include "periodic_line.hpp"

#include <cmath>

namespace outofcore {

PeriodicLine::PeriodicLine(std::FILE* stream, double seconds, std::function<std::string()> text)
    : stream_(stream), every_(seconds), text_(std::move(text))
{
    if (stream_ != nullptr) thread_ = std::thread([this] { run(); });
}

PeriodicLine::~PeriodicLine()
{
    {
        const std::lock_guard<std::mutex> guard(lock_);
        done_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void PeriodicLine::printNow()
{
    if (stream_ == nullptr) return;
    const std::string line = text_() + "\n";
    const std::lock_guard<std::mutex> guard(lock_);
    // Progress is advice: a closed or full standard error does not stop the run.
    std::fputs(line.c_str(), stream_);
    std::fflush(stream_);
}

void PeriodicLine::run()
{
    std::unique_lock<std::mutex> guard(lock_);
    while (!wake_.wait_for(guard, every_, [this] { return done_; })) {
        guard.unlock();
        printNow();
        guard.lock();
    }
}

std::string durationText(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0) return "?";
    const auto whole = static_cast<long long>(seconds + 0.5);
    char text[48];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld h %02lld min", whole / 3600, whole / 60 % 60);
    else if (whole >= 60)
        std::snprintf(text, sizeof text, "%lld min %02lld s", whole / 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld s", whole);
    return text;
}

std::string countText(double count)
{
    char text[32];
    if (count >= 1e6)
        std::snprintf(text, sizeof text, "%.1f M", count / 1e6);
    else if (count >= 1e4)
        std::snprintf(text, sizeof text, "%.0f k", count / 1e3);
    else
        std::snprintf(text, sizeof text, "%.0f", count);
    return text;
}

}  // namespace outofcore
