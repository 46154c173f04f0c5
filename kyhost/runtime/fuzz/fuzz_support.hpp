// Shared pieces of the fuzz targets: a scratch folder, building host arrays
// from fuzz bytes, and the checks that turn a wrong outcome into a crash
// that libFuzzer reports.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "call_runner.hpp"
#include "host_array.hpp"

namespace ky::fuzz {

// A folder of this process's own, removed when the process ends.
const std::filesystem::path& scratchFolder();

// Replaces the file's content with the bytes; aborts when that fails.
void writeFile(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size);

// Reports a fault found by the fuzzer and aborts, so that libFuzzer keeps
// the input that led to it.
[[noreturn]] void fault(const std::string& what);

// The call must have ended either with a result or with an error whose
// message is one of these texts; a text ending in "..." matches any message
// that starts with what precedes the dots.
void expectKnownOutcome(const CallOutcome& outcome, std::initializer_list<std::string_view> errors);

// A double that fuzzing should try often: small whole numbers first, then
// edges (0.5, -0, NaN, infinities, the int32 limits, huge and tiny values),
// then any bit pattern.
double interestingNumber(FuzzedDataProvider& input, double smallLimit);

// A real m-by-n matrix whose elements come from next().
template <typename Next>
ArrayHandle doubleMatrix(std::int32_t m, std::int32_t n, Next&& next)
{
    ArrayHandle array(createDouble(m, n));
    auto* values = static_cast<double*>(array->data);
    for (std::int64_t k = 0; k < std::int64_t(m) * n; ++k) values[k] = next();
    return array;
}

// An array of another class than double (text, uint8 or an empty sparse
// matrix), for the class checks.
ArrayHandle otherClassArray(FuzzedDataProvider& input);

// Raw handles of the arrays, in order, for runCall.
std::vector<const kyArray*> handles(const std::vector<ArrayHandle>& arrays);

// The sparse layout must hold: n+1 column starts ascending from 0, each
// row index inside the matrix.
void expectSparseLayout(const kyArray* array);

}  // namespace ky::fuzz
