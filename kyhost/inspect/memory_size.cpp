#include "memory_size.hpp"

#include <cctype>
#include <cstdio>
#include <limits>

namespace ky::inspect {

std::optional<std::uint64_t> parseMemorySize(const std::string& text)
{
    std::size_t i = 0;
    std::uint64_t value = 0;
    constexpr std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (value > (most - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (i == 0) return std::nullopt;
    std::string unit = text.substr(i);
    for (char& c : unit) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    int shift = 0;
    if (!unit.empty() && unit != "B") {
        const std::string prefixes = "KMGT";
        const std::size_t at = prefixes.find(unit[0]);
        if (at == std::string::npos) return std::nullopt;
        const std::string rest = unit.substr(1);
        if (!rest.empty() && rest != "B" && rest != "IB") return std::nullopt;
        shift = 10 * static_cast<int>(at + 1);
    }
    if (shift > 0 && value > (most >> shift)) return std::nullopt;
    return value << shift;
}

std::string memorySizeText(std::uint64_t bytes)
{
    const char* const units[] = {"KiB", "MiB", "GiB", "TiB"};
    if (bytes < 1024) return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

}  // namespace ky::inspect
