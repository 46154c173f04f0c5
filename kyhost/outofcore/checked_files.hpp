// File operations for the scratch folder and the output, every one checked:
// a failed open, write, read, fsync, close or rename throws Failure naming
// the file and the system's reason.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace outofcore {

// An open descriptor, closed (checked) by close() or, on the error path
// only, unchecked by the destructor.
class File {
public:
    // flags as open(2) takes them (O_CLOEXEC is added); mode 0644.
    File(const std::string& path, int flags);
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept : path_(std::move(other.path_)), fd_(other.fd_) { other.fd_ = -1; }

    void write(const void* bytes, std::size_t size);
    void writeAt(const void* bytes, std::size_t size, std::uint64_t offset);
    void read(void* bytes, std::size_t size);  // exactly size bytes
    std::uint64_t size() const;
    void truncate(std::uint64_t size);
    void seekEnd();
    void sync();
    void close();
    const std::string& path() const { return path_; }

private:
    std::string path_;
    int fd_ = -1;
};

// The whole file, or the bytes written to it (fsync'd) under a temporary
// name and renamed, so that it is either absent, the old one or complete.
std::vector<char> readWholeFile(const std::string& path);
void writeFileAtomically(const std::string& path, const void* bytes, std::size_t size);
// Appends to a file, creating it (a bucket's batches).
void appendToFile(const std::string& path, const void* bytes, std::size_t size);

bool fileExists(const std::string& path);
void removeFile(const std::string& path);       // absent is fine
void renameFile(const std::string& from, const std::string& to);
void makeFolder(const std::string& path);      // existing is fine
void removeFolder(const std::string& path);    // with everything in it
void syncFolder(const std::string& path);      // makes renames in it durable
// Bytes free for an unprivileged writer in the file system of path.
std::uint64_t freeBytes(const std::string& path);

}  // namespace outofcore
