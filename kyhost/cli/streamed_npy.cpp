#include "streamed_npy.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>

#include "mapped_input_guard.hpp"
#include "npy_format.hpp"
#include "npy_source.hpp"
#include "shortest_text.hpp"
#include "usage_error.hpp"

namespace ky {

namespace {

// A whole file mapped read-only, kept until the process ends (the check's
// report may still read it).
struct MappedFile {
    const char* bytes = nullptr;
    std::size_t size = 0;
    NpyHeader header;
};

MappedFile mapNpy(const std::string& path, const std::string& name)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw UsageError("cannot open " + name + " file '" + path + "': " + std::strerror(errno));
    struct stat about {};
    const bool regular = fstat(fd, &about) == 0 && S_ISREG(about.st_mode);
    const auto size = static_cast<std::size_t>(about.st_size);
    void* address = regular && size >= 10 ? mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0) : MAP_FAILED;
    const int mapError = errno;
    ::close(fd);
    if (!regular) throw UsageError(name + " file '" + path + "' is not a regular file");
    if (address == MAP_FAILED)
        throw UsageError("cannot map " + name + " file '" + path + "'" + (size < 10 ? ": too short for .npy" : std::string(": ") + std::strerror(mapError)));
    if (!guardMapping(address, size, path)) {
        munmap(address, size);
        throw UsageError("cannot guard the mapping of " + name + " file '" + path + "'");
    }
    MappedFile file{static_cast<const char*>(address), size, {}};
    const std::optional<NpyHeader> header = peekNpyHeader(std::string_view(file.bytes, size));
    if (!header) throw UsageError(name + " file '" + path + "' does not start with a .npy header");
    file.header = *header;
    return file;
}

std::uint64_t product(const NpyHeader& header)
{
    std::uint64_t count = 1;
    for (const long long extent : header.shape) count *= static_cast<std::uint64_t>(extent);
    return count;
}

void checkSize(const MappedFile& file, std::uint64_t count, std::size_t itemSize, const std::string& name)
{
    if (file.header.dataOffset % itemSize != 0 || file.size < file.header.dataOffset ||
        (file.size - file.header.dataOffset) / itemSize != count || (file.size - file.header.dataOffset) % itemSize != 0)
        throw UsageError(name + " file holds " + std::to_string(file.size - std::min(file.size, file.header.dataOffset)) +
                         " bytes of data, not the " + std::to_string(count * itemSize) + " its header promises");
}

NpySource npySource(const std::string& argument, const std::string& name)
{
    if (argument.rfind("npy:", 0) != 0)
        throw UsageError("with --memory-limit, " + name + " must be a .npy file given as npy:PATH or npy:PATH#COLUMN, not '" +
                         argument + "'");
    return parseNpySource(argument.substr(4));
}

// A vector, or one column of a matrix (npy:PATH#COLUMN), where it lies: a
// column of a C-order matrix is read with a stride of one row.
inspect::Coordinates coordinates(const std::string& argument, const std::string& name, std::uint64_t& count)
{
    const NpySource source = npySource(argument, name);
    const MappedFile file = mapNpy(source.path, name);
    const NpyHeader& h = file.header;
    if (h.descr != "<f8" && h.descr != "=f8") throw UsageError(name + " must hold float64 ('<f8'), not '" + h.descr + "'");
    const auto* data = reinterpret_cast<const double*>(file.bytes + h.dataOffset);
    if (source.column) {
        const std::size_t column = checkNpyColumn(source, h.shape);
        checkSize(file, product(h), 8, name);
        const auto rows = static_cast<std::size_t>(h.shape[0]), cols = static_cast<std::size_t>(h.shape[1]);
        count = rows;
        return h.fortranOrder ? inspect::Coordinates(data + column * rows) : inspect::Coordinates(data + column, cols);
    }
    const bool vector = h.shape.size() == 1 || (h.shape.size() == 2 && (h.shape[0] == 1 || h.shape[1] == 1));
    if (!vector)
        throw UsageError(name + " must be a vector (one row or one column), or one column of a matrix chosen as " +
                         "npy:PATH#COLUMN");
    count = product(h);
    checkSize(file, count, 8, name);
    return inspect::Coordinates(data);
}

enum class Entry { Float64, Int32, Int64 };

class NpyRows final : public inspect::RowSource {
public:
    NpyRows(const char* data, Entry entry, bool fortran, std::uint64_t rows, int base)
        : data_(data), entry_(entry), fortran_(fortran), rows_(rows), base_(base)
    {
    }
    std::uint64_t rows() const override { return rows_; }

