#include "number_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace ky {

std::string formatShortest(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

char* formatNumber(char* out, double value)
{
    constexpr double wholeLimit = 9007199254740992.0;  // 2^53
    if (value > -wholeLimit && value < wholeLimit && value == static_cast<double>(static_cast<long long>(value)) &&
        !(value == 0 && std::signbit(value)))
        return std::to_chars(out, out + maxNumberText, static_cast<long long>(value)).ptr;
    return std::to_chars(out, out + maxNumberText, value).ptr;
}

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::optional<double> parseDouble(std::string_view text)
{
    text = trimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // from_chars takes its own '-', never a '+'; a second sign is an error.
    if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Overflow and underflow read as the IEEE result of rounding.
        char* end = nullptr;
        const std::string copy(text);
        value = std::strtod(copy.c_str(), &end);
        if (end != copy.c_str() + copy.size()) return std::nullopt;
    } else if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<long long> parseCount(std::string_view text, long long limit)
{
    text = trimBlanks(text);
    long long value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || value < 0 || value > limit)
        return std::nullopt;
    return value;
}

}  // namespace ky
