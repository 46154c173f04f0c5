// Times the threaded sweep against the plug-in on the same points, one call
// at a time on one thread: the plug-in through the stand-in host, the
// threaded core linked into this program, and the threaded core in a
// shared module loaded at run time (as the Python module holds it, where
// its per-thread state is reached through the dynamic TLS model). The
// calls alternate; the medians are printed, and every run's rows are
// compared with the plug-in's.
//
// Usage: sweeptri_threaded_bench [N [REPEATS]]   (default: 10^6 points, 5 runs)
#include <dlfcn.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "call_runner.hpp"
#include "host_array.hpp"
#include "plugin_loader.hpp"
#include "threaded_sweep.hpp"

namespace {

using ModuleEntry = void (*)(const double*, const double*, std::int32_t, std::vector<std::int32_t>*);

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Times {
    std::vector<double> wall, user, system;
};

double secondsOf(const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec); }

template <typename F>
void timeInto(Times& times, F&& f)
{
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    f();
    times.wall.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    getrusage(RUSAGE_SELF, &after);
    times.user.push_back(secondsOf(after.ru_utime) - secondsOf(before.ru_utime));
    times.system.push_back(secondsOf(after.ru_stime) - secondsOf(before.ru_stime));
}

void print(const char* what, const Times& times, double baseline)
{
    const double wall = median(times.wall);
    std::printf("%-38s %8.4f s wall %8.4f s user %8.4f s sys  %.3fx\n", what, wall, median(times.user),
                median(times.system), wall / baseline);
}

}  // namespace

int main(int argc, char** argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) {
        x[i] = unit(random);
        y[i] = unit(random);
    }

    const kyxFunctionType plugin = ky::loadPlugin(std::string(SWEEPTRI_PLUGIN_DIR) + "/sweeptri" + ky::pluginSuffix);
    void* module = dlopen(SWEEPTRI_THREADED_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    const auto moduleEntry = reinterpret_cast<ModuleEntry>(dlsym(module, "sweeptriThreadedBenchEntry"));
    if (moduleEntry == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    ky::ArrayHandle xs(ky::createDouble(1, n)), ys(ky::createDouble(1, n));
    std::copy(x.begin(), x.end(), static_cast<double*>(xs->data));
    std::copy(y.begin(), y.end(), static_cast<double*>(ys->data));
    const kyArray* inputs[] = {xs.get(), ys.get()};

    Times plugged, linkedIn, loaded;
    std::size_t rows = 0;
    for (int r = 0; r < repeats; ++r) {
        std::vector<std::int32_t> expected;
        timeInto(plugged, [&] {
            const ky::CallOutcome outcome = ky::runCall(plugin, 1, inputs);
            if (outcome.error) {
                std::fprintf(stderr, "plug-in failed: %s\n", outcome.error->c_str());
                std::exit(1);
            }
            const auto m = static_cast<std::size_t>(outcome.result->m);
            const auto* values = static_cast<const double*>(outcome.result->data);
            expected.resize(3 * m);
            for (std::size_t i = 0; i < m; ++i)
                for (std::size_t c = 0; c < 3; ++c)
                    expected[3 * i + c] = static_cast<std::int32_t>(values[c * m + i]) - 1;
        });
        rows = expected.size() / 3;
        sweeptri::threaded::SweepRows linked;
        timeInto(linkedIn, [&] { linked = sweeptri::threaded::triangulate(x.data(), y.data(), n); });
        std::vector<std::int32_t> fromModule;
        timeInto(loaded, [&] { moduleEntry(x.data(), y.data(), n, &fromModule); });
        if (linked.corners != expected || fromModule != expected) {
            std::fprintf(stderr, "rows differ from the plug-in's in run %d\n", r);
            return 1;
        }
    }
    // The plug-in's time includes the copy of its rows to 0-based integers,
    // as the threaded core's does.
    const double baseline = median(plugged.wall);
    std::printf("%d points, %zu rows, medians of %d alternating runs\n", n, rows, repeats);
    print("plug-in (host call, rows copied out)", plugged, baseline);
    print("threaded core, linked in", linkedIn, baseline);
    print("threaded core, loaded module", loaded, baseline);
    return 0;
}
