#include "npy_source.hpp"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "message_text.hpp"
#include "number_text.hpp"
#include "usage_error.hpp"

namespace ky {

namespace {

std::string shapeText(const std::vector<long long>& shape)
{
    std::string text = "(";
    for (std::size_t k = 0; k < shape.size(); ++k) text += (k > 0 ? ", " : "") + std::to_string(shape[k]);
    return text + (shape.size() == 1 ? ",)" : ")");
}

}  // namespace

std::string npyHashHint(const NpySource& source)
{
    if (source.value == source.path) return {};
    std::error_code error;
    if (!std::filesystem::exists(source.value, error)) return {};
    return " (" + inQuotes(source.value) + " exists: a path that holds '#' is written with a '#' at its end)";
}

NpySource parseNpySource(const std::string& value)
{
    NpySource source;
    source.value = value;
    const std::size_t hash = value.rfind('#');
    source.path = value.substr(0, hash);
    if (hash == std::string::npos) return source;
    std::string_view selector = std::string_view(value).substr(hash + 1);
    std::string chosen;
    while (!selector.empty()) {
        const std::size_t comma = selector.find(',');
        const std::string_view item = trimBlanks(selector.substr(0, comma));
        selector = comma == std::string_view::npos ? std::string_view() : selector.substr(comma + 1);
        if (item.empty()) continue;
        if (item.starts_with("sep=") || item.starts_with("decimal=") || item.starts_with("empty="))
            throw UsageError(inQuotes("npy:" + value) + ": " + inQuotes(item) +
                             " is for CSV files; npy: takes only a column number, as npy:xy.npy#1" +
                             npyHashHint(source));
        if (!chosen.empty())
            throw UsageError(inQuotes("npy:" + value) + ": choose one column only, not " + inQuotes(chosen) + " and " +
                             inQuotes(item));
        chosen = std::string(item);
        const bool digits = std::all_of(chosen.begin(), chosen.end(), [](char c) { return c >= '0' && c <= '9'; });
        const std::optional<long long> number = digits ? parseCount(chosen, INT32_MAX) : std::nullopt;
        if (!number || *number < 1)
            throw UsageError(inQuotes("npy:" + value) + ": " + inQuotes(item) +
                             " is not a column number; the columns of a .npy array have no names and are "
                             "numbered from 1, as npy:xy.npy#1 and npy:xy.npy#2" + npyHashHint(source));
        source.column = static_cast<std::size_t>(*number - 1);
    }
    return source;
}

std::size_t checkNpyColumn(const NpySource& source, const std::vector<long long>& shape)
{
    const std::size_t column = source.column.value_or(0);
    const std::string name = inQuotes(source.path);
    if (shape.size() != 2)
        throw UsageError(name + " holds a " + std::to_string(shape.size()) + "-D array (shape " + shapeText(shape) +
                         "); a column (#" + std::to_string(column + 1) +
                         ") is chosen from a 2-D array of shape (n, k) only" +
                         (shape.size() < 2 ? "; give it without '#' to read it whole" : ""));
    if (column >= static_cast<std::size_t>(shape[1]))
        throw UsageError(name + " has no column " + std::to_string(column + 1) + ": its shape is " + shapeText(shape) +
                         (shape[1] == 0 ? std::string(", so it has no columns")
                                        : ", so its columns are numbered 1 to " + std::to_string(shape[1])));
    return column;
}

}  // namespace ky
