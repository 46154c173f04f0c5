// What an out-of-core triangulation is asked to do, and what it reports.
// The engine (out_of_core_run.hpp) takes the coordinates as plain arrays,
// usually memory mappings of .npy files, and writes the rows to one .npy
// file through a scratch folder beside it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>

#include "tiled_delaunay.hpp"

namespace outofcore {

enum class IndexType { Float64, Int64, Int32 };

struct Options {
    std::string outPath;                   // TRI.npy; TRI.npy.partial and TRI.npy.scratch/ beside it
    std::uint64_t memoryLimit = 2ull << 30;
    int workers = 1;                       // -1: all processors (capped by the memory limit)
    IndexType index = IndexType::Float64;
    int base = 1;                          // 0 or 1
    bool clockwise = true;
    bool resume = false;
    std::int64_t tilePoints = 0;           // 0: the largest power of two up to 2^19 that fits the limit
    std::FILE* progress = nullptr;         // a progress line every progressSeconds, or nothing
    double progressSeconds = 5;
    tiling::TileTriangulator triangulate;  // empty: the package's thread-safe sweep
    // The coordinates are read-only file mappings whose pages may be dropped
    // once read (keeps the run's resident memory small); never for memory
    // that is not a file mapping.
    bool releaseInputPages = false;
    // Runs each stretch of code that reads the coordinates (the plan, the
    // bucketing pass): a front end can guard its mappings there. Only
    // RAII-free state of the run lies across it. Empty: called directly.
    std::function<void(const std::function<void()>&)> guardInput;
    int messageBase = 1;                   // points named in messages count from this
    // The largest index value an int32 file can hold; lowered by tests only.
    std::int64_t int32Largest = INT32_MAX;
    // Levels of the split tree per seam round; lowered by tests only.
    int seamRoundLevels = tiling::seamRoundLevels;
};

struct Report {
    std::int64_t points = 0;
    std::int64_t rows = 0;
    std::int32_t tiles = 0;
    std::int32_t tilesResumed = 0;         // finished by an earlier run and not redone
    std::int64_t seamPoints = 0;
    std::int32_t seamRounds = 0;           // rounds the seams were joined in
    std::int64_t tilePoints = 0;
    int workers = 0;                       // threads the tiles ran on
    std::uint64_t peakScratchBytes = 0;
    std::uint64_t outputBytes = 0;
    double seconds = 0;
    bool collinearWarned = false;          // a tile's sweep warned that its points are collinear
};

// A run refused before it writes anything (disk space, memory limit, index
// range, repeated or non-finite points, a scratch folder of another run):
// the command exits with status 2.
class Refusal : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A run that failed on its way (a failed read or write, a tile the
// triangulator refused): the command exits with status 1. The scratch
// folder is kept, so --resume goes on from what was finished.
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace outofcore
