// nearwalk: K = nearwalk(X, Y, TRI, XI, YI) or K = nearwalk(X, Y, TRI, XI,
// YI, S) finds, for every query point (XI(q), YI(q)), a nearest data point
// (X(k), Y(k)) by greedy descent over the neighbour graph of the
// triangulation TRI (or over the sparse neighbour matrix S), and returns the
// 1-based indices k in a matrix of XI's shape.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "argument_checks.hpp"
#include "band_search.hpp"
#include "coordinate_scaling.hpp"
#include "greedy_walk.hpp"
#include "kyx.h"
#include "neighbour_matrix.hpp"
#include "search_state.hpp"

namespace {

using nearwalk::searchState;

// The 0-based start index named by a 1-based corner stored as a double,
// truncated toward zero. A value that is NaN or outside the 32-bit range
// gives -1, which the range check of the walk rejects like any other index
// outside the data points.
std::int32_t startFromCorner(double corner)
{
    if (!(corner > -2147483648.0 && corner < 2147483648.0)) return -1;
    return static_cast<std::int32_t>(corner) - 1;
}

// Points whose magnitudes would make squared distances over- or underflow
// are searched in copies scaled by one power of two into the safe range;
// the answers are the same, and the call's arrays are never modified.
void scaleIntoSafeRange(std::int32_t queryCount)
{
    if (queryCount == 0) return;
    const std::int64_t n = searchState.pointCount;
    const int exponent =
        nearwalk::searchScaleExponent(searchState.x, searchState.y, n, searchState.xi, searchState.yi, queryCount);
    if (exponent == 0) return;
    searchState.x = nearwalk::scaledCopy(searchState.x, n, exponent);
    searchState.y = nearwalk::scaledCopy(searchState.y, n, exponent);
    searchState.xi = nearwalk::scaledCopy(searchState.xi, queryCount, exponent);
    searchState.yi = nearwalk::scaledCopy(searchState.yi, queryCount, exponent);
}

// The walk reads both coordinates of every point it evaluates: side by side
// they come in one cache line instead of two.
void interleavePoints()
{
    const auto n = static_cast<std::size_t>(searchState.pointCount);
    auto* xy = static_cast<double*>(kyCalloc(2 * std::max<std::size_t>(n, 1), sizeof(double)));
    for (std::size_t k = 0; k < n; ++k) {
        xy[2 * k] = searchState.x[k];
        xy[2 * k + 1] = searchState.y[k];
    }
    searchState.xy = xy;
}

}  // namespace

extern "C" KYX_EXPORT void kyxFunction(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[])
{
    nearwalk::checkArguments(outputCount, inputCount, inputs);
    const kyArray* xi = inputs[3];

    searchState.pointCount = kyGetNumberOfElements(inputs[0]);
    searchState.x = kyGetPr(inputs[0]);
    searchState.y = kyGetPr(inputs[1]);
    searchState.triangleCount = kyGetM(inputs[2]);
    searchState.tri = kyGetPr(inputs[2]);
    searchState.xi = kyGetPr(xi);
    searchState.yi = kyGetPr(inputs[4]);
    const std::int32_t queryCount = kyGetNumberOfElements(xi);

    outputs[0] = kyCreateDoubleMatrix(kyGetM(xi), kyGetN(xi), kyREAL);
    double* found = kyGetPr(outputs[0]);

    kyArray* built = inputCount == 6 ? nullptr : nearwalk::buildNeighbourMatrix();
    const kyArray* neighbours = built != nullptr ? built : inputs[5];
    nearwalk::checkNeighbourMatrix(neighbours, searchState.pointCount);
    searchState.rowIndex = kyGetIr(neighbours);
    searchState.columnStart = kyGetJc(neighbours);
    searchState.warned = false;
    nearwalk::resetBandSearch();

    if (searchState.triangleCount == 0 && queryCount > 0) kyxErrMsgTxt("No data to search.");
    if (searchState.triangleCount > 0) {
        // Finiteness is judged on the caller's values, before any scaling.
        const double* const queryX = searchState.xi;
        const double* const queryY = searchState.yi;
        scaleIntoSafeRange(queryCount);
        if (queryCount > 0) interleavePoints();
        // Each query starts from the answer to the one before it in
        // column-major order: neighbouring queries have nearby answers.
        std::int32_t start = startFromCorner(searchState.tri[0]);
        for (std::int32_t q = 0; q < queryCount; ++q) {
            // A query point with a NaN or infinite coordinate has no nearest
            // point: it gets NaN, no walk is made, and the next query starts
            // from the last real answer.
            if (!std::isfinite(queryX[q]) || !std::isfinite(queryY[q])) [[unlikely]] {
                found[q] = std::numeric_limits<double>::quiet_NaN();
                continue;
            }
            const std::int32_t answer = nearwalk::walkNearest(q, start);
            found[q] = static_cast<double>(answer) + 1.0;
            start = answer;
        }
    }

    if (built != nullptr) kyDestroyArray(built);
}