    void read(std::uint64_t first, std::size_t count, std::uint64_t n, std::int64_t* corners) const override
    {
        for (std::size_t i = 0; i < count; ++i)
            for (int c = 0; c < 3; ++c) corners[3 * i + static_cast<std::size_t>(c)] = corner(first + i, c, n);
    }

    std::string entryText(std::uint64_t row) const override
    {
        std::string text = "(";
        for (int c = 0; c < 3; ++c) {
            if (c > 0) text += ",";
            text += entry_ == Entry::Float64 ? inspect::shortestText(floatAt(row, c)) : std::to_string(intAt(row, c));
        }
        return text + ")";
    }

private:
    std::size_t position(std::uint64_t row, int column) const
    {
        return static_cast<std::size_t>(fortran_ ? static_cast<std::uint64_t>(column) * rows_ + row : 3 * row + static_cast<std::uint64_t>(column));
    }
    double floatAt(std::uint64_t row, int column) const
    {
        double value;
        std::memcpy(&value, data_ + 8 * position(row, column), 8);
        return value;
    }
    std::int64_t intAt(std::uint64_t row, int column) const
    {
        if (entry_ == Entry::Int32) {
            std::int32_t value;
            std::memcpy(&value, data_ + 4 * position(row, column), 4);
            return value;
        }
        std::int64_t value;
        std::memcpy(&value, data_ + 8 * position(row, column), 8);
        return value;
    }
    std::int64_t corner(std::uint64_t row, int column, std::uint64_t n) const
    {
        const auto base = static_cast<std::int64_t>(base_);
        if (entry_ == Entry::Float64) {
            const double value = floatAt(row, column);
            // Whole numbers from base to n - 1 + base only (NaN fails both tests).
            if (!(value >= static_cast<double>(base) && value <= static_cast<double>(n) - 1 + base) || std::floor(value) != value)
                return -1;
            return static_cast<std::int64_t>(value) - base;
        }
        const std::int64_t value = intAt(row, column);
        if (value < base || value - base >= static_cast<std::int64_t>(n)) return -1;
        return value - base;
    }

    const char* data_;
    Entry entry_;
    bool fortran_;
    std::uint64_t rows_;
    int base_;
};

}  // namespace

const double* openNpyCoordinates(const std::string& argument, const std::string& name, std::uint64_t& count)
{
    if (argument.rfind("npy:", 0) != 0)
        throw UsageError(name + " must be a .npy file of float64 given as npy:PATH, not '" + argument + "'");
    const inspect::Coordinates values = coordinates(argument, name, count);
    if (values.contiguous() == nullptr)
        throw UsageError(name + " must lie in one piece: a vector, or a column of a Fortran-order matrix; '" + argument +
                         "' is a column of a C-order matrix (save that column as a .npy of its own)");
    return values.contiguous();
}

inspect::StreamedInputs openStreamedNpyInputs(const std::string& x, const std::string& y, const std::string& tri, int base)
{
    inspect::StreamedInputs inputs;
    std::uint64_t nx = 0, ny = 0;
    inputs.points.x = coordinates(x, "X", nx);
    inputs.points.y = coordinates(y, "Y", ny);
    if (nx != ny) throw UsageError("X and Y must have as many elements (" + std::to_string(nx) + " and " + std::to_string(ny) + ")");
    inputs.points.n = static_cast<std::size_t>(nx);

    const NpySource triSource = npySource(tri, "TRI");
    if (triSource.column) throw UsageError("TRI is the whole M-by-3 matrix; choose no column of it ('" + tri + "')");
    const MappedFile file = mapNpy(triSource.path, "TRI");
    const NpyHeader& h = file.header;
    Entry entry;
    std::size_t itemSize = 8;
    if (h.descr == "<f8" || h.descr == "=f8") {
        entry = Entry::Float64;
    } else if (h.descr == "<i8" || h.descr == "=i8") {
        entry = Entry::Int64;
    } else if (h.descr == "<i4" || h.descr == "=i4") {
        entry = Entry::Int32;
        itemSize = 4;
    } else {
        throw UsageError("TRI must hold float64, int64 or int32 entries ('<f8', '<i8', '<i4'), not '" + h.descr + "'");
    }
    const std::uint64_t count = product(h);
    std::uint64_t rows = 0;
    if (count != 0) {
        if (h.shape.size() != 2 || h.shape[1] != 3)
            throw UsageError("TRI must be an M-by-3 matrix, one row of 3 indices per triangle");
        rows = static_cast<std::uint64_t>(h.shape[0]);
    }
    checkSize(file, count, itemSize, "TRI");
    madvise(const_cast<char*>(file.bytes), file.size, MADV_SEQUENTIAL);
    inputs.rows = std::make_unique<NpyRows>(file.bytes + h.dataOffset, entry, h.fortranOrder, rows, base);
    return inputs;
}

}  // namespace ky
