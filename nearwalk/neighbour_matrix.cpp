#include "neighbour_matrix.hpp"

#include <cstddef>
#include <cstring>

#include "kyx.h"
#include "search_state.hpp"

namespace nearwalk {

namespace {

// Fills the six M-row columns of an index matrix with copies of the TRI
// columns named (0-based), bit for bit.
void fillIndexColumns(kyArray* target, const int (&triColumns)[6])
{
    const std::size_t rows = static_cast<std::size_t>(searchState.triangleCount);
    double* out = kyGetPr(target);
    for (int c = 0; c < 6; ++c)
        if (rows != 0)
            std::memcpy(out + static_cast<std::size_t>(c) * rows,
                        searchState.tri + static_cast<std::size_t>(triColumns[c]) * rows, rows * sizeof(double));
}

kyArray* scalar(double value)
{
    kyArray* array = kyCreateDoubleMatrix(1, 1, kyREAL);
    kyGetPr(array)[0] = value;
    return array;
}

}  // namespace

kyArray* buildNeighbourMatrix()
{
    const std::int32_t rows = searchState.triangleCount;
    if (rows > maxTriangleCount)
        kyxErrMsgTxt("TRI has too many rows: the neighbor matrix would exceed the largest array size.");
    // Element k of I and element k of J form one pair: a triangle (u, v, w)
    // gives (u, v), (u, w), (v, u), (v, w), (w, u), (w, v).
    kyArray* rowIndices = kyCreateDoubleMatrix(rows, 6, kyREAL);
    fillIndexColumns(rowIndices, {0, 0, 1, 1, 2, 2});
    kyArray* columnIndices = kyCreateDoubleMatrix(rows, 6, kyREAL);
    fillIndexColumns(columnIndices, {1, 2, 0, 2, 0, 1});
    kyArray* value = scalar(1.0);
    kyArray* rowCount = scalar(static_cast<double>(searchState.pointCount));
    kyArray* columnCount = scalar(static_cast<double>(searchState.pointCount));

    kyArray* result[1] = {nullptr};
    kyArray* arguments[5] = {rowIndices, columnIndices, value, rowCount, columnCount};
    kyxCallKarvel(1, result, 5, arguments, "sparse");  // a failure does not return
    for (kyArray* argument : arguments) kyDestroyArray(argument);
    return result[0];
}

}  // namespace nearwalk
