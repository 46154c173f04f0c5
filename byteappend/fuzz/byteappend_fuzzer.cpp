// byteappend through the real loader and host, with mutated names (any
// bytes but '/', NUL included, as text of any shape), data of any shape and
// class, and mutated argument counts. Every name lies inside the scratch
// folder, so nothing outside it is ever written. A call ends with one of
// the plug-in's own errors or an error text of the system, or returns the
// number of bytes the file grew by, which is the data's size.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "fuzz_support.hpp"
#include "plugin_testing.hpp"

namespace {

using namespace ky;
using fuzz::fault;

// Size of the file, or -1 when there is none.
long long fileSize(const std::string& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) ? static_cast<long long>(status.st_size) : -1;
}

// A name inside the scratch folder: a missing subfolder sometimes, then
// one component of any bytes except '/'.
std::string fileName(FuzzedDataProvider& input)
{
    std::string component = input.ConsumeRandomLengthString(24);
    std::replace(component.begin(), component.end(), '/', '_');
    if (component.empty()) component = "out";
    const std::string folder = fuzz::scratchFolder().string() + (input.ConsumeIntegralInRange<int>(0, 15) == 0 ? "/missing/" : "/");
    return folder + component;
}

// The name as an m-by-n character matrix whose bytes in storage order
// spell it; the name grows by a few 'p' to fill the matrix.
ArrayHandle nameArray(std::string& name, FuzzedDataProvider& input)
{
    const auto rows = input.ConsumeIntegralInRange<std::int32_t>(1, 3);
    const auto cols = static_cast<std::int32_t>((name.size() + rows - 1) / rows);
    name.resize(static_cast<std::size_t>(rows) * cols, 'p');
    ArrayHandle array(createCharMatrix(rows, cols));
    std::memcpy(array->data, name.data(), name.size());
    return array;
}

std::string systemError(int code) { return std::strerror(code); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const kyxFunctionType byteappend = testing::builtPlugin("byteappend");
    FuzzedDataProvider input(data, size);
    std::string name = fileName(input);
    const bool existing = input.ConsumeBool();
    const int outputCount = input.ConsumeIntegralInRange<int>(0, 31) == 0 ? 2 : input.ConsumeIntegralInRange<int>(0, 1);
    const auto dataRows = input.ConsumeIntegralInRange<std::int32_t>(0, 4);
    auto bytes = input.ConsumeBytes<unsigned char>(input.ConsumeIntegralInRange<std::size_t>(0, 256));
    const auto dataCols = dataRows == 0 ? static_cast<std::int32_t>(bytes.size()) : static_cast<std::int32_t>(bytes.size()) / dataRows;
    bytes.resize(static_cast<std::size_t>(dataRows) * static_cast<std::size_t>(dataCols));

    std::vector<ArrayHandle> arrays;
    arrays.push_back(nameArray(name, input));
    arrays.push_back(testing::bytes(dataRows, dataCols, bytes));
    // A wrong class for either argument (never another text as the name:
    // that would name a file outside the scratch folder).
    if (input.ConsumeIntegralInRange<int>(0, 15) == 0) {
        if (input.ConsumeBool())
            arrays[0] = input.ConsumeBool() ? testing::bytes(1, 1, {65}) : fuzz::doubleMatrix(1, 2, [] { return 65.0; });
        else
            arrays[1] = input.ConsumeBool() ? fuzz::otherClassArray(input) : fuzz::doubleMatrix(1, 2, [] { return 65.0; });
    }
    if (input.ConsumeIntegralInRange<int>(0, 31) == 0) arrays.resize(input.ConsumeIntegralInRange<std::size_t>(0, 3));
    for (auto& array : arrays)
        if (!array) array = testing::text("x");

    // Only names without NUL reach the file system; read what is there first.
    const std::string path = name.substr(0, name.find('\0'));
    const bool plainName = path.size() == name.size() && path.find("/missing/") == std::string::npos;
    if (existing && plainName && !std::filesystem::is_directory(path)) {
        const std::uint8_t some[3] = {1, 2, 3};
        fuzz::writeFile(path, some, sizeof some);
    }
    const long long before = fileSize(path);
    const CallOutcome outcome = testing::call(byteappend, outputCount, fuzz::handles(arrays));
    const long long after = fileSize(path);
    std::error_code ignored;
    if (std::filesystem::is_regular_file(path, ignored)) std::filesystem::remove(path, ignored);

    static const std::string noFolder = systemError(ENOENT), tooLong = systemError(ENAMETOOLONG),
                             isFolder = systemError(EISDIR);
    fuzz::expectKnownOutcome(outcome, {"Too few input arguments", "Too many input arguments", "Too many output arguments",
                                       "FILENAME must be a string", "Class of data array must be uint8",
                                       "FILENAME must not contain NUL characters", noFolder, tooLong, isFolder});
    if (outcome.error || !outcome.result) return 0;
    if (!outcome.warnings.empty()) fault("a warning on a plain write: " + outcome.warnings.front());
    const double count = *static_cast<const double*>(outcome.result->data);
    const long long written = elementCount(arrays[1].get());
    if (count != static_cast<double>(written)) fault("the count is not the data's size");
    if (after - std::max(before, 0LL) != written) fault("'" + path + "' grew from " + std::to_string(before) + " to " + std::to_string(after) + " bytes, not by " + std::to_string(written));
    return 0;
}
