// Inputs that lie in file mappings, guarded against their files shrinking
// while a call reads them.
//
// A page of a mapping that lies past the end of its file (because someone
// truncated the file after it was mapped) raises SIGBUS when touched, which
// would end the process. The guard catches that fault when it hits a
// registered mapping, or memory that the running call was given to read in
// place (a front end's buffers, which may be mapped from a file too),
// during a call: the signal handler jumps (siglongjmp) back to the frame
// that started the call, which then ends the call with an InputChanged
// exception, so the call's memory is reclaimed as after any error. A
// SIGBUS anywhere else, outside a call, or while the guard is paused (for
// code that is not the host's, such as a warning callback, whose frames a
// jump must not skip) goes on to the handler that was installed before the
// guard (or the default action).
//
// The jump skips the frames between the fault and the call's start without
// running their destructors; the plug-ins keep their working memory in the
// host's allocator, which the call's scope reclaims, so what can be lost is
// at most what a frame held in its own RAII objects.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>

namespace ky {

// Ends a call whose mapped input file changed under it.
class InputChanged : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Registers [start, start + bytes) as the mapping of fileName, for the life
// of the process, and installs the SIGBUS handler with the first one.
// False when no more mappings can be registered or the handler cannot be
// installed: the caller must then not use a mapping.
bool guardMapping(const void* start, std::size_t bytes, const std::string& fileName);

// Memory that one call reads in place.
struct CallRange {
    const void* start;
    std::size_t bytes;
};

// Runs body; a SIGBUS on a registered mapping while it runs (on this
// thread) ends it with InputChanged("input file 'NAME' changed while it
// was read"), and one on callRanges[k] with InputChanged(describe(k)).
// Calls do not nest: a guard already armed on this thread is kept and body
// simply runs inside it. The ranges must outlive the run.
void runGuarded(const std::function<void()>& body, std::span<const CallRange> callRanges = {},
                const std::function<std::string(std::size_t)>& describe = {});

// While it lives, the guard armed on this thread (if any) catches nothing:
// a SIGBUS goes where it would go without the guard.
class GuardPause {
public:
    GuardPause();
    ~GuardPause();
    GuardPause(const GuardPause&) = delete;
    GuardPause& operator=(const GuardPause&) = delete;

private:
    void* paused_;
};

}  // namespace ky
