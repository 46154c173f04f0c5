// The frame a row's (or a query's region's) weights are computed in: the
// points scaled by the power of two that brings their largest difference
// from a reference point near 1. A power of two changes no ratio, so the
// weights are those of the points as given; but no difference or product
// of differences leaves the range of doubles. Where the largest difference
// already lies in [2^-200, 2^200] the frame is the identity and the points
// are used as given, bit for bit.
#pragma once

#include <algorithm>
#include <cmath>

namespace trinterp {

class Frame {
public:
    Frame() = default;
    Frame(const double* const* points, int count, const double* reference)
    {
        for (int k = 0; k < count; ++k) include(points[k], reference);
        settle();
    }

    // Widens the frame by point - reference.
    void include(const double* point, const double* reference)
    {
        largest_ = std::max({largest_, std::fabs(point[0] - reference[0]), std::fabs(point[1] - reference[1])});
        coordinate_ = std::max({coordinate_, std::fabs(point[0]), std::fabs(point[1])});
    }

    // Chooses the exponent from what was included.
    void settle()
    {
        exponent_ = 0;
        if (!(largest_ > 0) || (largest_ >= 0x1p-200 && largest_ <= 0x1p200)) return;
        // Where the differences overflow the coordinates are near the
        // largest double: those are brought below 1.
        exponent_ = std::isinf(largest_) ? -std::ilogb(coordinate_) - 1 : -std::ilogb(largest_);
    }

    int exponent() const { return exponent_; }

    // The point in the frame: itself when the frame is the identity, else
    // its scaled copy written to room.
    const double* apply(const double* point, double room[2]) const
    {
        if (exponent_ == 0) return point;
        room[0] = std::ldexp(point[0], exponent_);
        room[1] = std::ldexp(point[1], exponent_);
        return room;
    }

private:
    double largest_ = 0;
    double coordinate_ = 0;
    int exponent_ = 0;
};

}  // namespace trinterp
