#include "tile_records.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>

#include "checked_files.hpp"
#include "out_of_core_options.hpp"

namespace outofcore {

namespace {

constexpr char magic[8] = {'k', 'y', 't', 'i', 'l', 'e', '1', '\n'};

template <typename T>
void put(std::vector<char>& out, const T* values, std::size_t count)
{
    const auto* bytes = reinterpret_cast<const char*>(values);
    out.insert(out.end(), bytes, bytes + count * sizeof(T));
}

template <typename T>
void take(const std::vector<char>& in, std::size_t& at, T* values, std::size_t count, const std::string& path)
{
    if (count > (in.size() - at) / sizeof(T)) throw Failure("scratch file '" + path + "' is damaged");
    std::memcpy(values, in.data() + at, count * sizeof(T));
    at += count * sizeof(T);
}

std::string numbered(const std::string& scratch, std::int32_t tile, const char* suffix)
{
    char name[40];
    std::snprintf(name, sizeof name, "/tile-%06d.%s", tile, suffix);
    return scratch + name;
}

}  // namespace

std::string tileRowsPath(const std::string& scratch, std::int32_t tile) { return numbered(scratch, tile, "rows"); }
std::string tileDonePath(const std::string& scratch, std::int32_t tile) { return numbered(scratch, tile, "done"); }

void writeTileRecord(const std::string& path, const TileRecord& record)
{
    std::vector<char> out(magic, magic + 8);
    const std::uint64_t head[4] = {record.rows, record.collinearWarned ? 1u : 0u, record.seamIds.size(), record.boundaryEdges.size()};
    put(out, head, 4);
    put(out, record.seamIds.data(), record.seamIds.size());
    put(out, record.seamX.data(), record.seamX.size());
    put(out, record.seamY.data(), record.seamY.size());
    put(out, record.boundaryEdges.data(), record.boundaryEdges.size());
    writeFileAtomically(path, out.data(), out.size());
}

std::optional<TileRecord> readTileRecord(const std::string& path)
{
    if (!fileExists(path)) return std::nullopt;
    const std::vector<char> in = readWholeFile(path);
    if (in.size() < 8 + 32 || std::memcmp(in.data(), magic, 8) != 0) throw Failure("scratch file '" + path + "' is damaged");
    std::size_t at = 8;
    std::uint64_t head[4];
    take(in, at, head, 4, path);
    TileRecord record;
    record.rows = head[0];
    record.collinearWarned = head[1] != 0;
    const auto seam = static_cast<std::size_t>(std::min<std::uint64_t>(head[2], in.size()));
    const auto edges = static_cast<std::size_t>(std::min<std::uint64_t>(head[3], in.size()));
    record.seamIds.resize(seam);
    record.seamX.resize(seam);
    record.seamY.resize(seam);
    record.boundaryEdges.resize(edges);
    take(in, at, record.seamIds.data(), seam, path);
    take(in, at, record.seamX.data(), seam, path);
    take(in, at, record.seamY.data(), seam, path);
    take(in, at, record.boundaryEdges.data(), edges, path);
    if (at != in.size() || head[2] != seam || head[3] != edges) throw Failure("scratch file '" + path + "' is damaged");
    return record;
}

std::optional<RepeatedPair> firstRepeatedPair(const std::vector<double>& x, const std::vector<double>& y,
                                              const std::vector<std::int64_t>& ids)
{
    std::vector<std::size_t> order(ids.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    // By place, then by id, so each run of equal points starts with its first.
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (x[a] != x[b]) return x[a] < x[b];
        if (y[a] != y[b]) return y[a] < y[b];
        return ids[a] < ids[b];
    });
    std::optional<RepeatedPair> best;
    std::size_t runStart = 0;
    for (std::size_t k = 1; k < order.size(); ++k) {
        if (x[order[k]] == x[order[k - 1]] && y[order[k]] == y[order[k - 1]]) {
            const RepeatedPair pair{ids[order[runStart]], ids[order[k]]};
            if (!best || pair.later < best->later) best = pair;
        } else {
            runStart = k;
        }
    }
    return best;
}

}  // namespace outofcore
