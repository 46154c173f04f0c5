// The host runs one call at a time. The module serialises its calls with
// one lock, taken with the GIL released (so that a thread waiting for it
// never holds up the running call's warnings), and frees result arrays that
// Python drops while another thread's call runs only once that call ends.
#pragma once

#include "kyhost_embed.h"

namespace kyhost_python {

// Holds the call lock for its lifetime. Throws RuntimeError when the
// thread already holds it (a call made from inside a warning handler).
class CallLock {
public:
    CallLock();
    ~CallLock();
    CallLock(const CallLock&) = delete;
    CallLock& operator=(const CallLock&) = delete;
};

// Frees a result array that Python no longer uses: now, or when the call
// running on another thread has ended.
void releaseResultArray(kyArray* array) noexcept;

}  // namespace kyhost_python
