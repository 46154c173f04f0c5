// The seams joined in rounds up the split tree. A round at a node C joins
// the seam points of the tiles below it (or of the rounds below it): every
// triangle whose disk lies inside C's open cell is finished there, and only
// the points along C's own border go up (see seam_rows.cpp). The border of
// a cell of k tiles holds about sqrt(k) tiles' worth of seam points, so a
// round holds the seams of at most 2^levelsPerRound tiles, whatever the
// number of tiles; the root's round finishes everything that is left, so
// the rounds end after height / levelsPerRound + 1 of them.
#include <algorithm>
#include <limits>
#include <stdexcept>

#include "tiled_delaunay.hpp"

namespace tiling {

namespace {

template <class T>
void append(std::vector<T>& to, std::vector<T>&& from)
{
    if (to.empty()) {
        to = std::move(from);
        return;
    }
    to.insert(to.end(), from.begin(), from.end());
    std::vector<T>().swap(from);
}

void append(SeamPart& to, SeamPart&& from)
{
    append(to.u.x, std::move(from.u.x));
    append(to.u.y, std::move(from.u.y));
    append(to.u.ids, std::move(from.u.ids));
    append(to.boundaryEdges, std::move(from.boundaryEdges));
}

constexpr double inf = std::numeric_limits<double>::infinity();

struct Walk {
    const TilePlan& plan;
    const std::function<SeamPart(std::int32_t)>& tilePart;
    const std::function<void(std::int64_t, std::int64_t)>& beforeRound;
    const std::function<void(std::vector<std::int64_t>&&)>& emit;
    const TileTriangulator& triangulate;
    int levelsPerRound;

    SeamPart round(const Cell* cell, SeamPart&& part)
    {
        if (beforeRound)
            beforeRound(static_cast<std::int64_t>(part.u.ids.size()), static_cast<std::int64_t>(part.boundaryEdges.size() / 2));
        SeamJoin join = joinSeams(cell, std::move(part.u), std::move(part.boundaryEdges), triangulate);
        emit(std::move(join.rows));
        return {std::move(join.up), std::move(join.boundaryEdges)};
    }

    // The node's seam part and its height (0 for a tile).
    std::pair<SeamPart, int> visit(std::int32_t node, const Cell& cell)
    {
        if (node < 0) return {tilePart(-node - 1), 0};
        const TilePlan::Split& split = plan.splits[static_cast<std::size_t>(node)];
        Cell low = cell, high = cell;
        (split.byX ? low.xmax : low.ymax) = split.at;
        (split.byX ? high.xmin : high.ymin) = split.at;
        auto [part, lowHeight] = visit(split.low, low);
        auto [highPart, highHeight] = visit(split.high, high);
        append(part, std::move(highPart));
        const int height = std::max(lowHeight, highHeight) + 1;
        if (node != 0 && height % levelsPerRound == 0) part = round(&cell, std::move(part));
        return {std::move(part), height};
    }
};

int heightOf(const TilePlan& plan, std::int32_t node, std::vector<int>& heights)
{
    if (node < 0) return 0;
    const TilePlan::Split& split = plan.splits[static_cast<std::size_t>(node)];
    const int height = std::max(heightOf(plan, split.low, heights), heightOf(plan, split.high, heights)) + 1;
    heights[static_cast<std::size_t>(node)] = height;
    return height;
}

void markTiles(const TilePlan& plan, std::int32_t node, std::int32_t round, const std::vector<int>& heights,
               int levelsPerRound, std::vector<std::int32_t>& of)
{
    if (node < 0) {
        of[static_cast<std::size_t>(-node - 1)] = round;
        return;
    }
    const TilePlan::Split& split = plan.splits[static_cast<std::size_t>(node)];
    // Lower nodes with a round of their own take their tiles' first round.
    markTiles(plan, split.low, heights[static_cast<std::size_t>(node)] % levelsPerRound == 0 ? node : round, heights, levelsPerRound, of);
    markTiles(plan, split.high, heights[static_cast<std::size_t>(node)] % levelsPerRound == 0 ? node : round, heights, levelsPerRound, of);
}

}  // namespace

void joinSeamsInRounds(const TilePlan& plan, const std::function<SeamPart(std::int32_t tile)>& tilePart,
                       const std::function<void(std::int64_t points, std::int64_t edges)>& beforeRound,
                       const std::function<void(std::vector<std::int64_t>&& rows)>& emit,
                       const TileTriangulator& triangulate, int levelsPerRound)
{
    if (levelsPerRound < 1) throw std::invalid_argument("tiling: a seam round spans at least one level");
    Walk walk{plan, tilePart, beforeRound, emit, triangulate, levelsPerRound};
    const Cell plane{-inf, -inf, inf, inf};
    if (plan.splits.empty()) {
        walk.round(nullptr, tilePart(0));
        return;
    }
    walk.round(nullptr, walk.visit(0, plane).first);
}

std::vector<std::int32_t> firstRoundOf(const TilePlan& plan, int levelsPerRound)
{
    if (levelsPerRound < 1) throw std::invalid_argument("tiling: a seam round spans at least one level");
    std::vector<std::int32_t> of(plan.cells.size(), 0);
    if (plan.splits.empty()) return of;
    std::vector<int> heights(plan.splits.size(), 0);
    heightOf(plan, 0, heights);
    markTiles(plan, 0, 0, heights, levelsPerRound, of);
    return of;
}

}  // namespace tiling
