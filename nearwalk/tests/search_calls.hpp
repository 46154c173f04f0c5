// Helpers for the nearwalk tests: hand-built neighbour matrices, calls of
// the built plug-in, and a brute-force nearest point.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plugin_testing.hpp"

namespace nearwalk::testing {

// A sparse matrix with the given number of rows whose column j stores the
// 0-based row indices columns[j], in exactly that order (repeats and any
// order allowed, as a caller may pass them). Values are 1.
ky::ArrayHandle neighbourMatrix(std::int32_t rows, const std::vector<std::vector<std::int32_t>>& columns);

// The plug-in, loaded once.
kyxFunctionType plugin();

// K = nearwalk(X, Y, TRI, XI, YI[, S]) with one output.
ky::CallOutcome search(const kyArray* x, const kyArray* y, const kyArray* tri, const kyArray* xi,
                       const kyArray* yi, const kyArray* s = nullptr);

// The result of a call that must succeed, as 1-based indices.
std::vector<double> answers(const ky::CallOutcome& outcome);

// The error text of a call that must fail.
std::string errorOf(const ky::CallOutcome& outcome);

// The neighbour columns that "sparse" builds from a triangle matrix (M-by-3,
// 1-based, column-major) of n points: every other corner of every triangle,
// each once, in ascending order, 0-based.
std::vector<std::vector<std::int32_t>> triangleColumns(const std::vector<double>& tri, std::size_t n);

// Smallest squared distance from (qx, qy) to the data points.
double nearestSquaredDistance(const std::vector<double>& x, const std::vector<double>& y, double qx, double qy);

// Data points on the x axis, queries on it too; every walk starts at the
// point named by the first element of the one-row TRI.
struct Line {
    ky::ArrayHandle x;
    ky::ArrayHandle y;
    explicit Line(const std::vector<double>& xs);

    ky::CallOutcome walk(double startCorner, const std::vector<double>& queryX, const kyArray* s) const;
};

}  // namespace nearwalk::testing
