// The embedding interface (kyhost_embed.h) over the host runtime: function
// lookup, caller arrays, calls and their records. Every entry point catches
// whatever the runtime throws and turns it into a NULL result and the text
// of kyhostLastError().
#include "kyhost_embed.h"
#include "kyhost_embed.hpp"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <new>
#include <string>
#include <vector>

#include "call_runner.hpp"
#include "host_array.hpp"
#include "host_functions.hpp"
#include "plugin_loader.hpp"

struct kyhostFunction {
    kyxFunctionType entry;
    std::string library;  // "" for a host function
};

struct kyhostCall {
    std::vector<ky::ArrayHandle> results;  // one per slot, entries may be empty
    std::vector<std::string> warnings;
    std::optional<std::string> error;
    double seconds = 0;
    std::size_t peakBytes = 0;
};

namespace {

thread_local std::string lastError;

// Runs body; on any exception records its text and returns failed.
template <typename Result, typename Body>
Result guarded(Result failed, Body body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        lastError = "Out of memory.";
    } catch (const std::exception& error) {
        try {
            lastError = error.what();
        } catch (...) {
        }
    } catch (...) {
        lastError = "Unexpected failure in the host.";
    }
    return failed;
}

[[noreturn]] void fail(const std::string& message) { throw std::runtime_error(message); }

// The host runs one call at a time, and arrays made or freed while a call
// runs would land on that call's books (and be freed with it). Entry points
// that make arrays or run a call hold this lock while they work, taken with
// try_lock: a second call, from any thread, gets a clean error instead of
// racing the first. Freeing waits for the running call instead, since it
// has no way to report an error. The runtime's inner calls (a plug-in
// calling "sparse") do not pass through here.
std::mutex hostLock;
std::atomic<std::thread::id> lockHolder{};

class HostTurn {
public:
    HostTurn()
    {
        if (lockHolder.load() == std::this_thread::get_id())
            fail("A call is already running on this thread (the interface was entered from a warning "
                 "callback): the host runs one call at a time.");
        if (!hostLock.try_lock())
            fail("A call is already running on another thread: the host runs one call at a time.");
        lockHolder.store(std::this_thread::get_id());
    }
    ~HostTurn()
    {
        lockHolder.store(std::thread::id{});
        hostLock.unlock();
    }
    HostTurn(const HostTurn&) = delete;
    HostTurn& operator=(const HostTurn&) = delete;
};

// Runs release with the host to itself: at once on the thread that holds
// it (inside a warning callback), otherwise after any running call.
template <typename Release>
void whenIdle(Release release) noexcept
{
    if (lockHolder.load() == std::this_thread::get_id()) {
        release();
        return;
    }
    std::lock_guard<std::mutex> guard(hostLock);
    release();
}

// Functions handed out so far, by library path (plug-ins) or name (host
// functions); never freed, so handles stay valid for the process.
kyhostFunction* registered(kyxFunctionType entry, const std::string& library, const std::string& key)
{
    static std::mutex lock;
    static auto* functions = new std::map<std::string, std::unique_ptr<kyhostFunction>>;
    std::lock_guard<std::mutex> guard(lock);
    auto& slot = (*functions)[key];
    if (!slot) slot.reset(new kyhostFunction{entry, library});
    return slot.get();
}

kyhostFunction* registeredPlugin(kyxFunctionType entry, const std::filesystem::path& library)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(library, error);
    const std::string key = "plugin:" + (error ? library.string() : absolute.lexically_normal().string());
    return registered(entry, library.string(), key);
}

// A zero-filled m-by-n full array of the class.
kyArray* createZeroed(ky::ArrayClass c, std::int32_t m, std::int32_t n)
{
    switch (c) {
    case ky::ArrayClass::Double: return ky::createDouble(m, n);
    case ky::ArrayClass::Uint8: return ky::createUint8(m, n);
    case ky::ArrayClass::Char: return ky::createCharMatrix(m, n);
    case ky::ArrayClass::Sparse: break;
    }
    fail("A sparse array is not a full array.");
}

void checkDimensions(std::int32_t m, std::int32_t n)
{
    if (m < 0 || n < 0)
        fail("Array dimensions must be non-negative (got " + std::to_string(m) + "-by-" + std::to_string(n) + ").");
    if (static_cast<std::int64_t>(m) * n > ky::maxElements)
        fail("A " + std::to_string(m) + "-by-" + std::to_string(n) + " array exceeds the maximum array size.");
}

