#include "triangulation_source.hpp"

#include <stdexcept>
#include <string>

#include "call_runner.hpp"
#include "plugin_loader.hpp"

namespace nearwalk::bench {

Triangulation triangulate(const kyArray* x, const kyArray* y)
{
    const kyxFunctionType sweeptri =
        ky::loadPlugin(std::string(NEARWALK_BENCH_PLUGIN_DIR) + "/sweeptri" + ky::pluginSuffix);
    const kyArray* inputs[] = {x, y};
    ky::CallOutcome outcome = ky::runCall(sweeptri, 1, inputs);
    if (outcome.error) throw std::runtime_error("sweeptri failed: " + *outcome.error);
    return {std::move(outcome.result), outcome.seconds};
}

}  // namespace nearwalk::bench
