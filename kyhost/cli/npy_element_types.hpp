// The element types (dtypes) that npy: takes, and how their values become
// the host's: float64 as it is, float32, float16 and integers of every
// width converted to float64 (integers exactly, so at most 2^53 in
// magnitude), uint8 kept as bytes. Booleans, complex numbers, strings,
// objects and structured types are refused.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace ky {

struct NpyElementType {
    enum class Kind { Float, Signed, Unsigned };
    Kind kind = Kind::Float;
    std::size_t size = 8;     // bytes per element
    bool bigEndian = false;
    bool isBytes() const { return kind == Kind::Unsigned && size == 1; }
    bool isFloat64() const { return kind == Kind::Float && size == 8; }
};

// The element type a header's 'descr' names ("<f8", ">i4", "|u1", ...), or
// nothing when npy: does not take it.
std::optional<NpyElementType> npyElementType(const std::string& descr);

// What npy: takes, for messages that refuse a dtype.
extern const char* const acceptedNpyTypes;

// The value of one element as a double. Integers beyond 2^53 in magnitude
// have no exact double: nothing is returned for them.
std::optional<double> npyElementValue(const NpyElementType& type, const char* bytes);

}  // namespace ky
