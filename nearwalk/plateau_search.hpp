// The search beyond a plateau: points that are all exactly as far from the
// query point as the point where a walk converged.
//
// Ties never move the walk, so a walk stops at a point whose neighbours are
// at best exactly as far from the query point as it is. Two data points a
// rounding error apart are such a plateau for every query: each is as far
// as the other, and a strictly closer point may be a neighbour of the other
// twin only. The plateau search scans the neighbours of every point of the
// plateau that can be reached through tied neighbours, so that the walk
// can move on to a strictly closer point.
#pragma once

#include <cstdint>

namespace nearwalk {

struct PlateauExit {
    std::int32_t point;  // 0-based, or -1 when no strictly closer point was found
    double distance;     // its squared distance from the query point
};

// Searches the plateau of the points at squared distance `plateau` from
// (qx, qy) that is reached from `start` through neighbours at exactly that
// distance, scanning each plateau point's neighbours in stored order. The
// scan in which a strictly closer neighbour turns up is completed, and the
// closest neighbour of that scan is returned (the first stored among equal
// ones). Every neighbour evaluation beyond those of the start's column
// (which the walk has paid for already) is charged to `budget`; the search
// ends without a result when the budget is spent before a strictly closer
// point turns up. Working memory comes from
// the host once per call (see resetPlateauSearch).
PlateauExit searchPlateau(double qx, double qy, std::int32_t start, double plateau, std::int64_t& budget);

// Forgets the working memory of an earlier call; every call starts with it.
void resetPlateauSearch();

}  // namespace nearwalk
