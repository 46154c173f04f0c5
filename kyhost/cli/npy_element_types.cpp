#include "npy_element_types.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace ky {

const char* const acceptedNpyTypes =
    "npy: takes float64, float32, float16 and integer arrays (as float64; integers up to 2^53 in magnitude) "
    "and uint8 arrays (as bytes)";

std::optional<NpyElementType> npyElementType(const std::string& descr)
{
    // An optional byte order ('<' little, '>' big, '=' native, '|' not
    // applicable), the kind and the size in bytes; this machine is
    // little-endian.
    std::string_view text(descr);
    bool bigEndian = false;
    if (!text.empty() && (text.front() == '<' || text.front() == '>' || text.front() == '=' || text.front() == '|')) {
        bigEndian = text.front() == '>';
        text.remove_prefix(1);
    }
    if (text.size() != 2) return std::nullopt;
    const char kind = text[0];
    const std::size_t size = static_cast<std::size_t>(text[1] - '0');
    NpyElementType type;
    type.size = size;
    type.bigEndian = bigEndian && size > 1;
    if (kind == 'f' && (size == 2 || size == 4 || size == 8)) {
        type.kind = NpyElementType::Kind::Float;
    } else if (kind == 'i' && (size == 1 || size == 2 || size == 4 || size == 8)) {
        type.kind = NpyElementType::Kind::Signed;
    } else if (kind == 'u' && (size == 1 || size == 2 || size == 4 || size == 8)) {
        type.kind = NpyElementType::Kind::Unsigned;
    } else {
        return std::nullopt;
    }
    return type;
}

namespace {

template <typename Bits>
Bits loadBits(const char* bytes, bool bigEndian)
{
    char ordered[sizeof(Bits)];
    std::memcpy(ordered, bytes, sizeof(Bits));
    if (bigEndian) std::reverse(ordered, ordered + sizeof(Bits));
    Bits bits;
    std::memcpy(&bits, ordered, sizeof(Bits));
    return bits;
}

// IEEE half precision, exactly: every float16 is a double.
double halfValue(std::uint16_t bits)
{
    const double sign = (bits & 0x8000) != 0 ? -1.0 : 1.0;
    const int exponent = (bits >> 10) & 0x1f;
    const int fraction = bits & 0x3ff;
    if (exponent == 0x1f) return fraction == 0 ? sign * INFINITY : NAN;
    if (exponent == 0) return sign * std::ldexp(fraction, -24);
    return sign * std::ldexp(fraction + 1024, exponent - 25);
}

constexpr double exactIntegerLimit = 9007199254740992.0;  // 2^53

}  // namespace

std::optional<double> npyElementValue(const NpyElementType& type, const char* bytes)
{
    const bool big = type.bigEndian;
    switch (type.kind) {
    case NpyElementType::Kind::Float:
        if (type.size == 8) return std::bit_cast<double>(loadBits<std::uint64_t>(bytes, big));
        if (type.size == 4) return static_cast<double>(std::bit_cast<float>(loadBits<std::uint32_t>(bytes, big)));
        return halfValue(loadBits<std::uint16_t>(bytes, big));
    case NpyElementType::Kind::Signed: {
        std::int64_t value = 0;
        if (type.size == 1) value = static_cast<std::int8_t>(bytes[0]);
        if (type.size == 2) value = static_cast<std::int16_t>(loadBits<std::uint16_t>(bytes, big));
        if (type.size == 4) value = static_cast<std::int32_t>(loadBits<std::uint32_t>(bytes, big));
        if (type.size == 8) value = static_cast<std::int64_t>(loadBits<std::uint64_t>(bytes, big));
        if (value > static_cast<std::int64_t>(exactIntegerLimit) || value < -static_cast<std::int64_t>(exactIntegerLimit))
            return std::nullopt;
        return static_cast<double>(value);
    }
    case NpyElementType::Kind::Unsigned: {
        std::uint64_t value = 0;
        if (type.size == 1) value = static_cast<unsigned char>(bytes[0]);
        if (type.size == 2) value = loadBits<std::uint16_t>(bytes, big);
        if (type.size == 4) value = loadBits<std::uint32_t>(bytes, big);
        if (type.size == 8) value = loadBits<std::uint64_t>(bytes, big);
        if (value > static_cast<std::uint64_t>(exactIntegerLimit)) return std::nullopt;
        return static_cast<double>(value);
    }
    }
    return std::nullopt;
}

}  // namespace ky
