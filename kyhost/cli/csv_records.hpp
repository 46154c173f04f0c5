// Splitting CSV text into records and fields the way spreadsheet programs
// write it: a byte-order mark at the start is skipped; lines end in "\n",
// "\r\n" or a lone "\r"; a field in double quotes may hold separators, line
// ends and doubled quotes (""); blanks around a field are dropped. The
// separator is ',', ';' or a tab, chosen by the caller or found on the
// first line, or ' ' when the caller chooses it: then any run of spaces
// and tabs separates fields.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ky {

class CsvRecords {
public:
    // separator 0: the first line decides (outside quotes): ',' and ';'
    // together are ambiguous and an error; otherwise ',' if present, else
    // ';' if present, else a tab if present, else ','. With commaIsDecimal
    // (numbers such as 1,5) ',' separates nothing: ';' if present, else a
    // tab if present, else ';'. name is the file's name in messages.
    CsvRecords(std::string text, std::string name, char separator, bool commaIsDecimal = false);

    // Moves to the next record; false when there is none. Blank lines at
    // the end are dropped; a blank line with data after it is an error.
    bool next();

    const std::vector<std::string_view>& fields() const { return fields_; }
    bool isQuoted(std::size_t field) const { return quoted_[field]; }
    // Line on which the current record starts (1-based).
    std::size_t line() const { return recordLine_; }
    char separator() const { return separator_; }
    bool separatorWasFound() const { return separatorFound_; }
    const std::string& name() const { return name_; }

    // Throws UsageError "NAME:LINE: what", or "NAME:LINE: column J: what"
    // when column (1-based) is not 0.
    [[noreturn]] void fail(std::size_t column, const std::string& what) const;
    [[noreturn]] void failAt(std::size_t line, std::size_t column, const std::string& what) const;

private:
    void findSeparator(bool commaIsDecimal);
    bool isBlank(char c) const { return c == ' ' || (c == '\t' && separator_ != '\t'); }
    // With the separator ' ', any blank (space or tab) separates.
    bool isSeparator(char c) const { return c == separator_ || (separator_ == ' ' && c == '\t'); }
    bool atBlankLine() const;
    void readRecord();

    std::string text_;
    std::string name_;
    char separator_;
    bool separatorFound_ = false;
    std::size_t pos_ = 0;
    std::size_t lineAtPos_ = 1;
    std::size_t recordLine_ = 0;
    std::vector<std::string_view> fields_;
    std::vector<bool> quoted_;
};

// How a separator is named to the user: "','", "';'" or "tab".
std::string separatorName(char separator);

}  // namespace ky
