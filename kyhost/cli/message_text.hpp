// Text from files and the command line, made safe to show in a message.
#pragma once

#include <string>
#include <string_view>

namespace ky {

// The text with control bytes (and DEL) written as \t, \r, \n, \0 or \xHH
// and a backslash doubled, so that no raw control byte reaches the
// terminal. Texts longer than 200 bytes are cut there and end in "...".
std::string escapeControls(std::string_view text);

// escapeControls(text) in single quotes (named so that std::quoted is never picked instead).
std::string inQuotes(std::string_view text);

}  // namespace ky
