// Buffered output to a file descriptor in which every write and the close
// are checked: a result that cannot be written is an error, never a
// silent loss.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace ky {

class OutputFile {
public:
    // Standard output (not closed by finish, only flushed).
    static OutputFile standardOutput();
    // Creates or truncates path. Throws UsageError when it cannot be opened.
    static OutputFile create(const std::string& path);

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    // Closes without reporting; a file that was not finished is removed
    // when it is a regular file, so no truncated result is left behind.
    ~OutputFile();

    void write(std::string_view bytes);
    void put(char c)
    {
        if (used_ == capacity_) drain();
        buffer_[used_++] = c;
    }
    // Room for at least bytes characters at the end of the buffer; commit
    // then says how many were filled.
    char* reserve(std::size_t bytes)
    {
        if (capacity_ - used_ < bytes) drain();
        return buffer_.get() + used_;
    }
    void commit(std::size_t bytes) { used_ += bytes; }

    // Writes everything out and closes the file (standard output is only
    // flushed). Throws UsageError naming the file when any write, the
    // flush or the close failed.
    void finish();

private:
    OutputFile(int fd, std::string path, bool regular);
    void drain();
    void removePartial() noexcept;
    void writeAll(const char* bytes, std::size_t size);
    [[noreturn]] void failed(int error);

    int fd_;
    std::string path_;   // empty for standard output, which is never closed here
    bool regular_;       // a regular file that this object created or truncated
    bool finished_ = false;
    // Left uninitialised: a small result touches only the pages it fills.
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
};

// Flushes the C++ and C standard output streams and checks that everything
// written to them since the start arrived. Returns an error message when not.
std::string checkStandardOutput();

}  // namespace ky
