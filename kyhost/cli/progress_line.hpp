// A progress line on a terminal for a call that takes a while:
// "running sweeptri... 3 s", rewritten in place every second from a watcher
// thread and cleared when the call ends. Only the terminal sees it; the
// call and its outputs are untouched.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace ky {

// True when the descriptor is a terminal (a pipe or a file is not).
bool isTerminal(int descriptor) noexcept;

class ProgressLine {
public:
    // Shows the line on `stream` once `after` has passed, unless disabled;
    // a disabled line starts no thread and writes nothing.
    ProgressLine(std::string name, bool enabled, std::FILE* stream = stderr,
                 std::chrono::milliseconds after = std::chrono::seconds(2));
    ~ProgressLine();  // stops the watcher and clears the line
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Writes a message of the call (a warning) on the same stream: the line
    // is cleared first, so the message stands on a line of its own, and
    // comes back at the next tick.
    void interject(const std::function<void()>& write);

private:
    void watch();
    void clearLocked();

    std::string name_;
    std::FILE* stream_;
    std::chrono::milliseconds after_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool done_ = false;
    std::size_t shown_ = 0;  // characters of the line now on the terminal
    std::thread watcher_;
};

}  // namespace ky
