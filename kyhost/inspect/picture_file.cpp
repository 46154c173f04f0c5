#include "picture_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace ky::inspect {

namespace {

[[noreturn]] void fail(const std::string& path, int error)
{
    throw std::runtime_error("cannot write picture " + path + ": " + std::strerror(error));
}

}  // namespace

void writePictureFile(const std::string& path, const std::string& bytes)
{
    // open() would end the name at the NUL and write another file.
    if (path.find('\0') != std::string::npos)
        throw std::runtime_error("cannot write picture " + path.substr(0, path.find('\0')) +
                                 "...: the path contains a NUL byte");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) fail(path, errno);
    // A half-written regular file would pass for a picture: it is removed.
    // Anything else (a device such as /dev/full, a pipe) is left alone.
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const auto failWith = [&](int error) {
        if (regular) ::unlink(path.c_str());
        fail(path, error);
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written <= 0) {
            if (written < 0 && errno == EINTR) continue;
            const int error = written < 0 ? errno : EIO;
            ::close(fd);
            failWith(error);
        }
        done += static_cast<std::size_t>(written);
    }
    if (::close(fd) != 0 && errno != EINTR) failWith(errno);
}

}  // namespace ky::inspect
