// Triangles for the parts of the hull that rows leave uncovered.
//
// Where the sweep counts nearly parallel bisectors as parallel, it drops
// the thin triangles they would have closed: along a nearly straight hull
// (tilted grids and lines) pockets open between the rows' outline and the
// hull, and beside nearly collinear points inside, holes. The rows that
// are there can still be right. The uncovered region is bounded by the
// sides that the rows leave unmatched and by the hull edges no row covers;
// its triangles come from a constrained triangulation of that boundary
// (and of any point no row uses) with exact predicates.
#pragma once

#include <cstdint>
#include <vector>

namespace sweeptri {

// A directed side from point `from` to point `to` (0-based).
struct DirectedSide {
    std::int32_t from;
    std::int32_t to;
};

// Appends to rows (three 0-based corners a row, clockwise) the triangles of
// the region bounded by the given sides, each run with the region on its
// right, using as corners the sides' ends and the loose points (points that
// no row uses). Point i lies at (xy[2i], xy[2i + 1]). A triangle is taken
// where an odd number of sides separate it from far away. Returns false when
// the sides overlap or cross.
bool fillRegion(const std::vector<DirectedSide>& boundary, const std::vector<std::int32_t>& loosePoints,
                const double* xy, std::vector<std::int32_t>& rows);

}  // namespace sweeptri
