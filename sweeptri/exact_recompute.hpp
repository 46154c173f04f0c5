// The exact Delaunay triangulation of the points, for the calls whose
// sweep result does not certify: the triangles of CGAL's
// Delaunay_triangulation_2 with exact predicates (the same diagonals on
// cocircular points), built by the insertion triangulator.
//
// Rows are strictly clockwise and 1-based. Their order is total: ascending
// top of the circumcircle (centre y + radius), then ascending centre x,
// both computed in double from the (scaled) coordinates of the corners in
// column order (CGAL's circumcentre, then the square root of the squared
// distance to the column-1 corner); rows whose key is
// not finite come last; ties go by the row's corners sorted ascending. The
// corner in column 1 is the row's smallest point number, followed by the
// other two in clockwise order. The triangles do not depend on the order of
// insertion, and the order of the rows depends only on the triangles, so
// the same points always give the same rows.
#pragma once

#include <cstdint>

namespace sweeptri {

// Triangulates the points (x[i] * 2^exponent, y[i] * 2^exponent), i < n
// (distinct, finite), and writes the rows into rows[], column-major with
// as many rows per column as there are triangles, which it returns. rows
// must hold 3 * (2n + 100) values. Running out of memory ends the call
// with the host's out-of-memory error.
std::int32_t recomputeExactly(const double* x, const double* y, std::int32_t n, int exponent, double* rows);

}  // namespace sweeptri
