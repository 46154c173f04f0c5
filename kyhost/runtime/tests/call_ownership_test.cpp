// The host's call machinery through a real plug-in library: ownership,
// warnings and errors. The sanitizer build also shows that nothing leaks
// when a call ends in an error.
#include <gtest/gtest.h>

#include "call_context.hpp"
#include "plugin_loader.hpp"
#include "plugin_testing.hpp"

namespace {

using namespace ky::testing;

kyxFunctionType probe() { return ky::loadPlugin(KY_PROBE_PLUGIN); }

ky::CallOutcome runProbe(const std::string& action, const kyArray* second = nullptr, int outputs = 1)
{
    ky::ArrayHandle name = text(action);
    if (second == nullptr) return call(probe(), outputs, {name.get()});
    return call(probe(), outputs, {name.get(), second});
}

TEST(CallOwnership, ErrorMidCallReclaimsEverythingAndReportsTheMessage)
{
    const ky::CallOutcome outcome = runProbe("fail-after-allocating");
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(*outcome.error, "probe: failed on purpose");
    EXPECT_FALSE(outcome.result);  // slot 0 was filled, but the call failed
    EXPECT_GT(outcome.peakBytes, 1000u);
    EXPECT_EQ(ky::currentCall(), nullptr);
}

TEST(CallOwnership, WarningsAreCollectedInOrderAndDoNotEndTheCall)
{
    std::vector<std::string> seen;
    ky::ArrayHandle name = text("warn-twice");
    const ky::CallOutcome outcome = ky::runCall(probe(), 1, std::vector<const kyArray*>{name.get()},
                                                [&](const std::string& w) { seen.push_back(w); });
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.warnings, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(seen, outcome.warnings);
    ASSERT_TRUE(outcome.result);
    EXPECT_EQ(values(outcome.result.get()), std::vector<double>{42});
}

TEST(CallOwnership, MisusedFreesEndTheCallWithAHostError)
{
    ky::ArrayHandle input = row({1, 2});
    for (const char* action : {"destroy-input", "free-foreign", "free-twice", "destroy-twice"}) {
        const ky::CallOutcome outcome = runProbe(action, input.get());
        ASSERT_TRUE(outcome.error) << action;
        EXPECT_NE(outcome.error->find(action[0] == 'd' ? "kyDestroyArray" : "kyFree"), std::string::npos)
            << *outcome.error;
    }
    EXPECT_EQ(values(input.get()), (std::vector<double>{1, 2}));  // the input survived
}

TEST(CallOwnership, ResultMustBelongToTheCall)
{
    const ky::CallOutcome destroyed = runProbe("return-destroyed");
    ASSERT_TRUE(destroyed.error);
    EXPECT_NE(destroyed.error->find("does not belong"), std::string::npos);

    // An input handed back is copied: the caller keeps its own array.
    ky::ArrayHandle input = row({7, 8});
    const ky::CallOutcome echoed = runProbe("echo", input.get());
    ASSERT_FALSE(echoed.error);
    EXPECT_NE(echoed.result.get(), input.get());
    EXPECT_EQ(values(echoed.result.get()), (std::vector<double>{7, 8}));
}

TEST(CallOwnership, ForeignExceptionsAndUnknownHostFunctionsEndOnlyTheCall)
{
    const ky::CallOutcome thrown = runProbe("throw-std");
    ASSERT_TRUE(thrown.error);
    EXPECT_NE(thrown.error->find("plain C++ exception"), std::string::npos);

    const ky::CallOutcome unknown = runProbe("call-unknown");
    ASSERT_TRUE(unknown.error);
    EXPECT_NE(unknown.error->find("nosuchfunction"), std::string::npos);
}

TEST(CallOwnership, HostFunctionResultReachesThePlugin)
{
    const ky::CallOutcome outcome = runProbe("sparse-identity");
    ASSERT_FALSE(outcome.error) << *outcome.error;
    const kyArray* s = outcome.result.get();
    ASSERT_EQ(s->arrayClass, ky::ArrayClass::Sparse);
    EXPECT_EQ(std::vector<int32_t>(s->jc, s->jc + 4), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(std::vector<int32_t>(s->ir, s->ir + 3), (std::vector<int32_t>{0, 1, 2}));
}

TEST(CallOwnership, SetRowsKeepsStorageAndRefusesToGrow)
{
    ky::ArrayHandle two = row({2});
    const ky::CallOutcome shrunk = runProbe("set-rows", two.get());
    ASSERT_FALSE(shrunk.error);
    EXPECT_EQ(shrunk.result->m, 2);
    EXPECT_EQ(shrunk.result->n, 2);

    ky::ArrayHandle five = row({5});
    const ky::CallOutcome grown = runProbe("set-rows", five.get());
    ASSERT_TRUE(grown.error);
    EXPECT_NE(grown.error->find("kySetM"), std::string::npos);
}

TEST(PluginLoader, ExplainsWhyALibraryCannotBeUsed)
{
    EXPECT_THROW(
        {
            try {
                ky::loadPlugin("/nonexistent/plugin.so");
            } catch (const ky::LoadError& e) {
                EXPECT_NE(std::string(e.what()).find("no such file"), std::string::npos);
                throw;
            }
        },
        ky::LoadError);
    EXPECT_THROW(
        {
            try {
                ky::loadPlugin(KY_NOT_A_PLUGIN);
            } catch (const ky::LoadError& e) {
                EXPECT_NE(std::string(e.what()).find("does not export kyxFunction"), std::string::npos);
                throw;
            }
        },
        ky::LoadError);
    // A file that is not a library at all.
    EXPECT_THROW(ky::loadPlugin(KY_TEST_SOURCE_DIR "/probe_plugin.cpp"), ky::LoadError);
}

}  // namespace

TEST(CallOwnership, BorrowedStorageIsReadInPlaceAndNeverFreed)
{
    // Column-major 2-by-2 over the caller's buffer: the plug-in sees the
    // caller's memory itself, an echoed result is an owned copy, and
    // destroying the array leaves the buffer alone (ASan would report a free
    // of stack memory otherwise).
    double buffer[4] = {1, 2, 3, 4};
    ky::ArrayHandle borrowed(ky::createBorrowed(ky::ArrayClass::Double, 2, 2, buffer));
    EXPECT_EQ(kyGetPr(borrowed.get()), buffer);
    const ky::CallOutcome echoed = runProbe("echo", borrowed.get());
    ASSERT_FALSE(echoed.error);
    EXPECT_NE(kyGetPr(echoed.result.get()), buffer);
    EXPECT_EQ(values(echoed.result.get()), (std::vector<double>{1, 2, 3, 4}));
    borrowed.reset();
    EXPECT_EQ(buffer[3], 4);

    std::int32_t jc[3] = {0, 1, 2}, ir[2] = {1, 0};
    double v[2] = {5, 6};
    ky::ArrayHandle sparse(ky::createBorrowedSparse(2, 2, jc, ir, v));
    EXPECT_EQ(kyGetJc(sparse.get()), jc);
    EXPECT_EQ(kyGetIr(sparse.get()), ir);
    EXPECT_THROW(ky::createBorrowed(ky::ArrayClass::Double, -1, 2, buffer), ky::CallError);
}
