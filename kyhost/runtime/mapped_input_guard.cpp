#include "mapped_input_guard.hpp"

#include <pthread.h>
#include <setjmp.h>
#include <signal.h>

#include <array>
#include <atomic>
#include <mutex>

namespace ky {

namespace {

// The registered mappings, read by the signal handler: an entry is filled
// before the count that publishes it grows, and never changes afterwards.
struct GuardedRange {
    const char* start;
    std::size_t bytes;
};
constexpr int maxRanges = 1024;
std::array<GuardedRange, maxRanges> ranges;
std::array<std::string, maxRanges> rangeNames;  // never read by the handler
std::atomic<int> rangeCount{0};
std::mutex registering;

struct sigaction previousAction {};
bool handlerInstalled = false;

// Where a fault on a guarded range returns to: the running call's frame,
// with the call's own ranges.
struct JumpTarget {
    sigjmp_buf jump;
    pthread_t thread;
    const CallRange* callRanges;
    std::size_t callRangeCount;
    volatile int faultedRange;      // a registered mapping, or -1
    volatile long faultedCallRange; // one of callRanges, or -1
};

bool contains(const char* start, std::size_t bytes, const char* address)
{
    return address >= start && static_cast<std::size_t>(address - start) < bytes;
}
std::atomic<JumpTarget*> armed{nullptr};

// Hands the signal on to the handler installed before the guard. With the
// default action (or an ignored one, which cannot stop a fault from
// repeating) the default is restored and the signal raised again, so the
// process ends as it would have without the guard.
void chain(int signal, siginfo_t* info, void* context)
{
    if ((previousAction.sa_flags & SA_SIGINFO) != 0 && previousAction.sa_sigaction != nullptr) {
        previousAction.sa_sigaction(signal, info, context);
        return;
    }
    if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN &&
        previousAction.sa_handler != nullptr) {
        previousAction.sa_handler(signal);
        return;
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

// Only async-signal-safe work here: compare addresses and jump. Only a
// fault (si_code above 0) has an address; a SIGBUS sent by kill is chained.
void onBusError(int signal, siginfo_t* info, void* context)
{
    JumpTarget* target = armed.load(std::memory_order_acquire);
    if (target != nullptr && info != nullptr && info->si_code > 0 && pthread_equal(target->thread, pthread_self()) != 0) {
        const auto* address = static_cast<const char*>(info->si_addr);
        const int count = rangeCount.load(std::memory_order_acquire);
        for (int k = 0; k < count; ++k) {
            const GuardedRange& range = ranges[static_cast<std::size_t>(k)];
            if (contains(range.start, range.bytes, address)) {
                target->faultedRange = k;
                siglongjmp(target->jump, 1);
            }
        }
        for (std::size_t k = 0; k < target->callRangeCount; ++k) {
            const CallRange& range = target->callRanges[k];
            if (contains(static_cast<const char*>(range.start), range.bytes, address)) {
                target->faultedCallRange = static_cast<long>(k);
                siglongjmp(target->jump, 1);
            }
        }
    }
    chain(signal, info, context);
}

bool installHandler()
{
    if (handlerInstalled) return true;
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    if (sigaction(SIGBUS, &action, &previousAction) != 0) return false;
    handlerInstalled = true;
    return true;
}

// Runs body with the jump target armed; true when a guarded fault ended it.
// Kept apart from runGuarded so that nothing with a destructor lives in the
// frame that sigsetjmp returns to twice.
__attribute__((noinline)) bool runArmed(JumpTarget& target, const std::function<void()>& body)
{
    if (sigsetjmp(target.jump, 1) != 0) {
        armed.store(nullptr, std::memory_order_release);
        return true;
    }
    armed.store(&target, std::memory_order_release);
    try {
        body();
    } catch (...) {
        armed.store(nullptr, std::memory_order_release);
        throw;
    }
    armed.store(nullptr, std::memory_order_release);
    return false;
}

}  // namespace

bool guardMapping(const void* start, std::size_t bytes, const std::string& fileName)
{
    std::lock_guard<std::mutex> guard(registering);
    const int count = rangeCount.load(std::memory_order_relaxed);
    if (count == maxRanges || !installHandler()) return false;
    rangeNames[static_cast<std::size_t>(count)] = fileName;
    ranges[static_cast<std::size_t>(count)] = {static_cast<const char*>(start), bytes};
    rangeCount.store(count + 1, std::memory_order_release);
    return true;
}

void runGuarded(const std::function<void()>& body, std::span<const CallRange> callRanges,
                const std::function<std::string(std::size_t)>& describe)
{
    // With no mapping registered and no memory of the call's own there is
    // nothing to guard; nor is there when the handler cannot be installed.
    const JumpTarget* running = armed.load(std::memory_order_acquire);
    bool guarding = rangeCount.load(std::memory_order_acquire) > 0;
    if (!guarding && !callRanges.empty()) {
        std::lock_guard<std::mutex> guard(registering);
        guarding = installHandler();
    }
    if (!guarding || (running != nullptr && pthread_equal(running->thread, pthread_self()) != 0)) {
        body();
        return;
    }
    JumpTarget target;
    target.thread = pthread_self();
    target.callRanges = callRanges.data();
    target.callRangeCount = callRanges.size();
    target.faultedRange = -1;
    target.faultedCallRange = -1;
    if (runArmed(target, body)) {
        if (target.faultedRange < 0) {
            const auto k = static_cast<std::size_t>(target.faultedCallRange);
            throw InputChanged(describe ? describe(k) : "input memory changed while it was read");
        }
        std::string name;
        {
            std::lock_guard<std::mutex> guard(registering);
            name = rangeNames[static_cast<std::size_t>(target.faultedRange)];
        }
        throw InputChanged("input file '" + name + "' changed while it was read");
    }
}

GuardPause::GuardPause() : paused_(nullptr)
{
    JumpTarget* running = armed.load(std::memory_order_acquire);
    if (running != nullptr && pthread_equal(running->thread, pthread_self()) != 0) {
        paused_ = running;
        armed.store(nullptr, std::memory_order_release);
    }
}

GuardPause::~GuardPause()
{
    if (paused_ != nullptr) armed.store(static_cast<JumpTarget*>(paused_), std::memory_order_release);
}

}  // namespace ky
