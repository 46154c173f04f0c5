// Any bytes, as a data file read through the argument KIND:PATH, give an
// array or a clear error (UsageError, or a host error for an array too
// large to create), never a crash, a hang or a read out of bounds. Arrays
// read are checked for a sound layout.
#include <algorithm>
#include <cctype>
#include <string_view>

#include "argument_kinds.hpp"
#include "call_context.hpp"
#include "fuzz_support.hpp"
#include "usage_error.hpp"

namespace {

// A sparse file declares its column count, and its column starts alone need
// four bytes per column: counts of ten million and more are a question of
// memory, not of reading, and are left to the unit tests.
bool declaresHugeSize(std::string_view file)
{
    const std::string_view firstLine = file.substr(0, file.find('\n'));
    std::size_t run = 0;
    for (const char c : firstLine) {
        run = std::isdigit(static_cast<unsigned char>(c)) ? run + 1 : 0;
        if (run >= 8) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view kind = KY_FUZZ_KIND;
    if (kind == "sparse" && declaresHugeSize({reinterpret_cast<const char*>(data), size})) return -1;
    static const std::filesystem::path file = ky::fuzz::scratchFolder() / "input";
    ky::fuzz::writeFile(file, data, size);
    try {
        const ky::ArrayHandle array = ky::parseArgument(std::string(kind) + ":" + file.string());
        if (kind == "sparse") ky::fuzz::expectSparseLayout(array.get());
        const bool rightClass = kind == "sparse" ? array->arrayClass == ky::ArrayClass::Sparse
                                : kind == "u8csv" ? array->arrayClass == ky::ArrayClass::Uint8
                                : kind == "csv"   ? array->arrayClass == ky::ArrayClass::Double
                                                  : array->arrayClass == ky::ArrayClass::Double ||
                                                      array->arrayClass == ky::ArrayClass::Uint8;
        if (!rightClass) ky::fuzz::fault("the reader made an array of the wrong class");
        if (array->m < 0 || array->n < 0) ky::fuzz::fault("negative dimensions");
    } catch (const ky::UsageError&) {
    } catch (const ky::CallError&) {
    }
    return 0;
}
