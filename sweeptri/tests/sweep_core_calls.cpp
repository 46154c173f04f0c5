#include "sweep_core_calls.hpp"

#include <algorithm>

#include "call_context.hpp"
#include "certified_sweep.hpp"
#include "plugin_testing.hpp"
#include "record_pool.hpp"
#include "site_order.hpp"
#include "sweep_state.hpp"
#include "triangle_buffer.hpp"
#include "triangulate_call.hpp"

namespace sweeptri::testing {

Triangulation sweepInGivenOrder(const std::vector<double>& x, const std::vector<double>& y)
{
    Triangulation result;
    ky::CallScope call([&](const std::string& text) { result.warnings.push_back(text); });
    try {
        const auto n = static_cast<std::int32_t>(x.size());
        collinearWarned = false;
        triangleCount = 0;
        siteCount = n;
        triangleCapacity = 2 * n + 100;
        kyArray* buffer = createTriangleBuffer(triangleCapacity);
        initPool(sitePool, sizeof(Site));
        siteArray = static_cast<Site*>(kyCalloc(x.size(), sizeof(Site)));
        copySites(x.data(), y.data(), siteArray, n);
        if (findRepeatedSite(siteArray, n) >= 0) {
            result.error = "x-y data must be unique";
            return result;
        }
        sweepSiteArray();
        trimTriangleBuffer(buffer, triangleCapacity, triangleCount);
        const double* rows = kyGetPr(buffer);
        for (std::int32_t i = 0; i < triangleCount; ++i)
            result.rows.push_back(Row{static_cast<int>(rows[i]), static_cast<int>(rows[triangleCount + i]),
                                      static_cast<int>(rows[2 * triangleCount + i])});
    } catch (const ky::CallError& error) {
        result.error = error.what();
    }
    return result;
}

namespace {

void coreEntry(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[])
{
    triangulateCall(outputCount, outputs, inputCount, inputs);
}

}  // namespace

Triangulation callCore(const std::vector<double>& x, const std::vector<double>& y, bool certify)
{
    certificateEnabled = certify;
    const auto xs = ky::testing::row(x);
    const auto ys = ky::testing::row(y);
    ky::CallOutcome outcome = ky::testing::call(coreEntry, 1, {xs.get(), ys.get()});
    certificateEnabled = true;
    Triangulation result;
    result.warnings = std::move(outcome.warnings);
    result.error = std::move(outcome.error);
    if (outcome.result) {
        const std::vector<double> values = ky::testing::values(outcome.result.get());
        const auto m = static_cast<std::size_t>(outcome.result->m);
        for (std::size_t i = 0; i < m; ++i)
            result.rows.push_back(Row{static_cast<int>(values[i]), static_cast<int>(values[m + i]),
                                      static_cast<int>(values[2 * m + i])});
    }
    return result;
}

HullCycle hullOf(const std::vector<double>& x, const std::vector<double>& y)
{
    std::vector<Site> sites;
    for (std::size_t i = 0; i < x.size(); ++i) sites.push_back(Site{x[i], y[i], static_cast<std::int32_t>(i), 0});
    std::sort(sites.begin(), sites.end(), [](const Site& a, const Site& b) { return compareSites(a, b) < 0; });
    return findHullCycle(sites.data(), static_cast<std::int32_t>(sites.size()));
}

}  // namespace sweeptri::testing
