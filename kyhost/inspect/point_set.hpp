// The points a triangulation is checked or drawn against: n coordinate
// pairs, borrowed from the caller. Kept apart from the exact predicates so
// that code which only passes points along does not compile them.
#pragma once

#include <cstddef>

namespace ky::inspect {

// One coordinate of every point: element i at data[i * stride], so that a
// column of a row-major (n, 2) array is read where it lies.
class Coordinates {
public:
    Coordinates(const double* data = nullptr, std::size_t stride = 1) : data_(data), stride_(stride) {}
    double operator[](std::size_t i) const { return data_[i * stride_]; }
    const double* address(std::size_t i) const { return data_ + i * stride_; }
    // The elements as one array, or null when they lie a stride apart.
    const double* contiguous() const { return stride_ == 1 ? data_ : nullptr; }

private:
    const double* data_;
    std::size_t stride_;
};

struct PointSet {
    Coordinates x;
    Coordinates y;
    std::size_t n = 0;
};

}  // namespace ky::inspect
