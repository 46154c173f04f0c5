// The embedding interface (kyhost_embed.h) through a real plug-in library:
// lookup, caller arrays read in place, ownership of results, warnings in
// order, error texts. The sanitizer build also shows that nothing leaks.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "kyhost_embed.hpp"

extern "C" int embedSessionFromC(const char* probePath);

namespace {

using kyhost::CallRecord;
using kyhost::OwnedArray;

const kyhostFunction* probe()
{
    const kyhostFunction* function = kyhostLoad(KY_PROBE_PLUGIN);
    EXPECT_NE(function, nullptr) << kyhostLastError();
    return function;
}

OwnedArray text(const std::string& value) { return OwnedArray(kyhostCopyText(value.data(), value.size())); }

CallRecord runProbe(const std::string& action, const kyArray* second = nullptr, int outputs = 1,
                    kyhostWarningCallback onWarning = nullptr, void* userData = nullptr)
{
    const OwnedArray name = text(action);
    std::vector<const kyArray*> inputs{name.get()};
    if (second != nullptr) inputs.push_back(second);
    return CallRecord(kyhostRun(probe(), outputs, static_cast<int>(inputs.size()), inputs.data(), onWarning, userData));
}

TEST(EmbedApi, WorksFromC) { EXPECT_EQ(embedSessionFromC(KY_PROBE_PLUGIN), 0); }

TEST(EmbedApi, FindsPluginsAndHostFunctionsOrSaysWhyNot)
{
    EXPECT_EQ(kyhostLoad(KY_PROBE_PLUGIN), kyhostLoad(KY_PROBE_PLUGIN));  // one handle per library
    EXPECT_STREQ(kyhostFunctionLibrary(kyhostLoad(KY_PROBE_PLUGIN)), KY_PROBE_PLUGIN);

    const kyhostFunction* sparse = kyhostFind("sparse");
    ASSERT_NE(sparse, nullptr);
    EXPECT_EQ(sparse, kyhostHostFunction("sparse"));
    EXPECT_STREQ(kyhostFunctionLibrary(sparse), "");
    EXPECT_NE(kyhostFind("sweeptri"), nullptr) << kyhostLastError();  // from the host's plug-in directory
    EXPECT_NE(std::string(kyhostFunctionLibrary(kyhostFind("sweeptri"))).find(kyhostPluginDirectory()),
              std::string::npos);

    EXPECT_EQ(kyhostFind("nosuchplugin"), nullptr);
    EXPECT_EQ(std::string(kyhostLastError()).rfind("unknown function 'nosuchplugin'", 0), 0u);
    EXPECT_EQ(kyhostLoad(KY_NOT_A_PLUGIN), nullptr);
    EXPECT_NE(std::string(kyhostLastError()).find("does not export kyxFunction"), std::string::npos);
    EXPECT_EQ(kyhostHostFunction("nosuchfunction"), nullptr);
    EXPECT_EQ(kyhostFind(nullptr), nullptr);
}

TEST(EmbedApi, BorrowedInputsAreReadInPlaceAndCopiesAreColumnMajor)
{
    const std::vector<double> values{1, 2, 3, 4, 5, 6};
    const OwnedArray borrowed(kyhostBorrowDouble(2, 3, values.data()));
    ASSERT_TRUE(borrowed);
    EXPECT_EQ(kyhostArrayData(borrowed.get()), values.data());

    // A row-major 2-by-3 (rows 1 2 3 / 4 5 6) becomes column-major storage.
    const double rowMajor[] = {1, 2, 3, 4, 5, 6};
    const OwnedArray copied(kyhostCopyDouble(2, 3, rowMajor, 3 * sizeof(double), sizeof(double)));
    ASSERT_TRUE(copied);
    EXPECT_NE(kyhostArrayData(copied.get()), static_cast<const void*>(rowMajor));
    const auto* data = static_cast<const double*>(kyhostArrayData(copied.get()));
    EXPECT_EQ(std::vector<double>(data, data + 6), (std::vector<double>{1, 4, 2, 5, 3, 6}));

    const std::uint8_t bytes[] = {9, 8, 7, 6};
    const OwnedArray u8(kyhostBorrowUint8(1, 4, bytes));
    EXPECT_EQ(kyhostArrayClass(u8.get()), KYHOST_UINT8);
    EXPECT_EQ(kyhostArrayData(u8.get()), bytes);

    const OwnedArray empty(kyhostBorrowDouble(0, 5, nullptr));  // no elements: nothing to read
    ASSERT_TRUE(empty);
    EXPECT_EQ(kyhostArrayColumns(empty.get()), 5);

    EXPECT_EQ(kyhostBorrowDouble(-1, 2, values.data()), nullptr);
    EXPECT_NE(std::string(kyhostLastError()).find("non-negative"), std::string::npos);
    EXPECT_EQ(kyhostBorrowDouble(65536, 65536, values.data()), nullptr);
    EXPECT_EQ(kyhostBorrowDouble(2, 3, nullptr), nullptr);
}

TEST(EmbedApi, SparseInputsAreCheckedAndReadInPlace)
{
    const std::int32_t jc[] = {0, 1, 3};
    const std::int32_t ir[] = {2, 0, 1};
    const double v[] = {1, 1, 1};
    const OwnedArray s(kyhostBorrowSparse(3, 2, jc, ir, v));
    ASSERT_TRUE(s) << kyhostLastError();
    EXPECT_EQ(kyhostArrayColumnStarts(s.get()), jc);
    EXPECT_EQ(kyhostArrayRowIndices(s.get()), ir);
    EXPECT_EQ(kyhostArrayClass(s.get()), KYHOST_SPARSE);

    const std::int32_t badStarts[] = {0, 2, 1};
    EXPECT_EQ(kyhostBorrowSparse(3, 2, badStarts, ir, v), nullptr);
    EXPECT_NE(std::string(kyhostLastError()).find("must not decrease"), std::string::npos);
    const std::int32_t rowOutside[] = {2, 0, 3};
    EXPECT_EQ(kyhostBorrowSparse(3, 2, jc, rowOutside, v), nullptr);
    EXPECT_NE(std::string(kyhostLastError()).find("outside"), std::string::npos);
    // Rows in any order, repeated, are used as given.
    const std::int32_t rowsDescending[] = {2, 1, 1};
    const OwnedArray unsorted(kyhostBorrowSparse(3, 2, jc, rowsDescending, v));
    ASSERT_TRUE(unsorted) << kyhostLastError();
    EXPECT_EQ(kyhostArrayRowIndices(unsorted.get()), rowsDescending);
}

TEST(EmbedApi, SizedSparseLayoutsAreCheckedBeforeTheirNumbersAreUsed)
{
    const std::int32_t ir[] = {2, 0, 1};
    const double v[] = {1, 1, 1};
    const auto refused = [&](std::vector<std::int32_t> jc, std::size_t rows, std::size_t values, const char* reason) {
        EXPECT_EQ(kyhostBorrowSparseSized(3, 4, jc.data(), jc.size(), ir, rows, v, values), nullptr) << reason;
        EXPECT_NE(std::string(kyhostLastError()).find(reason), std::string::npos) << kyhostLastError();
    };
    refused({0, 1, 3}, 3, 3, "3 column starts; 4 columns need 5");  // too short: jc[4] is never read
    refused({1, 1, 2, 3, 3}, 3, 3, "begin at 0");
    refused({0, 5, 1, 1, 2}, 3, 3, "must not decrease");
    refused({0, 1, 2, 3, 4}, 3, 3, "past the 3 row indices");
    refused({0, 1, 2, 3, 3}, 3, 2, "2 values for 3 row indices");
    const std::int32_t jc[] = {0, 1, 2, 2, 3};
    const OwnedArray s(kyhostBorrowSparseSized(3, 4, jc, 5, ir, 3, v, 3));
    ASSERT_TRUE(s) << kyhostLastError();
    EXPECT_EQ(kyhostArrayColumnStarts(s.get()), jc);
}

TEST(EmbedApi, ResultsBelongToTheCallUntilTaken)
{
    const double value = 5;
    const OwnedArray input(kyhostBorrowDouble(1, 1, &value));
    CallRecord call = runProbe("echo", input.get(), 2);
    ASSERT_TRUE(call) << kyhostLastError();
    EXPECT_EQ(kyhostCallError(call.get()), nullptr);
    const kyArray* viewed = kyhostCallResult(call.get(), 0);
    ASSERT_NE(viewed, nullptr);
    EXPECT_NE(kyhostArrayData(viewed), &value);  // the input handed back is copied
    EXPECT_EQ(kyhostCallResult(call.get(), 1), nullptr);  // the probe filled one slot
    EXPECT_EQ(kyhostCallResult(call.get(), 2), nullptr);  // past the slots

    const OwnedArray taken(kyhostCallTakeResult(call.get(), 0));
    EXPECT_EQ(taken.get(), viewed);
    EXPECT_EQ(kyhostCallTakeResult(call.get(), 0), nullptr);
    call.reset();  // the taken result outlives the call record
    EXPECT_EQ(*static_cast<const double*>(kyhostArrayData(taken.get())), 5);
}

TEST(EmbedApi, OneArrayInTwoSlotsGivesTwoResults)
{
    const CallRecord call = runProbe("same-array-twice", nullptr, 2);
    ASSERT_TRUE(call);
    const kyArray* first = kyhostCallResult(call.get(), 0);
    const kyArray* second = kyhostCallResult(call.get(), 1);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(*static_cast<const double*>(kyhostArrayData(second)), 7);
}

struct Heard {
    std::vector<std::string> texts;
    int stopAt = -1;  // index of the warning that ends the call
};

int listen(const char* text, void* userData)
{
    auto* heard = static_cast<Heard*>(userData);
    heard->texts.emplace_back(text);
    return static_cast<int>(heard->texts.size()) - 1 == heard->stopAt ? 1 : 0;
}

TEST(EmbedApi, WarningsArriveInOrderAsIssuedAndInTheRecord)
{
    Heard heard;
    const CallRecord call = runProbe("warn-twice", nullptr, 1, listen, &heard);
    ASSERT_TRUE(call);
    EXPECT_EQ(heard.texts, (std::vector<std::string>{"first", "second"}));
    ASSERT_EQ(kyhostCallWarningCount(call.get()), 2);
    EXPECT_STREQ(kyhostCallWarning(call.get(), 0), "first");
    EXPECT_STREQ(kyhostCallWarning(call.get(), 1), "second");
    EXPECT_EQ(kyhostCallWarning(call.get(), 2), nullptr);
    EXPECT_EQ(*static_cast<const double*>(kyhostArrayData(kyhostCallResult(call.get(), 0))), 42);
}

TEST(EmbedApi, ACallbackCanStopTheCallAtAWarning)
{
    Heard heard;
    heard.stopAt = 0;
    const CallRecord call = runProbe("warn-twice", nullptr, 1, listen, &heard);
    ASSERT_TRUE(call);
    EXPECT_EQ(heard.texts, (std::vector<std::string>{"first"}));
    EXPECT_STREQ(kyhostCallError(call.get()), "Call stopped by the caller at a warning: first");
    EXPECT_EQ(kyhostCallResult(call.get(), 0), nullptr);
}

TEST(EmbedApi, AFailingCallFreesEverythingAndGivesTheExactText)
{
    for (const auto& [action, message] :
         {std::pair<std::string, std::string>{"fail-after-allocating", "probe: failed on purpose"},
          {"throw-std", "The call ended with an unexpected exception: plain C++ exception"},
          {"call-unknown", "Undefined host function 'nosuchfunction'."}}) {
        const CallRecord call = runProbe(action);
        ASSERT_TRUE(call);
        EXPECT_STREQ(kyhostCallError(call.get()), message.c_str());
        EXPECT_EQ(kyhostCallResult(call.get(), 0), nullptr);
        EXPECT_EQ(kyhostCallTakeResult(call.get(), 0), nullptr);
    }
}

// A function linked into the program: kyCalloc memory of the call, a
// warning, a result, and an error when given an input.
void linkedEntry(int, kyArray* outputs[], int inputCount, const kyArray*[])
{
    auto* block = static_cast<double*>(kyCalloc(1000, sizeof(double)));
    kyxWarnMsgTxt("linked");
    if (inputCount > 0) kyxErrMsgTxt("linked: failed on purpose");
    outputs[0] = kyCreateDoubleMatrix(1, 1, kyREAL);
    kyGetPr(outputs[0])[0] = block[999] + 7;
}

TEST(EmbedApi, LinkedFunctionsRunAsPluginsDo)
{
    const kyhostFunction* linked = kyhost::linkedFunction(&linkedEntry, "linked test");
    ASSERT_NE(linked, nullptr);
    EXPECT_EQ(linked, kyhost::linkedFunction(&linkedEntry, "linked test"));
    EXPECT_STREQ(kyhostFunctionLibrary(linked), "");
    const CallRecord call(kyhostRun(linked, 1, 0, nullptr, nullptr, nullptr));
    ASSERT_TRUE(call);
    EXPECT_EQ(kyhostCallError(call.get()), nullptr);
    EXPECT_STREQ(kyhostCallWarning(call.get(), 0), "linked");
    EXPECT_EQ(*static_cast<const double*>(kyhostArrayData(kyhostCallResult(call.get(), 0))), 7);
    const OwnedArray input = text("x");
    const kyArray* inputs[] = {input.get()};
    const CallRecord failed(kyhostRun(linked, 1, 1, inputs, nullptr, nullptr));
    ASSERT_TRUE(failed);
    EXPECT_STREQ(kyhostCallError(failed.get()), "linked: failed on purpose");
    EXPECT_EQ(kyhost::linkedFunction(nullptr, "none"), nullptr);
}

int callFromInside(const char*, void* userData)
{
    const kyArray* none[] = {nullptr};
    *static_cast<kyhostCall**>(userData) = kyhostRun(kyhostFind("sparse"), 1, 0, none, nullptr, nullptr);
    return 0;
}

TEST(EmbedApi, MistakesInARunAreReportedNotThrown)
{
    EXPECT_EQ(kyhostRun(nullptr, 1, 0, nullptr, nullptr, nullptr), nullptr);
    EXPECT_STREQ(kyhostLastError(), "No function given.");
    EXPECT_EQ(kyhostRun(probe(), 65, 0, nullptr, nullptr, nullptr), nullptr);
    const kyArray* holes[] = {nullptr};
    EXPECT_EQ(kyhostRun(probe(), 1, 1, holes, nullptr, nullptr), nullptr);
    EXPECT_STREQ(kyhostLastError(), "Input 1 is null.");

    kyhostCall* inner = reinterpret_cast<kyhostCall*>(1);
    const CallRecord outer = runProbe("warn-twice", nullptr, 1, callFromInside, &inner);
    ASSERT_TRUE(outer);
    EXPECT_EQ(inner, nullptr);  // one call at a time
    EXPECT_NE(std::string(kyhostLastError()).find("one call at a time"), std::string::npos);
}

// Four threads calling at once: each call either runs alone and gives the
// right answer or is refused at once with a clear error; arrays made while
// another thread's call runs are refused too, never put on that call's
// books (which freed them under their owner).
TEST(EmbedApi, ConcurrentCallsFromFourThreadsAreRunOrRefusedCleanly)
{
    const kyhostFunction* sweeptri = kyhostFind("sweeptri");
    ASSERT_NE(sweeptri, nullptr) << kyhostLastError();
    std::vector<double> xs, ys;
    for (int i = 0; i < 60; ++i)
        for (int j = 0; j < 60; ++j) {
            xs.push_back(i + 0.001 * j * j);
            ys.push_back(j + 0.001 * i * i);
        }
    const OwnedArray x(kyhostBorrowDouble(1, static_cast<int32_t>(xs.size()), xs.data()));
    const OwnedArray y(kyhostBorrowDouble(1, static_cast<int32_t>(ys.size()), ys.data()));
    const CallRecord alone(kyhostRun(sweeptri, 1, 2, std::vector<const kyArray*>{x.get(), y.get()}.data(), nullptr,
                                     nullptr));
    ASSERT_TRUE(alone && !kyhostCallError(alone.get()));
    const int32_t rows = kyhostArrayRows(kyhostCallResult(alone.get(), 0));

    std::atomic<int> ran{0}, refused{0}, wrong{0};
    const auto work = [&] {
        const kyArray* inputs[] = {x.get(), y.get()};
        for (int k = 0; k < 40; ++k) {
            if (kyArray* scratch = kyhostCopyDouble(1, 3, xs.data(), 8, 24)) {
                kyhostFreeArray(scratch);
            } else if (std::string(kyhostLastError()).find("already running") == std::string::npos) {
                ++wrong;
            }
            const CallRecord call(kyhostRun(sweeptri, 1, 2, inputs, nullptr, nullptr));
            if (!call) {
                ++(std::string(kyhostLastError()).find("already running on another thread") != std::string::npos
                       ? refused
                       : wrong);
                continue;
            }
            ++ran;
            if (kyhostCallError(call.get()) || kyhostArrayRows(kyhostCallResult(call.get(), 0)) != rows) ++wrong;
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) threads.emplace_back(work);
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GT(ran.load(), 0);
    EXPECT_EQ(ran.load() + refused.load(), 160);
}

}  // namespace
