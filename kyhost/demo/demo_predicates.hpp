// Exact orientation and in-circle tests for points with integer coordinates
// below 2^26 (so every intermediate fits 128-bit integers).
#pragma once

#include <cstdint>

namespace ky {

struct GridPoint {
    std::int64_t x, y;
};

// Positive when a, b, c run counter-clockwise, negative when clockwise,
// zero when collinear.
inline std::int64_t orientation(GridPoint a, GridPoint b, GridPoint c)
{
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

// Sign of the in-circle determinant: positive when d lies strictly inside
// the circle through a, b, c given counter-clockwise, zero when on it.
inline int inCircle(GridPoint a, GridPoint b, GridPoint c, GridPoint d)
{
    using Wide = __int128;
    const Wide adx = a.x - d.x, ady = a.y - d.y;
    const Wide bdx = b.x - d.x, bdy = b.y - d.y;
    const Wide cdx = c.x - d.x, cdy = c.y - d.y;
    const Wide det = (adx * adx + ady * ady) * (bdx * cdy - cdx * bdy) +
                     (bdx * bdx + bdy * bdy) * (cdx * ady - adx * cdy) +
                     (cdx * cdx + cdy * cdy) * (adx * bdy - bdx * ady);
    return det > 0 ? 1 : (det < 0 ? -1 : 0);
}

}  // namespace ky
