// Delaunay triangulation of more points than memory holds, into one .npy
// file of rows.
//
// The run: plan the tiles from a sample of the points (planTiles); one
// streaming pass writes each tile's points to a bucket file in the scratch
// folder TRI.npy.scratch/; tiles are finished on `workers` threads (as many
// as fit the memory limit) in tile order, each leaving its final rows and a
// done marker (seam points with coordinates, boundary edges); the rows are
// appended to TRI.npy.partial in tile order as they come, then the seam's
// rows (seamRows over every tile's seam points): the order of
// triangulateTiled, fixed by the points and the tile size alone. The header,
// with the final row count, is written last; the file is flushed and renamed
// to TRI.npy, and the scratch folder removed.
//
// Until then TRI.npy.partial starts with zero bytes where the header goes,
// so no reader takes it for a complete file. An interrupted run keeps its
// scratch; a run with `resume` checks that the scratch belongs to the same
// points and options, cuts the partial file back to the last tile it
// recorded as appended and goes on from there, skipping finished tiles.
#pragma once

#include <cstdint>

#include "out_of_core_options.hpp"

namespace outofcore {

// Throws Refusal (nothing useful can be written: status 2) or Failure (the
// run failed on its way: status 1).
Report triangulateToFile(const double* x, const double* y, std::int64_t n, const Options& options);

}  // namespace outofcore
