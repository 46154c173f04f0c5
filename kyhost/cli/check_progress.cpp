#include "check_progress.hpp"

#include <chrono>
#include <memory>
#include <string>

#include "periodic_line.hpp"

namespace ky {

namespace {

struct ProgressState {
    using Clock = std::chrono::steady_clock;
    std::FILE* stream;
    double seconds;
    Clock::time_point passStart = Clock::now(), lastLine = Clock::now();
    std::uint64_t pass = 1;
};

}  // namespace

inspect::CheckProgressReport checkProgressLines(std::FILE* stream, double seconds)
{
    auto state = std::make_shared<ProgressState>(ProgressState{stream, seconds});
    return [state](const inspect::CheckProgress& at) {
        const auto now = ProgressState::Clock::now();
        if (at.pass != state->pass) {
            state->pass = at.pass;
            state->passStart = now;
        }
        if (std::chrono::duration<double>(now - state->lastLine).count() < state->seconds) return;
        state->lastLine = now;
        const double elapsed = std::chrono::duration<double>(now - state->passStart).count();
        const double rate = elapsed > 0 ? static_cast<double>(at.rowsRead) / elapsed : 0;
        const double left = rate > 0 ? static_cast<double>(at.rows - at.rowsRead) / rate : -1;
        const std::string line = "check: pass " + std::to_string(at.pass) + ", " + outofcore::countText(static_cast<double>(at.rowsRead)) +
                                 " of " + outofcore::countText(static_cast<double>(at.rows)) + " rows, " +
                                 outofcore::countText(rate) + " rows/s, " + outofcore::durationText(left) + " left in the pass\n";
        std::fputs(line.c_str(), state->stream);
        std::fflush(state->stream);
    };
}

}  // namespace ky
