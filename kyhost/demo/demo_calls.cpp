#include "demo_calls.hpp"

namespace ky {

kyhost::CallRecord callDemoPlugin(const std::filesystem::path& pluginDir, const char* name,
                                  std::initializer_list<DemoMatrix> inputs, std::optional<std::string>& error)
{
    const std::filesystem::path library = pluginDir / (std::string(name) + ".so");
    const kyhostFunction* function = kyhostLoad(library.c_str());
    if (function == nullptr) {
        error = kyhostLastError();
        return nullptr;
    }
    std::vector<kyhost::OwnedArray> arrays;
    std::vector<const kyArray*> handles;
    for (const DemoMatrix& input : inputs) {
        arrays.emplace_back(kyhostBorrowDouble(input.m, input.n, input.values->data()));
        if (!arrays.back()) {
            error = kyhostLastError();
            return nullptr;
        }
        handles.push_back(arrays.back().get());
    }
    kyhost::CallRecord call(
        kyhostRun(function, 1, static_cast<int>(handles.size()), handles.data(), nullptr, nullptr));
    if (!call) error = kyhostLastError();
    return call;
}

void readCallRecord(const kyhostCall* call, std::vector<std::string>& warnings, std::optional<std::string>& error,
                    double& seconds)
{
    for (int k = 0; k < kyhostCallWarningCount(call); ++k) warnings.emplace_back(kyhostCallWarning(call, k));
    if (const char* text = kyhostCallError(call)) error = text;
    seconds = kyhostCallSeconds(call);
}

}  // namespace ky
