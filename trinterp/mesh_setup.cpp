#include "mesh_setup.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "geometry/exact_predicates.hpp"
#include "ky.h"
#include "row_table.hpp"
#include "working_memory.hpp"

namespace trinterp {

using ky::geometry::strictlyInsideCircle;

namespace {

Box boundsOf(const double* x, const double* y, std::int32_t n)
{
    if (n == 0) return {0, 0, 0, 0};
    Box box{x[0], y[0], x[0], y[0]};
    for (std::int32_t k = 1; k < n; ++k)
        box = {std::min(box.lowX, x[k]), std::min(box.lowY, y[k]), std::max(box.highX, x[k]), std::max(box.highY, y[k])};
    return box;
}

}  // namespace

void buildMesh(const double* x, const double* y, std::int32_t n, const double* tri, std::int32_t rowCount)
{
    Mesh& mesh = interpolationCall.mesh;
    mesh = Mesh{};
    const Box all = boundsOf(x, y, n);
    mesh.curveBox = all;
    const NumberedRows numbered = numberRows(tri, rowCount, x, y, n, all);
    mesh.pointCount = numbered.pointCount;
    mesh.originalPoint = numbered.originalPoint;
    auto* xy = takeWritten<double>(2 * std::int64_t{mesh.pointCount});
    for (std::int32_t k = 0; k < mesh.pointCount; ++k) {
        const std::int32_t p = mesh.originalPoint[k];
        xy[2 * std::int64_t{k}] = x[p];
        xy[2 * std::int64_t{k} + 1] = y[p];
    }
    mesh.xy = xy;
    mesh.rowCount = rowCount;
    orientRows(numbered.rows, rowCount, xy);
    const bool sidesPaired = joinRows(numbered.rows, numbered.rowNumber, rowCount, mesh.pointCount);
    mesh.rows = numbered.rows;
    mesh.rowNumber = numbered.rowNumber;

    constexpr double infinity = std::numeric_limits<double>::infinity();
    mesh.box = {infinity, infinity, -infinity, -infinity};
    mesh.firstRow = -1;
    interpolationCall.anyFlatRow = false;
    for (std::int32_t r = 0; r < rowCount; ++r) {
        if (mesh.flat(r)) {
            interpolationCall.anyFlatRow = true;
            continue;
        }
        if (mesh.firstRow < 0) mesh.firstRow = r;
        for (const std::int32_t corner : mesh.rows[r].corner) {
            const double* p = mesh.point(corner);
            mesh.box = {std::min(mesh.box.lowX, p[0]), std::min(mesh.box.lowY, p[1]), std::max(mesh.box.highX, p[0]),
                        std::max(mesh.box.highY, p[1])};
        }
    }
    mesh.convex = mesh.firstRow >= 0 && sidesPaired && boundaryIsConvexLoop(mesh);
}

bool rowsAreDelaunay()
{
    const Mesh& mesh = interpolationCall.mesh;
    if (!mesh.convex || interpolationCall.anyFlatRow) return false;
    for (std::int32_t r = 0; r < mesh.rowCount; ++r) {
        const std::int32_t* row = mesh.row(r);
        for (int j = 0; j < 3; ++j) {
            const std::int32_t other = mesh.neighbour(r, j);
            if (other < r) continue;  // each inner side once (and no side without a row across)
            // The far corner of the row across: the one not on the shared side.
            const std::int32_t* across = mesh.row(other);
            const std::int32_t shared0 = row[nextCorner(j)], shared1 = row[previousCorner(j)];
            std::int32_t far = across[0];
            for (int k = 0; k < 3; ++k)
                if (across[k] != shared0 && across[k] != shared1) far = across[k];
            const double* p = mesh.point(far);
            if (strictlyInsideCircle(mesh.point(row[0]), mesh.point(row[1]), mesh.point(row[2]), p[0], p[1]))
                return false;
        }
    }
    return true;
}

}  // namespace trinterp
