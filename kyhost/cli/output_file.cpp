#include "output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "message_text.hpp"
#include "usage_error.hpp"

namespace ky {

namespace {

// Large enough that writing a big result costs few system calls.
constexpr std::size_t bufferSize = std::size_t(1) << 20;

}  // namespace

OutputFile::OutputFile(int fd, std::string path, bool regular)
    : fd_(fd), path_(std::move(path)), regular_(regular),
      buffer_(std::make_unique_for_overwrite<char[]>(bufferSize)), capacity_(bufferSize)
{
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(other.fd_),
      path_(std::move(other.path_)),
      regular_(other.regular_),
      finished_(other.finished_),
      buffer_(std::move(other.buffer_)),
      capacity_(other.capacity_),
      used_(other.used_)
{
    other.fd_ = -1;
    other.finished_ = true;
    other.capacity_ = 0;
}

OutputFile OutputFile::standardOutput()
{
    // Whatever the C++ and C streams hold must go out first.
    std::cout.flush();
    std::fflush(stdout);
    return OutputFile(STDOUT_FILENO, {}, false);
}

OutputFile OutputFile::create(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw UsageError("cannot write " + inQuotes(path) + ": " + std::strerror(errno));
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    return OutputFile(fd, path, regular);
}

OutputFile::~OutputFile()
{
    if (finished_) return;
    if (!path_.empty() && fd_ >= 0) ::close(fd_);
    removePartial();
}

void OutputFile::removePartial() noexcept
{
    // A half-written regular file would pass for a result: take it away.
    if (regular_ && !path_.empty()) ::unlink(path_.c_str());
}

void OutputFile::failed(int error)
{
    throw UsageError("cannot write " + (path_.empty() ? std::string("standard output") : inQuotes(path_)) + ": " +
                     std::strerror(error));
}
void OutputFile::writeAll(const char* bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd_, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            failed(errno);
        }
        if (written == 0) failed(ENOSPC);
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
}

void OutputFile::drain()
{
    const std::size_t size = used_;
    used_ = 0;
    writeAll(buffer_.get(), size);
}

void OutputFile::write(std::string_view bytes)
{
    if (bytes.size() <= capacity_ - used_) {
        std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
        used_ += bytes.size();
        return;
    }
    drain();
    if (bytes.size() >= capacity_) {
        writeAll(bytes.data(), bytes.size());  // large blocks go out directly, uncopied
        return;
    }
    std::memcpy(buffer_.get(), bytes.data(), bytes.size());
    used_ = bytes.size();
}

void OutputFile::finish()
{
    drain();  // on failure the destructor removes the partial file
    if (!path_.empty()) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) {
            const int error = errno;
            removePartial();
            finished_ = true;
            failed(error);
        }
    }
    finished_ = true;
}

std::string checkStandardOutput()
{
    errno = 0;
    std::cout.flush();
    const bool streamFailed = !std::cout;
    const bool flushFailed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    if (!streamFailed && !flushFailed) return {};
    const int error = errno;
    return std::string("cannot write standard output") + (error != 0 ? std::string(": ") + std::strerror(error) : "");
}

}  // namespace ky
