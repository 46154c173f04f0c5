#include "npy_mapping.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "mapped_input_guard.hpp"
#include "npy_format.hpp"
#include "npy_source.hpp"

namespace ky {

namespace {

// The mappings that mapped arrays borrow from, given back when the process
// ends, after every array.
class Mappings {
public:
    ~Mappings()
    {
        for (const auto& [address, bytes] : mapped_) munmap(address, bytes);
    }
    void keep(void* address, std::size_t bytes)
    {
        std::lock_guard<std::mutex> guard(lock_);
        mapped_.emplace_back(address, bytes);
    }

private:
    std::mutex lock_;
    std::vector<std::pair<void*, std::size_t>> mapped_;
};

Mappings& mappings()
{
    static Mappings all;
    return all;
}

class OpenFile {
public:
    explicit OpenFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenFile()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const noexcept { return fd_; }

private:
    int fd_;
};

struct Layout {
    ArrayClass arrayClass;
    std::int32_t rows;
    std::int32_t cols;
    std::size_t dataOffset;
};

// The array's class and size when the file's data (or the chosen column
// of it) can be used as it lies; nothing otherwise.
std::optional<Layout> inPlaceLayout(std::string_view file, std::optional<std::size_t> column)
{
    const std::optional<NpyHeader> header = peekNpyHeader(file);
    if (!header) return std::nullopt;
    std::size_t itemSize = 0;
    ArrayClass arrayClass = ArrayClass::Double;
    if (header->descr == "<f8" || header->descr == "=f8") {
        itemSize = 8;
    } else if (header->descr == "|u1" || header->descr == "u1" || header->descr == "<u1" || header->descr == ">u1") {
        itemSize = 1;
        arrayClass = ArrayClass::Uint8;
    } else {
        return std::nullopt;
    }
    long long rows = 1, cols = 1;
    if (header->shape.size() == 1) {
        cols = header->shape[0];
    } else if (header->shape.size() == 2) {
        rows = header->shape[0];
        cols = header->shape[1];
    } else {
        return std::nullopt;
    }
    // C order stores a matrix row by row: the same as column by column only
    // when there is one row or one column.
    if (!header->fortranOrder && rows != 1 && cols != 1) return std::nullopt;
    if (rows * cols == 0 || rows * cols > maxElements) return std::nullopt;
    const auto count = static_cast<std::size_t>(rows * cols);
    if (header->dataOffset % itemSize != 0) return std::nullopt;
    if (file.size() < header->dataOffset || file.size() - header->dataOffset != count * itemSize)
        return std::nullopt;
    if (!column) return Layout{arrayClass, static_cast<std::int32_t>(rows), static_cast<std::int32_t>(cols), header->dataOffset};
    // One column, which lies in one piece in the layouts above: column j
    // starts j * rows elements in (in C order with one column, j is 0).
    if (header->shape.size() != 2 || *column >= static_cast<std::size_t>(cols)) return std::nullopt;
    const std::size_t start = *column * static_cast<std::size_t>(rows);
    return Layout{arrayClass, static_cast<std::int32_t>(rows), 1, header->dataOffset + start * itemSize};
}

// The array over a mapping of the file, or null when the file is not a
// regular file that can be mapped and used in place.
ArrayHandle mapInPlace(const std::string& path, std::optional<std::size_t> column)
{
    if (path == "-") return nullptr;
    const OpenFile file(path);
    if (file.fd() < 0) return nullptr;
    struct stat about {};
    if (fstat(file.fd(), &about) != 0 || !S_ISREG(about.st_mode) || about.st_size < 10) return nullptr;
    const auto bytes = static_cast<std::size_t>(about.st_size);
    // Private and writable: writes (by a plug-in that should not make any)
    // go to private copies of the pages, never to the file.
    void* address = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE, file.fd(), 0);
    if (address == MAP_FAILED) return nullptr;
    // Read every page in now: a page that cannot be read would otherwise
    // end the process with SIGBUS when first touched. A file that does not
    // read in whole (or a system that cannot tell) is copied instead, and
    // the copy reports the error.
    if (madvise(address, bytes, MADV_POPULATE_READ) != 0) {
        munmap(address, bytes);
        return nullptr;
    }
    const auto* start = static_cast<char*>(address);
    const std::optional<Layout> layout = inPlaceLayout(std::string_view(start, bytes), column);
    if (!layout) {
        munmap(address, bytes);
        return nullptr;
    }
    // A file truncated later, while a call reads it, would raise SIGBUS on
    // the lost pages: the guard turns that into an error of the call. A
    // mapping that cannot be guarded is not used.
    if (!guardMapping(address, bytes, path)) {
        munmap(address, bytes);
        return nullptr;
    }
    try {
        mappings().keep(address, bytes);
    } catch (...) {
        munmap(address, bytes);
        return nullptr;
    }
    return ArrayHandle(createBorrowed(layout->arrayClass, layout->rows, layout->cols,
                                      static_cast<char*>(address) + layout->dataOffset));
}

}  // namespace

ArrayHandle readNpyInPlace(const std::string& value)
{
    const NpySource source = parseNpySource(value);
    if (ArrayHandle mapped = mapInPlace(source.path, source.column)) return mapped;
    return readNpy(value);
}

}  // namespace ky
