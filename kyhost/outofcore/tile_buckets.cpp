#include "tile_buckets.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "checked_files.hpp"
#include "out_of_core_options.hpp"

namespace outofcore {

namespace {

constexpr std::int64_t chunkPoints = 1 << 20;

void putGap(std::vector<unsigned char>& out, std::uint64_t gap)
{
    while (gap >= 0x80) {
        out.push_back(static_cast<unsigned char>(gap | 0x80));
        gap >>= 7;
    }
    out.push_back(static_cast<unsigned char>(gap));
}

void putDouble(std::vector<unsigned char>& out, double value)
{
    unsigned char bytes[8];
    std::memcpy(bytes, &value, 8);
    out.insert(out.end(), bytes, bytes + 8);
}

std::string pointText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

}  // namespace

std::string bucketPath(const std::string& scratch, std::int32_t tile)
{
    char name[32];
    std::snprintf(name, sizeof name, "/tile-%06d.points", tile);
    return scratch + name;
}

std::vector<std::int64_t> writeBuckets(const double* x, const double* y, std::int64_t n, const tiling::TilePlan& plan,
                                       const std::string& scratch, std::uint64_t bufferBytes, int messageBase,
                                       const std::function<void(std::int64_t)>& afterChunk)
{
    const auto tiles = static_cast<std::int32_t>(plan.cells.size());
    for (std::int32_t t = 0; t < tiles; ++t) removeFile(bucketPath(scratch, t));
    const std::size_t batchBytes = std::max<std::size_t>(4096, static_cast<std::size_t>(bufferBytes / static_cast<std::uint64_t>(tiles)));
    std::vector<std::vector<unsigned char>> batches(static_cast<std::size_t>(tiles));
    std::vector<std::int64_t> lastId(static_cast<std::size_t>(tiles), -1);
    std::vector<std::int64_t> counts(static_cast<std::size_t>(tiles), 0);
    const auto flush = [&](std::int32_t t) {
        auto& batch = batches[static_cast<std::size_t>(t)];
        if (batch.empty()) return;
        appendToFile(bucketPath(scratch, t), batch.data(), batch.size());
        batch.clear();
    };
    for (std::int64_t start = 0; start < n; start += chunkPoints) {
        const std::int64_t end = std::min(n, start + chunkPoints);
        for (std::int64_t i = start; i < end; ++i) {
            const double px = x[i], py = y[i];
            if (!std::isfinite(px) || !std::isfinite(py))
                throw Refusal("point " + std::to_string(i + messageBase) + " is not finite: (" + pointText(px) + ", " + pointText(py) + ")");
            const std::int32_t t = plan.tileOf(px, py);
            auto& batch = batches[static_cast<std::size_t>(t)];
            putGap(batch, static_cast<std::uint64_t>(i - lastId[static_cast<std::size_t>(t)]));
            putDouble(batch, px);
            putDouble(batch, py);
            lastId[static_cast<std::size_t>(t)] = i;
            ++counts[static_cast<std::size_t>(t)];
            if (batch.size() >= batchBytes) flush(t);
        }
        afterChunk(end);
    }
    for (std::int32_t t = 0; t < tiles; ++t) flush(t);
    return counts;
}

TilePoints readBucket(const std::string& scratch, std::int32_t tile)
{
    TilePoints points;
    const std::string path = bucketPath(scratch, tile);
    if (!fileExists(path)) return points;
    const std::vector<char> bytes = readWholeFile(path);
    std::size_t at = 0;
    std::int64_t id = -1;
    while (at < bytes.size()) {
        std::uint64_t gap = 0;
        for (int shift = 0;; shift += 7) {
            if (at >= bytes.size() || shift > 63) throw Failure("scratch file '" + path + "' is damaged");
            const auto byte = static_cast<unsigned char>(bytes[at++]);
            gap |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
            if ((byte & 0x80) == 0) break;
        }
        if (gap == 0 || at + 16 > bytes.size()) throw Failure("scratch file '" + path + "' is damaged");
        id += static_cast<std::int64_t>(gap);
        double px, py;
        std::memcpy(&px, bytes.data() + at, 8);
        std::memcpy(&py, bytes.data() + at + 8, 8);
        at += 16;
        points.ids.push_back(id);
        points.x.push_back(px);
        points.y.push_back(py);
    }
    return points;
}

}  // namespace outofcore