kyArray* borrowFull(ky::ArrayClass c, std::int32_t m, std::int32_t n, const void* data)
{
    checkDimensions(m, n);
    if (static_cast<std::int64_t>(m) * n == 0) return createZeroed(c, m, n);
    if (data == nullptr) fail("The array's data pointer is null.");
    return ky::createBorrowed(c, m, n, const_cast<void*>(data));
}

// count elements of type T, rowStride bytes apart (any alignment), to
// consecutive places.
template <typename T>
void copyStrided(char* target, const char* source, std::int32_t count, std::ptrdiff_t rowStride)
{
    for (std::int32_t i = 0; i < count; ++i) std::memcpy(target + i * sizeof(T), source + i * rowStride, sizeof(T));
}

kyArray* copyFull(ky::ArrayClass c, std::int32_t m, std::int32_t n, const void* data, std::ptrdiff_t rowStride,
                  std::ptrdiff_t columnStride)
{
    checkDimensions(m, n);
    kyArray* array = createZeroed(c, m, n);
    if (static_cast<std::int64_t>(m) * n == 0) return array;
    if (data == nullptr) {
        ky::freeArray(array);
        fail("The array's data pointer is null.");
    }
    const std::size_t size = ky::elementSize(c);
    const auto* source = static_cast<const char*>(data);
    auto* target = static_cast<char*>(array->data);
    for (std::int32_t j = 0; j < n; ++j) {
        const char* column = source + j * columnStride;
        if (rowStride == static_cast<std::ptrdiff_t>(size)) {
            std::memcpy(target, column, size * static_cast<std::size_t>(m));
            target += size * static_cast<std::size_t>(m);
            continue;
        }
        if (size == sizeof(double))
            copyStrided<double>(target, column, m, rowStride);
        else
            copyStrided<std::uint8_t>(target, column, m, rowStride);
        target += size * static_cast<std::size_t>(m);
    }
    return array;
}

// Checks a compressed-column layout before anything reads it by its own
// numbers: the column starts first (count, start at 0, never decreasing,
// within the row indices given), then every row index. A count of -1 is
// not known and not checked; the caller vouches for that array's length.
// Rows may come in any order and repeat: they are used as given.
void checkSparseLayout(std::int32_t m, std::int32_t n, const std::int32_t* jc, std::int64_t jcCount,
                       const std::int32_t* ir, std::int64_t irCount, const double* values, std::int64_t valueCount)
{
    if (m < 0 || n < 0) fail("Sparse matrix dimensions must be non-negative.");
    if (jc == nullptr) fail("The sparse matrix's column starts are null.");
    if (jcCount >= 0 && jcCount != static_cast<std::int64_t>(n) + 1)
        fail("The sparse matrix has " + std::to_string(jcCount) + " column starts; " + std::to_string(n) +
             " columns need " + std::to_string(static_cast<std::int64_t>(n) + 1) + ".");
    if (jc[0] != 0) fail("Sparse column starts must begin at 0.");
    for (std::int32_t j = 0; j < n; ++j)
        if (jc[j + 1] < jc[j]) fail("Sparse column starts must not decrease (column " + std::to_string(j + 1) + ").");
    if (irCount >= 0 && jc[n] > irCount)
        fail("Sparse column starts end at " + std::to_string(jc[n]) + ", past the " + std::to_string(irCount) +
             " row indices given.");
    if (irCount >= 0 && valueCount >= 0 && valueCount != irCount)
        fail("The sparse matrix has " + std::to_string(valueCount) + " values for " + std::to_string(irCount) +
             " row indices.");
    if (jc[n] > 0 && (ir == nullptr || values == nullptr)) fail("The sparse matrix's row indices or values are null.");
    for (std::int32_t k = 0; k < jc[n]; ++k)
        if (ir[k] < 0 || ir[k] >= m)
            fail("Sparse row index " + std::to_string(ir[k]) + " is outside 0 to " + std::to_string(m - 1) + ".");
}

kyArray* borrowSparse(std::int32_t m, std::int32_t n, const std::int32_t* jc, const std::int32_t* ir,
                      const double* values)
{
    if (jc[n] == 0) return ky::createSparse(m, n, 0);
    return ky::createBorrowedSparse(m, n, const_cast<std::int32_t*>(jc), const_cast<std::int32_t*>(ir),
                                    const_cast<double*>(values));
}

