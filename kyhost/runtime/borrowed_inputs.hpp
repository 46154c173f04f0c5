// The memory a call reads in place: the storage of its borrowed inputs (a
// front end's buffers, a mapped file), which the host neither owns nor can
// keep from changing. A call guards it against faults while it runs, and
// checks that code run at a warning left it as it was.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "host_array.hpp"
#include "mapped_input_guard.hpp"

namespace ky {

struct BorrowedMemory {
    std::vector<CallRange> ranges;
    std::vector<std::size_t> inputOf;  // 0-based position of the input each range belongs to
};

// The storage ranges of the borrowed inputs, in input order: a full
// array's elements; a sparse array's column starts, row indices and values.
BorrowedMemory borrowedMemory(std::span<const kyArray* const> inputs);

// A 64-bit digest of the bytes of the ranges: any change of their content
// changes it but with a chance of about 2^-64.
std::uint64_t contentDigest(std::span<const CallRange> ranges) noexcept;

}  // namespace ky
