#include "checked_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "out_of_core_options.hpp"

namespace outofcore {

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path, int error)
{
    throw Failure("cannot " + what + " '" + path + "': " + std::strerror(error));
}

}  // namespace

File::File(const std::string& path, int flags) : path_(path)
{
    fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd_ < 0) fail("open", path, errno);
}

File::~File()
{
    if (fd_ >= 0) ::close(fd_);
}

void File::write(const void* bytes, std::size_t size)
{
    const char* p = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t written = ::write(fd_, p, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) fail("write", path_, written < 0 ? errno : ENOSPC);
        p += written;
        size -= static_cast<std::size_t>(written);
    }
}

void File::writeAt(const void* bytes, std::size_t size, std::uint64_t offset)
{
    const char* p = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t written = ::pwrite(fd_, p, size, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) fail("write", path_, written < 0 ? errno : ENOSPC);
        p += written;
        offset += static_cast<std::uint64_t>(written);
        size -= static_cast<std::size_t>(written);
    }
}

void File::read(void* bytes, std::size_t size)
{
    char* p = static_cast<char*>(bytes);
    while (size > 0) {
        const ssize_t got = ::read(fd_, p, size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) fail("read", path_, errno);
        if (got == 0) throw Failure("cannot read '" + path_ + "': it ends early");
        p += got;
        size -= static_cast<std::size_t>(got);
    }
}

std::uint64_t File::size() const
{
    struct stat about {};
    if (::fstat(fd_, &about) != 0) fail("inspect", path_, errno);
    return static_cast<std::uint64_t>(about.st_size);
}

void File::truncate(std::uint64_t size)
{
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) fail("truncate", path_, errno);
}

void File::seekEnd()
{
    if (::lseek(fd_, 0, SEEK_END) < 0) fail("seek in", path_, errno);
}

void File::sync()
{
    if (::fsync(fd_) != 0) fail("flush", path_, errno);
}

void File::close()
{
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail("close", path_, errno);
}

std::vector<char> readWholeFile(const std::string& path)
{
    File file(path, O_RDONLY);
    std::vector<char> bytes(static_cast<std::size_t>(file.size()));
    file.read(bytes.data(), bytes.size());
    file.close();
    return bytes;
}

void writeFileAtomically(const std::string& path, const void* bytes, std::size_t size)
{
    const std::string temporary = path + ".tmp";
    File file(temporary, O_WRONLY | O_CREAT | O_TRUNC);
    file.write(bytes, size);
    file.sync();
    file.close();
    renameFile(temporary, path);
}

void appendToFile(const std::string& path, const void* bytes, std::size_t size)
{
    File file(path, O_WRONLY | O_CREAT | O_APPEND);
    file.write(bytes, size);
    file.close();
}

bool fileExists(const std::string& path)
{
    struct stat about {};
    return ::stat(path.c_str(), &about) == 0;
}

void removeFile(const std::string& path)
{
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) fail("remove", path, errno);
}

void renameFile(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0) fail("rename", from, errno);
}

void makeFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) fail("create the folder", path, errno);
    struct stat about {};
    if (::stat(path.c_str(), &about) != 0 || !S_ISDIR(about.st_mode)) fail("use the folder", path, ENOTDIR);
}

void removeFolder(const std::string& path)
{
    std::error_code error;
    std::filesystem::remove_all(path, error);
    if (error) fail("remove the folder", path, error.value());
}

void syncFolder(const std::string& path)
{
    File folder(path, O_RDONLY | O_DIRECTORY);
    folder.sync();
    folder.close();
}

std::uint64_t freeBytes(const std::string& path)
{
    struct statvfs about {};
    if (::statvfs(path.c_str(), &about) != 0) fail("inspect the file system of", path, errno);
    return static_cast<std::uint64_t>(about.f_bavail) * static_cast<std::uint64_t>(about.f_frsize);
}

}  // namespace outofcore
