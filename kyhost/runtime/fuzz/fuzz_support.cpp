#include "fuzz_support.hpp"

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>

#include <unistd.h>

namespace ky::fuzz {

namespace {

// Files are written on every run: in memory where the system offers a
// memory file system, which is many times faster than a disk.
std::filesystem::path scratchParent()
{
    std::error_code error;
    if (std::filesystem::is_directory("/dev/shm", error) && access("/dev/shm", W_OK) == 0) return "/dev/shm";
    return std::filesystem::temp_directory_path();
}

struct ScratchFolder {
    std::filesystem::path path;
    ScratchFolder()
    {
        std::string pattern = (scratchParent() / "kyfuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) fault("cannot create a scratch folder");
        path = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

const std::filesystem::path& scratchFolder()
{
    static const ScratchFolder folder;
    return folder.path;
}

void writeFile(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    file.close();
    if (!file) fault("cannot write the scratch file " + path.string());
}

void fault(const std::string& what)
{
    std::fprintf(stderr, "fuzz fault: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

void expectKnownOutcome(const CallOutcome& outcome, std::initializer_list<std::string_view> errors)
{
    if (!outcome.error) return;
    const std::string_view message = *outcome.error;
    for (const std::string_view known : errors) {
        if (known.ends_with("...") ? message.starts_with(known.substr(0, known.size() - 3)) : message == known)
            return;
    }
    fault("unexpected error: " + std::string(message));
}

double interestingNumber(FuzzedDataProvider& input, double smallLimit)
{
    static constexpr double edges[] = {
        0.0, -0.0, 0.5, 1.5, -1.0, 1e-300, 1e300, 5e-324, 2147483647.0, 2147483648.0, -2147483649.0,
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::max(), 9007199254740993.0};
    switch (input.ConsumeIntegralInRange<int>(0, 7)) {
    case 0: return edges[input.ConsumeIntegralInRange<std::size_t>(0, std::size(edges) - 1)];
    case 1: return std::bit_cast<double>(input.ConsumeIntegral<std::uint64_t>());
    default: return static_cast<double>(input.ConsumeIntegralInRange<std::int64_t>(0, static_cast<std::int64_t>(smallLimit)));
    }
}

ArrayHandle otherClassArray(FuzzedDataProvider& input)
{
    switch (input.ConsumeIntegralInRange<int>(0, 2)) {
    case 0: return ArrayHandle(createChar(input.ConsumeRandomLengthString(8)));
    case 1: return ArrayHandle(createUint8(1, input.ConsumeIntegralInRange<std::int32_t>(0, 4)));
    default: return ArrayHandle(createSparse(input.ConsumeIntegralInRange<std::int32_t>(0, 4),
                                             input.ConsumeIntegralInRange<std::int32_t>(0, 4), 0));
    }
}

std::vector<const kyArray*> handles(const std::vector<ArrayHandle>& arrays)
{
    std::vector<const kyArray*> raw;
    for (const ArrayHandle& array : arrays) raw.push_back(array.get());
    return raw;
}

void expectSparseLayout(const kyArray* array)
{
    if (array->arrayClass != ArrayClass::Sparse) fault("not a sparse matrix");
    if (array->m < 0 || array->n < 0) fault("negative dimensions");
    if (array->jc[0] != 0) fault("the first column start is not 0");
    for (std::int32_t j = 0; j < array->n; ++j)
        if (array->jc[j + 1] < array->jc[j]) fault("column starts descend at column " + std::to_string(j + 1));
    if (static_cast<std::size_t>(array->jc[array->n]) > array->capacity) fault("more entries than storage");
    for (std::int32_t k = 0; k < array->jc[array->n]; ++k)
        if (array->ir[k] < 0 || array->ir[k] >= array->m) fault("row index outside the matrix");
}

}  // namespace ky::fuzz
