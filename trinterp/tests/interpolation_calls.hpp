// Helpers for the trinterp tests: calls of the built plug-in (through the
// host's loader) and of the core linked in (for its internal switches),
// Delaunay rows and exact natural-neighbour coordinates from CGAL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kept_mesh.hpp"
#include "plugin_testing.hpp"

namespace trinterp::testing {

struct Points {
    std::vector<double> x, y;
};

// The arguments of one call; XI and YI are rows unless shaped.
struct Call {
    std::vector<double> x, y;
    std::vector<double> z;       // n values (1-by-n), or zRows-by-zColumns column-major
    std::int32_t zRows = 1, zColumns = 0;
    std::vector<double> tri;     // M-by-3, column-major, 1-based
    std::int32_t triColumns = 3;
    std::vector<double> xi, yi;
    std::int32_t queryRows = 1;  // XI and YI are queryRows-by-(size / queryRows)
    std::string method;          // empty: no seventh argument

    Call& values(const std::vector<double>& v);
    Call& valueColumns(std::int32_t k, const std::vector<double>& columnMajor);
    Call& queries(const std::vector<double>& qx, const std::vector<double>& qy);
};

// Through the built plug-in, or through the core linked into the test.
ky::CallOutcome runPlugin(const Call& call);
ky::CallOutcome runCore(const Call& call);

// The call through the core keeping its mesh in kept, and a later call of
// the queries alone over kept (XI and YI as shaped in call).
ky::CallOutcome runKeeping(trinterp::KeptMesh& kept, const Call& call);
ky::CallOutcome runKept(trinterp::KeptMesh& kept, const Call& call);

std::vector<double> results(const ky::CallOutcome& outcome);
std::string errorOf(const ky::CallOutcome& outcome);

// The Delaunay triangulation's rows (CGAL, exact predicates), 1-based,
// M-by-3 column-major; rows in CGAL's order, counter-clockwise.
std::vector<double> delaunayRows(const std::vector<double>& x, const std::vector<double>& y);

// The same rows with every other one turned clockwise and the order of the
// rows reversed.
std::vector<double> scrambledRows(const std::vector<double>& tri);

// Natural-neighbour coordinates by CGAL with exact constructions, one
// vector of n per query (zero for points that are no natural neighbour);
// an empty vector for a query outside the hull.
std::vector<std::vector<double>> exactNaturalCoordinates(const Points& points, const std::vector<double>& qx,
                                                         const std::vector<double>& qy);

// Uniform random points in the unit square, and a grid, tilted by angle.
Points randomPoints(std::size_t n, std::uint64_t seed, double low = 0, double high = 1);
Points grid(int columns, int rows, double angleDegrees = 0);

}  // namespace trinterp::testing
