// The threaded sweep against the plug-in it is built from: the same rows in
// the same order, the same collinear warning, the same refusals (as
// exceptions), and no call memory left behind.
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "call_arena.hpp"
#include "point_families.hpp"
#include "threaded_point_sets.hpp"
#include "threaded_sweep.hpp"
#include "triangulation_checks.hpp"

namespace {

using sweeptri::testing::Row;
namespace st = sweeptri::testing;
namespace threaded = sweeptri::threaded;

std::vector<Row> oneBased(const threaded::SweepRows& rows)
{
    std::vector<Row> out;
    for (std::size_t i = 0; i + 2 < rows.corners.size(); i += 3)
        out.push_back(Row{rows.corners[i] + 1, rows.corners[i + 1] + 1, rows.corners[i + 2] + 1});
    return out;
}

threaded::SweepRows callThreaded(const std::vector<double>& x, const std::vector<double>& y)
{
    return threaded::triangulate(x.data(), y.data(), static_cast<std::int32_t>(x.size()));
}

void expectSameAsPlugin(const std::string& name, const std::vector<double>& x, const std::vector<double>& y)
{
    SCOPED_TRACE(name);
    const st::Triangulation plugin = st::triangulate(x, y);
    ASSERT_FALSE(plugin.error) << *plugin.error;
    const threaded::SweepRows rows = callThreaded(x, y);
    EXPECT_EQ(rows.corners.size() % 3, 0u);
    EXPECT_EQ(oneBased(rows), plugin.rows);
    EXPECT_EQ(rows.collinearWarned, !plugin.warnings.empty());
    EXPECT_EQ(sweeptri::liveArenaBlocks(), 0u);
}

TEST(ThreadedSweepRows, EqualThePluginsOnEveryKindOfSet)
{
    for (const auto& set : st::threadedSweepSets(20000)) expectSameAsPlugin(set.name, set.x, set.y);
}

// The families on which the plain sweep goes wrong take the certificate's
// repairs and the exact recomputation, each with its own call memory.
TEST(ThreadedSweepRows, EqualThePluginsWhereTheSweepIsRepairedOrRecomputed)
{
    for (const auto& set : st::families(100)) expectSameAsPlugin(set.name, set.x, set.y);
    for (const auto& set : st::hardShapes(st::hardShapeSize, 7)) expectSameAsPlugin(set.name, set.x, set.y);
}

TEST(ThreadedSweepRows, CollinearWarningIsReportedPerCall)
{
    const std::vector<double> lineX{0, 1, 2, 3, 4, 5}, lineY(6, 0.0);
    EXPECT_TRUE(callThreaded(lineX, lineY).collinearWarned);
    const std::vector<double> x{0, 1, 0, 1}, y{0, 0, 1, 1.5};
    EXPECT_FALSE(callThreaded(x, y).collinearWarned);  // not left over from the call before
}

TEST(ThreadedSweepErrors, RepeatedPointsThrowInvalidArgumentAndFreeTheCallsMemory)
{
    st::NamedPoints set = st::threadedSweepSets(5000).front();
    set.x.push_back(set.x[17]);
    set.y.push_back(set.y[17]);
    try {
        callThreaded(set.x, set.y);
        ADD_FAILURE() << "no exception";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "x-y data must be unique");
    }
    EXPECT_EQ(sweeptri::liveArenaBlocks(), 0u);
    // -0.0 and 0.0 are the same coordinate, as in the plug-in.
    const std::vector<double> x{0.0, 1, -0.0}, y{1, 2, 1};
    EXPECT_THROW(callThreaded(x, y), std::invalid_argument);
    // The next call on the thread starts afresh.
    set.x.pop_back();
    set.y.pop_back();
    expectSameAsPlugin("after a refusal", set.x, set.y);
}

TEST(ThreadedSweepErrors, OtherRefusalsThrowRuntimeErrorWithThePluginsMessage)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> x{0, nan, 1}, y{0, 1, 2};
    try {
        callThreaded(x, y);
        ADD_FAILURE() << "no exception";
    } catch (const std::invalid_argument&) {
        ADD_FAILURE() << "not a refusal of repeated points";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), *st::triangulate(x, y).error);
    }
    EXPECT_EQ(sweeptri::liveArenaBlocks(), 0u);
    EXPECT_THROW(threaded::triangulate(nullptr, nullptr, -1), std::invalid_argument);
}

}  // namespace
