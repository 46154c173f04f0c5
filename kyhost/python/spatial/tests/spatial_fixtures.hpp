// Point sets for the tests of the searches: Delaunay rows from CGAL (the
// oracle), search indexes over them, and brute force in exact arithmetic.
#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "point_location.hpp"
#include "triangulation_index.hpp"

namespace spatial_test {

struct Points {
    std::vector<double> x, y;
};

// The Delaunay triangulation of the points (distinct, finite) as clockwise
// 0-based rows; none when they lie on one line or are fewer than 3.
std::vector<std::int32_t> delaunayRows(const Points& points);

// A search index over points and their Delaunay rows, with what it refers
// to kept alongside.
struct Indexed {
    Points points;
    std::vector<std::int32_t> rows;
    std::unique_ptr<kyhost_spatial::TriangulationIndex> index;
};
std::unique_ptr<Indexed> indexed(Points points);

// Point location over an index, with coarser levels of every `ratio`-th
// point (by a fixed pseudo-random choice) down to a few points.
std::unique_ptr<kyhost_spatial::PointLocation> locator(const Indexed& set, int ratio = 8);

mpq_class exactSquaredDistance(double px, double py, double qx, double qy);

// n pseudo-random doubles uniform in [low, high).
std::vector<double> uniform(std::size_t n, double low, double high, unsigned seed);

}  // namespace spatial_test
