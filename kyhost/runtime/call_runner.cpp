#include "call_runner.hpp"

#include <chrono>
#include <new>

#include "borrowed_inputs.hpp"
#include "mapped_input_guard.hpp"

namespace ky {

namespace {

// Takes a slot from the finished call: an array the call created becomes the
// host's; an input handed back, or an array already taken from an earlier
// slot, is copied, since each result has a single owner.
ArrayHandle takeResult(CallScope& scope, kyArray* slot, const CallOutcome& taken)
{
    if (slot == nullptr) return nullptr;
    if (scope.owns(slot)) return ArrayHandle(scope.keep(slot));
    bool earlier = taken.result.get() == slot;
    for (const ArrayHandle& other : taken.moreResults) earlier = earlier || other.get() == slot;
    if (earlier || scope.context().inputs.count(slot) != 0) return ArrayHandle(scope.keep(duplicate(slot)));
    raiseError("The plug-in returned an array that does not belong to the call.");
}

// The warning sink as the call sees it. The caller's sink is code the host
// does not own: the guard is paused while it runs (a jump must not skip its
// frames), and since it may change memory the call reads in place (a
// Python warning handler can write to the arrays it passed), the call is
// stopped with an error when that memory differs afterwards, instead of
// going on with inputs other than those it started with.
WarningSink sinkOfCall(const WarningSink& onWarning, const BorrowedMemory& borrowed)
{
    if (!onWarning) return {};
    return [&onWarning, &borrowed](const std::string& text) {
        const std::uint64_t before = contentDigest(borrowed.ranges);
        {
            const GuardPause pause;
            onWarning(text);
        }
        if (contentDigest(borrowed.ranges) != before)
            raiseError("An input the call reads in place changed while the warning was handled (warning: " + text +
                       "); the call was stopped.");
    };
}

std::string describeLostInput(const BorrowedMemory& borrowed, std::size_t range)
{
    return "input " + std::to_string(borrowed.inputOf[range] + 1) +
           " became unreadable while the call read it: the file its memory is mapped from shrank";
}

}  // namespace

CallOutcome runCall(kyxFunctionType entry, int outputCount, std::span<const kyArray* const> inputs,
                    const WarningSink& onWarning)
{
    CallOutcome outcome;
    std::vector<kyArray*> slots(outputCount > 0 ? static_cast<std::size_t>(outputCount) : 1, nullptr);
    std::vector<const kyArray*> arguments(inputs.begin(), inputs.end());
    const BorrowedMemory borrowed = borrowedMemory(arguments);
    const auto start = std::chrono::steady_clock::now();
    {
        CallScope scope(sinkOfCall(onWarning, borrowed));
        try {
            scope.context().inputs.insert(arguments.begin(), arguments.end());
            // A mapped input file that shrinks during the call (one the host
            // mapped, or any memory read in place) ends it with InputChanged,
            // which is not the call's error but the host's: it leaves runCall
            // (after the scope has reclaimed the call's memory).
            runGuarded(
                [&] { entry(outputCount, slots.data(), static_cast<int>(arguments.size()), arguments.data()); },
                borrowed.ranges, [&](std::size_t range) { return describeLostInput(borrowed, range); });
            outcome.result = takeResult(scope, slots[0], outcome);
            for (std::size_t k = 1; k < static_cast<std::size_t>(outputCount); ++k)
                outcome.moreResults.push_back(takeResult(scope, slots[k], outcome));
        } catch (const InputChanged&) {
            throw;
        } catch (const CallError& error) {
            outcome.error = error.what();
        } catch (const std::bad_alloc&) {
            outcome.error = "Out of memory.";
        } catch (const std::exception& error) {
            outcome.error = std::string("The call ended with an unexpected exception: ") + error.what();
        } catch (...) {
            outcome.error = "The call ended with an unexpected exception.";
        }
        if (outcome.error) {
            outcome.result.reset();
            outcome.moreResults.clear();
        }
        outcome.warnings = std::move(scope.context().warnings);
        outcome.peakBytes = scope.context().peakBytes;
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return outcome;
}

}  // namespace ky
