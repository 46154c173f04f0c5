// Numbers as text: the shortest form that reads back to the same double,
// and strict parsing of numbers in data files and arguments.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ky {

// Shortest text that reads back to exactly this double ("1", "0.1",
// "1e+300", "inf", "-inf", "nan").
std::string formatShortest(double value);

// How results are printed: a whole number of magnitude below 2^53 as plain
// digits ("100000", "-3"; negative zero stays "-0"), anything else in the
// shortest form that reads back exactly. Writes at most maxNumberText
// characters at out and returns the end.
constexpr std::size_t maxNumberText = 32;
char* formatNumber(char* out, double value);

// Parses a whole field as a double: optional sign, decimal or exponent
// form, or inf / infinity / nan in any case; surrounding blanks allowed.
std::optional<double> parseDouble(std::string_view text);

// Parses a whole field as a non-negative integer no larger than limit.
std::optional<long long> parseCount(std::string_view text, long long limit);

// The text without leading and trailing blanks (spaces and tabs).
std::string_view trimBlanks(std::string_view text);

}  // namespace ky