const kyArray* resultAt(const kyhostCall* call, int index)
{
    if (call == nullptr || index < 0 || static_cast<std::size_t>(index) >= call->results.size()) return nullptr;
    return call->results[static_cast<std::size_t>(index)].get();
}

}  // namespace

kyhostFunction* kyhost::linkedFunction(kyxFunctionType entry, const char* name)
{
    return guarded<kyhostFunction*>(nullptr, [&] {
        if (entry == nullptr || name == nullptr) fail("No linked function given.");
        return registered(entry, "", std::string("linked:") + name);
    });
}

extern "C" {

kyhostFunction* kyhostFind(const char* name)
{
    return guarded<kyhostFunction*>(nullptr, [&] {
        if (name == nullptr || *name == '\0') fail("No function name given.");
        const ky::FoundFunction found = ky::findFunction(name);
        if (found.library.empty()) return registered(found.entry, "", std::string("host:") + name);
        return registeredPlugin(found.entry, found.library);
    });
}

kyhostFunction* kyhostLoad(const char* path)
{
    return guarded<kyhostFunction*>(nullptr, [&] {
        if (path == nullptr || *path == '\0') fail("No plug-in path given.");
        return registeredPlugin(ky::loadPlugin(path), path);
    });
}

kyhostFunction* kyhostHostFunction(const char* name)
{
    return guarded<kyhostFunction*>(nullptr, [&] {
        const ky::HostFunction function = name == nullptr ? nullptr : ky::findHostFunction(name);
        if (function == nullptr) fail(std::string("No host function '") + (name ? name : "") + "'.");
        return registered(function, "", std::string("host:") + name);
    });
}

const char* kyhostFunctionLibrary(const kyhostFunction* function)
{
    return function == nullptr ? "" : function->library.c_str();
}

const char* kyhostPluginDirectory(void)
{
    static const std::string directory = guarded<std::string>("lib/kyhost/plugins", [] {
        return ky::hostPluginDir().string();
    });
    return directory.c_str();
}

kyArray* kyhostBorrowDouble(int32_t m, int32_t n, const double* data)
{
    return guarded<kyArray*>(nullptr, [&] {
        const HostTurn turn;
        return borrowFull(ky::ArrayClass::Double, m, n, data);
    });
}

kyArray* kyhostBorrowUint8(int32_t m, int32_t n, const uint8_t* data)
{
    return guarded<kyArray*>(nullptr, [&] {
        const HostTurn turn;
        return borrowFull(ky::ArrayClass::Uint8, m, n, data);
    });
}

kyArray* kyhostCopyDouble(int32_t m, int32_t n, const double* data, ptrdiff_t rowStride, ptrdiff_t columnStride)
{
    return guarded<kyArray*>(nullptr, [&] {
        const HostTurn turn;
        return copyFull(ky::ArrayClass::Double, m, n, data, rowStride, columnStride);
    });
}

kyArray* kyhostCopyUint8(int32_t m, int32_t n, const uint8_t* data, ptrdiff_t rowStride, ptrdiff_t columnStride)
{
    return guarded<kyArray*>(nullptr, [&] {
        const HostTurn turn;
        return copyFull(ky::ArrayClass::Uint8, m, n, data, rowStride, columnStride);
    });
}

kyArray* kyhostCopyText(const char* text, size_t length)
{
    return guarded<kyArray*>(nullptr, [&] {
        const HostTurn turn;
        if (text == nullptr && length > 0) fail("The text pointer is null.");
        return ky::createChar(std::string_view(text == nullptr ? "" : text, length));
    });
}

kyArray* kyhostBorrowSparse(int32_t m, int32_t n, const int32_t* columnStarts, const int32_t* rowIndices,
                            const double* values)
{
    return guarded<kyArray*>(nullptr, [&] {
        const HostTurn turn;
        checkSparseLayout(m, n, columnStarts, -1, rowIndices, -1, values, -1);
        return borrowSparse(m, n, columnStarts, rowIndices, values);
    });
}

kyArray* kyhostBorrowSparseSized(int32_t m, int32_t n, const int32_t* columnStarts, size_t columnStartCount,
                                 const int32_t* rowIndices, size_t rowIndexCount, const double* values,
                                 size_t valueCount)
{
    return guarded<kyArray*>(nullptr, [&] {
        const HostTurn turn;
        const auto count = [](size_t c) { return static_cast<std::int64_t>(std::min<size_t>(c, INT64_MAX)); };
        checkSparseLayout(m, n, columnStarts, count(columnStartCount), rowIndices, count(rowIndexCount), values,
                          count(valueCount));
        return borrowSparse(m, n, columnStarts, rowIndices, values);
    });
}

void kyhostFreeArray(kyArray* array)
{
    if (array != nullptr) whenIdle([array] { ky::freeArray(array); });
}

kyhostCall* kyhostRun(const kyhostFunction* function, int outputCount, int inputCount, const kyArray* const* inputs,
                      kyhostWarningCallback onWarning, void* userData)
{
    return guarded<kyhostCall*>(nullptr, [&] {
        const HostTurn turn;
        if (function == nullptr) fail("No function given.");
        if (outputCount < 0 || outputCount > 64) fail("The number of outputs must be 0 to 64.");
        if (inputCount < 0 || (inputCount > 0 && inputs == nullptr)) fail("The inputs are missing.");
        for (int k = 0; k < inputCount; ++k)
            if (inputs[k] == nullptr) fail("Input " + std::to_string(k + 1) + " is null.");
        if (ky::currentCall() != nullptr) fail("A call is already running: the host runs one call at a time.");

        ky::WarningSink sink;
        if (onWarning != nullptr)
            sink = [onWarning, userData](const std::string& text) {
                if (onWarning(text.c_str(), userData) != 0)
                    ky::raiseError("Call stopped by the caller at a warning: " + text);
            };
        auto call = std::make_unique<kyhostCall>();
        ky::CallOutcome outcome = ky::runCall(function->entry, outputCount,
                                              std::span<const kyArray* const>(inputs, static_cast<std::size_t>(inputCount)),
                                              sink);
        call->results.push_back(std::move(outcome.result));
        for (ky::ArrayHandle& more : outcome.moreResults) call->results.push_back(std::move(more));
        call->warnings = std::move(outcome.warnings);
        call->error = std::move(outcome.error);
        call->seconds = outcome.seconds;
        call->peakBytes = outcome.peakBytes;
        return call.release();
    });
}

const char* kyhostCallError(const kyhostCall* call)
{
    return call != nullptr && call->error ? call->error->c_str() : nullptr;
}

int kyhostCallWarningCount(const kyhostCall* call)
{
    return call == nullptr ? 0 : static_cast<int>(call->warnings.size());
}

const char* kyhostCallWarning(const kyhostCall* call, int index)
{
    if (call == nullptr || index < 0 || static_cast<std::size_t>(index) >= call->warnings.size()) return nullptr;
    return call->warnings[static_cast<std::size_t>(index)].c_str();
}

const kyArray* kyhostCallResult(const kyhostCall* call, int index) { return resultAt(call, index); }

kyArray* kyhostCallTakeResult(kyhostCall* call, int index)
{
    if (resultAt(call, index) == nullptr) return nullptr;
    return call->results[static_cast<std::size_t>(index)].release();
}

double kyhostCallSeconds(const kyhostCall* call) { return call == nullptr ? 0 : call->seconds; }

size_t kyhostCallPeakBytes(const kyhostCall* call) { return call == nullptr ? 0 : call->peakBytes; }

void kyhostCallFree(kyhostCall* call)
{
    if (call != nullptr) whenIdle([call] { delete call; });
}

int kyhostArrayClass(const kyArray* array)
{
    if (array == nullptr) return -1;
    switch (array->arrayClass) {
    case ky::ArrayClass::Double: return KYHOST_DOUBLE;
    case ky::ArrayClass::Char: return KYHOST_TEXT;
    case ky::ArrayClass::Uint8: return KYHOST_UINT8;
    case ky::ArrayClass::Sparse: return KYHOST_SPARSE;
    }
    return -1;
}

int32_t kyhostArrayRows(const kyArray* array) { return array == nullptr ? 0 : array->m; }

int32_t kyhostArrayColumns(const kyArray* array) { return array == nullptr ? 0 : array->n; }

void* kyhostArrayData(const kyArray* array)
{
    if (array == nullptr) return nullptr;
    try {
        return ky::arrayData(array);
    } catch (...) {
        return nullptr;  // a sparse array's values could not be made
    }
}

const int32_t* kyhostArrayColumnStarts(const kyArray* array)
{
    return array != nullptr && array->arrayClass == ky::ArrayClass::Sparse ? array->jc : nullptr;
}

const int32_t* kyhostArrayRowIndices(const kyArray* array)
{
    return array != nullptr && array->arrayClass == ky::ArrayClass::Sparse ? array->ir : nullptr;
}

const char* kyhostLastError(void) { return lastError.c_str(); }

}  // extern "C"
