// What a run needs, estimated before it starts, so that a run that cannot
// fit is refused at once with the figures instead of failing hours in.
//
// Memory: a sweep takes about 100 B per point on ordinary input; a tile
// also holds its points three times (bucket bytes, coordinates, ids) and
// finishTile's edge tables, about 220 B per point in all. The seam is a
// sweep over the seam points plus their boundary edges. Disk: the buckets
// (at most 19 B per point), the output (6 entries per point at most: a
// triangulation has fewer than 2n triangles) and the seam points' records.
#pragma once

#include <cstdint>
#include <string>

#include "out_of_core_options.hpp"

namespace outofcore {

constexpr std::uint64_t tileBytesPerPoint = 220;
// Joining 4.5 M seam points (with as many boundary edges) peaked at
// 131 B per point in all: the sweep, U's coordinates and ids, its lookup.
constexpr std::uint64_t seamBytesPerPoint = 140;
constexpr std::uint64_t seamBytesPerEdge = 8;
constexpr std::int64_t largestTilePoints = 1 << 19;
constexpr std::int64_t smallestTilePoints = 1 << 10;

// Memory the run holds whatever its tiles: the plan's sample and the
// bucket batches.
std::uint64_t planBytes(std::int64_t n);
std::uint64_t bucketBufferBytes(std::uint64_t memoryLimit);

// A tile of m points.
std::uint64_t tileBytes(std::int64_t m);

// Joining the seams: U's points and the tiles' boundary edges.
std::uint64_t seamBytes(std::int64_t points, std::int64_t edges);

// The tile size for a limit: the largest power of two up to 2^19 whose
// tiles (allowing for tiles up to a quarter above it) fit beside the fixed
// memory; 0 when not even the smallest fits. Limits of 256 MiB and more
// always give 2^19, so the rows do not depend on them.
std::int64_t tilePointsFor(std::int64_t n, std::uint64_t memoryLimit);

// Threads whose tiles fit at once (at least 1 when one fits).
int workersFor(int requested, std::int64_t largestTile, std::int64_t n, std::uint64_t memoryLimit);

std::uint64_t outputBytes(std::int64_t n, IndexType index);

// Disk the rest of the run can still need at its peak: tiles are finished
// in order and each bucket is removed when its rows are written, so the
// peak is the larger of the buckets and the output, plus the rows of the
// tiles in flight and the seam records.
std::uint64_t diskBytesNeeded(std::int64_t n, IndexType index, bool bucketsWritten, std::uint64_t outputWritten,
                              std::int64_t tilePoints, int workers);

}  // namespace outofcore
