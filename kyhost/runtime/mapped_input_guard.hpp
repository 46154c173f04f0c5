// Inputs that lie in file mappings, guarded against their files shrinking
// while a call reads them.
//
// A page of a mapping that lies past the end of its file (because someone
// truncated the file after it was mapped) raises SIGBUS when touched, which
// would end the process. The guard catches that fault when it hits a
// registered mapping during a call: the signal handler jumps (siglongjmp)
// back to the frame that started the call, which then ends the call with an
// InputChanged exception, so the call's memory is reclaimed as after any
// error. A SIGBUS anywhere else, or outside a call, goes on to the handler
// that was installed before the guard (or the default action).
//
// The jump skips the frames between the fault and the call's start without
// running their destructors; the plug-ins keep their working memory in the
// host's allocator, which the call's scope reclaims, so what can be lost is
// at most what a frame held in its own RAII objects.
#pragma once

#include <cstddef>
#include <functional>
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

// Runs body; a SIGBUS on a registered mapping while it runs (on this
// thread) ends it with InputChanged("input file 'NAME' changed while it
// was read"). Calls do not nest: a guard already armed on this thread is
// kept and body simply runs inside it.
void runGuarded(const std::function<void()>& body);

}  // namespace ky
