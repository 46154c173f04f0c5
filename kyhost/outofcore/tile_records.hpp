// What the scratch folder keeps of a finished tile (its done marker): the
// number of its final rows, its seam points with their coordinates, its
// boundary edges and whether its sweep warned. The rows themselves are in
// a file of their own until they are appended to the output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace outofcore {

struct TileRecord {
    std::uint64_t rows = 0;
    bool collinearWarned = false;
    std::vector<std::int64_t> seamIds;
    std::vector<double> seamX, seamY;
    std::vector<std::int64_t> boundaryEdges;
};

std::string tileRowsPath(const std::string& scratch, std::int32_t tile);
std::string tileDonePath(const std::string& scratch, std::int32_t tile);

void writeTileRecord(const std::string& path, const TileRecord& record);
// Nothing when the tile is not finished (no marker).
std::optional<TileRecord> readTileRecord(const std::string& path);

// The first repeated point of a tile: the lowest id that repeats an earlier
// point, and that earlier point. Equal points always share a tile, so the
// lowest pair over all tiles is the first pair of all points.
struct RepeatedPair {
    std::int64_t first, later;
};
std::optional<RepeatedPair> firstRepeatedPair(const std::vector<double>& x, const std::vector<double>& y,
                                              const std::vector<std::int64_t>& ids);

}  // namespace outofcore
