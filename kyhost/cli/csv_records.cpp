#include "csv_records.hpp"

#include "usage_error.hpp"

namespace ky {

namespace {

constexpr std::string_view byteOrderMark("\xEF\xBB\xBF", 3);

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

}  // namespace

std::string separatorName(char separator)
{
    if (separator == ' ') return "space";
    return separator == '\t' ? std::string("tab") : "'" + std::string(1, separator) + "'";
}

CsvRecords::CsvRecords(std::string text, std::string name, char separator, bool commaIsDecimal)
    : text_(std::move(text)), name_(std::move(name)), separator_(separator)
{
    if (std::string_view(text_).starts_with(byteOrderMark)) pos_ = byteOrderMark.size();
    if (separator_ == 0) findSeparator(commaIsDecimal);
}

void CsvRecords::findSeparator(bool commaIsDecimal)
{
    bool comma = false, semicolon = false, tab = false, inQuotes = false;
    for (std::size_t i = pos_; i < text_.size(); ++i) {
        const char c = text_[i];
        if (c == '"') inQuotes = !inQuotes;
        if (inQuotes) continue;
        if (isLineEnd(c)) break;
        comma |= c == ',' && !commaIsDecimal;
        semicolon |= c == ';';
        tab |= c == '\t';
    }
    if (comma && semicolon)
        failAt(1, 0,
               "cannot tell the separator: the first line holds both ',' and ';' (choose one by ending the "
               "argument in #sep=comma, #sep=semicolon or #sep=tab, or for numbers with a decimal comma, as "
               "in 1,5, in #decimal=comma)");
    separator_ = comma ? ',' : semicolon ? ';' : tab ? '\t' : commaIsDecimal ? ';' : ',';
    separatorFound_ = comma || semicolon || tab;
}

void CsvRecords::failAt(std::size_t line, std::size_t column, const std::string& what) const
{
    throw UsageError(name_ + ":" + std::to_string(line) + ": " +
                     (column > 0 ? "column " + std::to_string(column) + ": " : std::string()) + what);
}

void CsvRecords::fail(std::size_t column, const std::string& what) const { failAt(recordLine_, column, what); }

bool CsvRecords::atBlankLine() const
{
    for (std::size_t i = pos_; i < text_.size() && !isLineEnd(text_[i]); ++i)
        if (text_[i] != ' ' && text_[i] != '\t') return false;
    return true;
}

bool CsvRecords::next()
{
    fields_.clear();
    quoted_.clear();
    if (pos_ >= text_.size()) return false;
    if (atBlankLine()) {
        const std::size_t blankLine = lineAtPos_;
        while (pos_ < text_.size() && atBlankLine()) {
            while (pos_ < text_.size() && !isLineEnd(text_[pos_])) ++pos_;
            if (pos_ < text_.size()) {
                if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
                ++pos_;
                ++lineAtPos_;
            }
        }
        if (pos_ >= text_.size()) return false;
        failAt(blankLine, 0, "empty line inside the data");
    }
    readRecord();
    return true;
}

void CsvRecords::readRecord()
{
    recordLine_ = lineAtPos_;
    const std::size_t size = text_.size();
    while (true) {
        const std::size_t column = fields_.size() + 1;
        while (pos_ < size && isBlank(text_[pos_])) ++pos_;
        if (pos_ < size && text_[pos_] == '"') {
            // Unquote in place: the field's text can only get shorter.
            const std::size_t openLine = lineAtPos_;
            const std::size_t start = pos_;
            std::size_t read = pos_ + 1, write = start;
            while (true) {
                if (read >= size) failAt(openLine, column, "the quote opened on this line is never closed");
                const char c = text_[read];
                if (c == '"') {
                    if (read + 1 < size && text_[read + 1] == '"') {
                        text_[write++] = '"';
                        read += 2;
                        continue;
                    }
                    ++read;
                    break;
                }
                if (c == '\n' || (c == '\r' && (read + 1 >= size || text_[read + 1] != '\n'))) ++lineAtPos_;
                text_[write++] = c;
                ++read;
            }
            fields_.emplace_back(text_.data() + start, write - start);
            quoted_.push_back(true);
            pos_ = read;
            while (pos_ < size && isBlank(text_[pos_])) ++pos_;
            if (separator_ == ' ' && pos_ > read && pos_ < size && !isLineEnd(text_[pos_])) continue;
            if (pos_ < size && text_[pos_] != separator_ && !isLineEnd(text_[pos_]))
                failAt(lineAtPos_, column, "unexpected text after the closing quote");
        } else {
            const std::size_t start = pos_;
            while (pos_ < size && !isSeparator(text_[pos_]) && !isLineEnd(text_[pos_])) ++pos_;
            std::size_t end = pos_;
            while (end > start && isBlank(text_[end - 1])) --end;
            fields_.emplace_back(text_.data() + start, end - start);
            quoted_.push_back(false);
        }
        if (pos_ < size && isSeparator(text_[pos_])) {
            ++pos_;
            if (separator_ != ' ') continue;
            // Blank-separated: a run of blanks is one separator, and blanks
            // before the line's end separate nothing.
            while (pos_ < size && isBlank(text_[pos_])) ++pos_;
            if (pos_ < size && !isLineEnd(text_[pos_])) continue;
        }
        if (pos_ < size) {  // a line end: "\r\n", "\n" or a lone "\r"
            if (text_[pos_] == '\r' && pos_ + 1 < size && text_[pos_ + 1] == '\n') ++pos_;
            ++pos_;
            ++lineAtPos_;
        }
        return;
    }
}

}  // namespace ky
