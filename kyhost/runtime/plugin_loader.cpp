#include "plugin_loader.hpp"

#include <dlfcn.h>

#include <cstdlib>
#include <map>
#include <system_error>

#include "host_functions.hpp"

namespace ky {

const char* const pluginSuffix = ".so";

std::filesystem::path hostPluginDir()
{
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&hostPluginDir), &self) == 0 || self.dli_fname == nullptr)
        return "lib/kyhost/plugins";
    std::error_code error;
    const std::filesystem::path library = std::filesystem::canonical(self.dli_fname, error);
    if (error) return "lib/kyhost/plugins";
    return library.parent_path() / "kyhost" / "plugins";
}

std::vector<std::filesystem::path> pluginSearchPath(const std::filesystem::path& ownPluginDir)
{
    std::vector<std::filesystem::path> directories{ownPluginDir};
    if (const char* extra = std::getenv("KYHOST_PATH")) {
        std::string list = extra;
        std::size_t start = 0;
        while (start <= list.size()) {
            const std::size_t end = std::min(list.find(':', start), list.size());
            if (end > start) directories.emplace_back(list.substr(start, end - start));
            start = end + 1;
        }
    }
    return directories;
}

bool looksLikePath(const std::string& text)
{
    const std::string suffix = pluginSuffix;
    return text.find('/') != std::string::npos ||
           (text.size() > suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0);
}

std::optional<std::filesystem::path> findPlugin(const std::string& name,
                                                const std::vector<std::filesystem::path>& directories)
{
    for (const auto& directory : directories) {
        const std::filesystem::path candidate = directory / (name + pluginSuffix);
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) return candidate;
    }
    return std::nullopt;
}

kyxFunctionType loadPlugin(const std::filesystem::path& library)
{
    static std::map<std::string, kyxFunctionType> loaded;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(library, error);
    const std::string key = error ? library.string() : absolute.lexically_normal().string();
    if (auto found = loaded.find(key); found != loaded.end()) return found->second;

    if (!std::filesystem::exists(library, error))
        throw LoadError("cannot load plug-in '" + library.string() + "': no such file");
    if (!std::filesystem::is_regular_file(library, error))
        throw LoadError("cannot load plug-in '" + library.string() + "': not a regular file");
    // dlopen searches the library path for names without a slash; a file
    // argument is always meant as a file.
    const std::string path = key.find('/') == std::string::npos ? "./" + key : key;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        throw LoadError("cannot load plug-in '" + library.string() + "': " + (reason ? reason : "unknown error"));
    }
    dlerror();
    void* symbol = dlsym(handle, "kyxFunction");
    if (symbol == nullptr) {
        dlclose(handle);
        throw LoadError("'" + library.string() + "' is not a plug-in: it does not export kyxFunction");
    }
    auto entry = reinterpret_cast<kyxFunctionType>(symbol);
    loaded.emplace(key, entry);
    return entry;
}

FoundFunction findFunction(const std::string& name)
{
    if (looksLikePath(name)) return {loadPlugin(name), name};
    const auto directories = pluginSearchPath(hostPluginDir());
    if (const auto library = findPlugin(name, directories)) return {loadPlugin(*library), *library};
    if (const HostFunction function = findHostFunction(name)) return {function, {}};
    std::string searched;
    for (const auto& directory : directories) searched += "\n  " + directory.string();
    throw LoadError("unknown function '" + name + "': no plug-in " + name + pluginSuffix +
                    " in the plug-in directories and no host function of that name; searched:" + searched);
}

}  // namespace ky
