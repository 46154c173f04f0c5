#include "run_estimates.hpp"

#include <algorithm>

#include "row_encoding.hpp"
#include "tile_buckets.hpp"

namespace outofcore {

std::uint64_t planBytes(std::int64_t n)
{
    // planTiles copies its sample (at most 2^20 points) and sorts it.
    return static_cast<std::uint64_t>(std::min<std::int64_t>(n, std::int64_t{1} << 20)) * 40;
}

std::uint64_t bucketBufferBytes(std::uint64_t memoryLimit) { return std::min<std::uint64_t>(memoryLimit / 8, 64ull << 20); }

std::uint64_t tileBytes(std::int64_t m) { return static_cast<std::uint64_t>(m) * tileBytesPerPoint; }

std::uint64_t seamBytes(std::int64_t points, std::int64_t edges)
{
    return static_cast<std::uint64_t>(std::max<std::int64_t>(points, 0)) * seamBytesPerPoint +
           static_cast<std::uint64_t>(std::max<std::int64_t>(edges, 0)) * seamBytesPerEdge;
}

static std::uint64_t fixedBytes(std::int64_t n, std::uint64_t memoryLimit) { return planBytes(n) + bucketBufferBytes(memoryLimit); }

std::int64_t tilePointsFor(std::int64_t n, std::uint64_t memoryLimit)
{
    const std::uint64_t fixed = fixedBytes(n, memoryLimit);
    if (fixed >= memoryLimit) return 0;
    for (std::int64_t points = largestTilePoints; points >= smallestTilePoints; points /= 2)
        if (tileBytes(points + points / 4) <= memoryLimit - fixed) return points;
    return 0;
}

int workersFor(int requested, std::int64_t largestTile, std::int64_t n, std::uint64_t memoryLimit)
{
    const std::uint64_t fixed = fixedBytes(n, memoryLimit);
    const std::uint64_t each = std::max<std::uint64_t>(1, tileBytes(largestTile));
    if (fixed + each > memoryLimit) return 0;
    const std::uint64_t fit = (memoryLimit - fixed) / each;
    return static_cast<int>(std::min<std::uint64_t>(static_cast<std::uint64_t>(requested), fit));
}

std::uint64_t outputBytes(std::int64_t n, IndexType index)
{
    return npyHeaderBytes + static_cast<std::uint64_t>(std::max<std::int64_t>(n, 0)) * 6 * entryBytes(index);
}

std::uint64_t diskBytesNeeded(std::int64_t n, IndexType index, bool bucketsWritten, std::uint64_t outputWritten,
                              std::int64_t tilePoints, int workers)
{
    const auto points = static_cast<std::uint64_t>(n);
    const std::uint64_t buckets = bucketsWritten ? 0 : points * bucketBytesPerPoint;
    const std::uint64_t output = outputBytes(n, index) - std::min(outputBytes(n, index), outputWritten);
    const std::uint64_t inFlight = static_cast<std::uint64_t>(workers + 1) * static_cast<std::uint64_t>(tilePoints) * 6 * entryBytes(index);
    const std::uint64_t seamRecords = points / 10 * 40;  // a tenth of the points in U, with their edges
    return std::max(buckets, output) + inFlight + seamRecords;
}

}  // namespace outofcore
