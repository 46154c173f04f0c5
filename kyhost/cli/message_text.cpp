#include "message_text.hpp"

namespace ky {

std::string escapeControls(std::string_view text)
{
    constexpr std::size_t longest = 200;
    const bool cut = text.size() > longest;
    if (cut) text = text.substr(0, longest);
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\0': out += "\\0"; break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                constexpr char hex[] = "0123456789abcdef";
                out += "\\x";
                out.push_back(hex[byte >> 4]);
                out.push_back(hex[byte & 15]);
            } else {
                out.push_back(c);
            }
        }
    }
    if (cut) out += "...";
    return out;
}

std::string inQuotes(std::string_view text) { return "'" + escapeControls(text) + "'"; }

}  // namespace ky
