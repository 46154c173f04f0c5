#include "plugin_listing.hpp"

#include <algorithm>
#include <set>
#include <system_error>

#include "plugin_loader.hpp"

namespace ky {

std::vector<ListedPlugin> listPlugins(const std::vector<std::filesystem::path>& directories)
{
    const std::string suffix = pluginSuffix;
    std::vector<ListedPlugin> found;
    std::set<std::string> names;
    for (const auto& directory : directories) {
        std::error_code error;
        std::vector<ListedPlugin> here;
        for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
             entry.increment(error)) {
            const std::string file = entry->path().filename().string();
            if (file.size() <= suffix.size() || !file.ends_with(suffix)) continue;
            std::error_code notFile;
            if (!entry->is_regular_file(notFile)) continue;
            const std::string name = file.substr(0, file.size() - suffix.size());
            if (!names.contains(name)) here.push_back({name, entry->path()});
        }
        for (const ListedPlugin& plugin : here) names.insert(plugin.name);
        found.insert(found.end(), here.begin(), here.end());
    }
    std::sort(found.begin(), found.end(), [](const ListedPlugin& a, const ListedPlugin& b) { return a.name < b.name; });
    return found;
}

std::optional<std::string_view> knownCallForm(std::string_view name)
{
    struct Form {
        std::string_view name, form;
    };
    static constexpr Form forms[] = {
        {"sweeptri", "TRI = sweeptri(X, Y[, \"sorted\"])"},
        {"nearwalk", "K = nearwalk(X, Y, TRI, XI, YI[, S])"},
        {"byteappend", "COUNT = byteappend(FILENAME, DATA)"},
        {"trinterp", "ZI = trinterp(X, Y, Z, TRI, XI, YI[, METHOD])"},
        {"sparse", "S = sparse(I, J, V, NR, NC)"},
    };
    for (const Form& known : forms)
        if (known.name == name) return known.form;
    return std::nullopt;
}

std::string pluginListingHelp(const std::vector<std::filesystem::path>& directories)
{
    std::string text = "Plug-ins found:\n";
    const std::vector<ListedPlugin> plugins = listPlugins(directories);
    if (plugins.empty()) text += "  (none)\n";
    // The libraries in one column, after the longest call form.
    std::size_t width = 40;
    for (const ListedPlugin& plugin : plugins)
        width = std::max(width, knownCallForm(plugin.name).value_or(plugin.name).size() + 2);
    for (const ListedPlugin& plugin : plugins) {
        const std::string form(knownCallForm(plugin.name).value_or(plugin.name));
        text += "  " + form + std::string(width - form.size(), ' ') + plugin.library.string() + "\n";
    }
    text += "Host function:\n  " + std::string(*knownCallForm("sparse")) + "\n";
    text += "Plug-in directories searched, in order:\n";
    for (const auto& directory : directories) text += "  " + directory.string() + "\n";
    return text;
}

}  // namespace ky
