// An order of query points in which points close in the plane come close
// together, so that a walk starting from the last answer has little way to
// go, whatever the points' spread.
//
// The curve is a Hilbert curve over the points' ranks, not over their
// coordinates: each point's x rank and y rank, made coarse (about as many
// cells on a side as the square root of the point count, times 4), are its
// cell. Ranks adapt to any distribution: one point at 1e15 beside points in
// [0, 1], or lognormal spreads, still leave few points per cell row and
// column, where a grid over the extent would put nearly all in one cell.
#pragma once

#include <cstdint>
#include <vector>

namespace kyhost_spatial {

// The positions listed in `which` (into qx and qy, whose values there are
// finite), in Hilbert order of their ranks.
std::vector<std::int64_t> rankHilbertOrder(const double* qx, const double* qy, std::vector<std::int64_t> which);

// The distance along a Hilbert curve through the 2^16 x 2^16 grid of the
// cell (x, y), both below 2^16.
std::uint32_t hilbertDistance(std::uint32_t x, std::uint32_t y);

}  // namespace kyhost_spatial
