// The shortest text that reads back as the same double, for messages.
#pragma once

#include <charconv>
#include <string>

namespace ky::inspect {

inline std::string shortestText(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

}  // namespace ky::inspect
