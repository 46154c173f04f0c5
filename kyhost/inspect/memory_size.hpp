// Sizes of memory as options give them: a whole number of bytes, or one
// with K, M, G or T (powers of 1024, "2G", "512M", also "2GiB" or "2GB").
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ky::inspect {

// The size in bytes, or nothing when text is not a size (or exceeds 2^64 - 1).
std::optional<std::uint64_t> parseMemorySize(const std::string& text);

// "2.0 GiB", "512.0 MiB", "100 B": a size for messages.
std::string memorySizeText(std::uint64_t bytes);

}  // namespace ky::inspect
