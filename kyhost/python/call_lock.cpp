#include "call_lock.hpp"

#include <pybind11/pybind11.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace py = pybind11;

namespace kyhost_python {

namespace {

std::mutex callMutex;
std::atomic<std::thread::id> holder{};

// Guards callActive and the arrays waiting to be freed.
std::mutex pendingMutex;
bool callActive = false;
std::vector<kyArray*>* pending = new std::vector<kyArray*>;  // never destroyed: used until exit

}  // namespace

CallLock::CallLock()
{
    if (holder.load() == std::this_thread::get_id())
        throw std::runtime_error("kyhost: a call cannot be made while another call runs on this thread "
                                 "(for instance from a warning handler)");
    {
        py::gil_scoped_release released;
        callMutex.lock();
    }
    holder.store(std::this_thread::get_id());
    std::lock_guard<std::mutex> guard(pendingMutex);
    callActive = true;
}

CallLock::~CallLock()
{
    {
        std::lock_guard<std::mutex> guard(pendingMutex);
        callActive = false;
        for (kyArray* array : *pending) kyhostFreeArray(array);
        pending->clear();
    }
    holder.store(std::thread::id{});
    callMutex.unlock();
}

void releaseResultArray(kyArray* array) noexcept
{
    std::lock_guard<std::mutex> guard(pendingMutex);
    if (!callActive) {
        kyhostFreeArray(array);
        return;
    }
    try {
        pending->push_back(array);
    } catch (...) {
        // No memory to remember it: the array leaks rather than racing the call.
    }
}

}  // namespace kyhost_python
