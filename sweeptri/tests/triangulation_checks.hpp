// Helpers of the sweeptri tests: calling the built plug-in on coordinate
// vectors, and independent checks of a triangulation with CGAL.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace sweeptri::testing {

using Row = std::array<int, 3>;  // 1-based point positions, as returned

struct Triangulation {
    std::vector<Row> rows;
    std::vector<std::string> warnings;
    std::optional<std::string> error;
};

// Calls the built plug-in with X = x and Y = y (both 1-by-n), with the
// "sorted" option when asked.
Triangulation triangulate(const std::vector<double>& x, const std::vector<double>& y, bool sorted = false);

// The same triangle as the same corners in the same cyclic order, starting
// at the smallest position.
Row canonical(Row row);

// CGAL's Delaunay triangles, clockwise and canonical, sorted.
std::vector<Row> cgalDelaunay(const std::vector<double>& x, const std::vector<double>& y);

// Our rows, canonical and sorted.
std::vector<Row> canonicalSet(const std::vector<Row>& rows);

// Number of points on the convex hull (corners only).
int hullCorners(const std::vector<double>& x, const std::vector<double>& y);

// True when the rows are a Delaunay triangulation of the points, by the
// project's independent exact check (the one behind `kyhost check`).
bool exactlyDelaunay(const std::vector<double>& x, const std::vector<double>& y, const std::vector<Row>& rows);

// True when every row's corners run clockwise (exact predicate).
bool allClockwise(const std::vector<Row>& rows, const std::vector<double>& x, const std::vector<double>& y);

// Uniform random points in the unit square, without repeats.
void randomPoints(unsigned seed, int n, std::vector<double>& x, std::vector<double>& y);

}  // namespace sweeptri::testing
