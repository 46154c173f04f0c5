// A progress line printed every few seconds from a thread of its own, also
// when the stream is not a terminal (a log, a pipe): each line stands on its
// own, so a log reads as a history of the run.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace outofcore {

class PeriodicLine {
public:
    // Nothing is printed (and no thread started) when stream is null.
    PeriodicLine(std::FILE* stream, double seconds, std::function<std::string()> text);
    ~PeriodicLine();  // stops the thread; prints nothing more
    PeriodicLine(const PeriodicLine&) = delete;
    PeriodicLine& operator=(const PeriodicLine&) = delete;

    void printNow();  // a line at once, as at the end of a phase

private:
    void run();

    std::FILE* stream_;
    std::chrono::duration<double> every_;
    std::function<std::string()> text_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

// "1 h 02 min", "3 min 05 s", "12 s".
std::string durationText(double seconds);
// "2.5e+06"-style rates are hard to read at a glance: "2.5 M", "830 k", "12".
std::string countText(double count);

}  // namespace outofcore
