// The points of each tile in a file of its own, from one streaming pass over
// the coordinates: per point a variable-length gap to the tile's previous
// id, then x and y (8 bytes each). Ids come out ascending, as finishTile
// takes them. Batches are kept in memory per tile and appended when full.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tiled_delaunay.hpp"

namespace outofcore {

struct TilePoints {
    std::vector<double> x, y;
    std::vector<std::int64_t> ids;
};

// Where tile t's points go.
std::string bucketPath(const std::string& scratch, std::int32_t tile);

// Writes every tile's bucket (replacing old ones) and returns the tiles'
// point counts. bufferBytes: memory for the batches of all tiles together.
// afterChunk(done) is called every 2^20 points (progress, releasing the
// input's pages); a non-finite point throws Refusal naming it, counting
// from messageBase.
std::vector<std::int64_t> writeBuckets(const double* x, const double* y, std::int64_t n, const tiling::TilePlan& plan,
                                       const std::string& scratch, std::uint64_t bufferBytes, int messageBase,
                                       const std::function<void(std::int64_t)>& afterChunk);

// Tile t's points; an absent bucket is an empty tile.
TilePoints readBucket(const std::string& scratch, std::int32_t tile);

// Upper bound of a bucket's bytes per point (gaps below 2^21).
constexpr std::uint64_t bucketBytesPerPoint = 19;

}  // namespace outofcore
