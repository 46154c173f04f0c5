#include "picture_file.hpp"

#include <fcntl.h>
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
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) fail(path, errno);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written <= 0) {
            if (written < 0 && errno == EINTR) continue;
            const int error = written < 0 ? errno : EIO;
            ::close(fd);
            fail(path, error);
        }
        done += static_cast<std::size_t>(written);
    }
    if (::close(fd) != 0) fail(path, errno);
}

}  // namespace ky::inspect
