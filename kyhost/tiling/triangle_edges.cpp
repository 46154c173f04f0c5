#include "triangle_edges.hpp"

#include <cstdint>
#include <stdexcept>

namespace tiling {

TriangleEdges::TriangleEdges(const std::vector<std::int32_t>& rows, std::int32_t vertexCount)
    : start_(static_cast<std::size_t>(vertexCount) + 1, 0)
{
    if (rows.size() % 3 != 0) throw std::runtime_error("tiling: a triangulation returned a partial row");
    for (const std::int32_t corner : rows)
        if (corner < 0 || corner >= vertexCount)
            throw std::runtime_error("tiling: a triangulation returned a corner out of range");
    const std::int64_t triangles = static_cast<std::int64_t>(rows.size() / 3);
    if (triangles > std::int64_t{UINT32_MAX}) throw std::runtime_error("tiling: a triangulation returned 2^32 or more triangles");
    std::int32_t from[3], to[3];
    for (std::int64_t t = 0; t < triangles; ++t) {
        leftEdges(&rows[static_cast<std::size_t>(3 * t)], from, to);
        for (int e = 0; e < 3; ++e) ++start_[static_cast<std::size_t>(from[e]) + 1];
    }
    for (std::size_t v = 1; v < start_.size(); ++v) start_[v] += start_[v - 1];
    target_.resize(rows.size());
    triangle_.resize(rows.size());
    std::vector<std::int64_t> next(start_.begin(), start_.end() - 1);
    for (std::int64_t t = 0; t < triangles; ++t) {
        leftEdges(&rows[static_cast<std::size_t>(3 * t)], from, to);
        for (int e = 0; e < 3; ++e) {
            const std::int64_t slot = next[static_cast<std::size_t>(from[e])]++;
            target_[static_cast<std::size_t>(slot)] = to[e];
            triangle_[static_cast<std::size_t>(slot)] = static_cast<std::uint32_t>(t);
        }
    }
}

std::int64_t TriangleEdges::triangleLeftOf(std::int32_t from, std::int32_t to) const
{
    for (std::int64_t k = start_[static_cast<std::size_t>(from)]; k < start_[static_cast<std::size_t>(from) + 1]; ++k)
        if (target_[static_cast<std::size_t>(k)] == to) return std::int64_t{triangle_[static_cast<std::size_t>(k)]};
    return -1;
}

}  // namespace tiling
