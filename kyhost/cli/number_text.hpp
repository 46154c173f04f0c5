// Numbers as text: the shortest form that reads back to the same double,
// and strict parsing of numbers in data files and arguments.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ky {

// Shortest text that reads back to exactly this double ("1", "0.1",
// "1e+300", "inf", "-inf", "nan").
std::string formatShortest(double value);

// Parses a whole field as a double: optional sign, decimal or exponent
// form, or inf / infinity / nan in any case; surrounding blanks allowed.
std::optional<double> parseDouble(std::string_view text);

// Parses a whole field as a non-negative integer no larger than limit.
std::optional<long long> parseCount(std::string_view text, long long limit);

// The text without leading and trailing blanks (spaces and tabs).
std::string_view trimBlanks(std::string_view text);

}  // namespace ky
