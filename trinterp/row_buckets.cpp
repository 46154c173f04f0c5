#include "row_buckets.hpp"

#include <cmath>

#include "ky.h"

namespace trinterp {

namespace {

struct CellRange {
    std::int32_t column0, column1, line0, line1;
};

CellRange rangeOf(const RowBuckets& buckets, const Mesh& mesh, const std::int32_t* row)
{
    const double* a = mesh.point(row[0]);
    const double* b = mesh.point(row[1]);
    const double* c = mesh.point(row[2]);
    return {buckets.column(std::min({a[0], b[0], c[0]})), buckets.column(std::max({a[0], b[0], c[0]})),
            buckets.line(std::min({a[1], b[1], c[1]})), buckets.line(std::max({a[1], b[1], c[1]}))};
}

std::int64_t cellCount(const CellRange& range)
{
    return std::int64_t{range.column1 - range.column0 + 1} * (range.line1 - range.line0 + 1);
}

void setGrid(RowBuckets& buckets, std::int32_t columns, std::int32_t lines)
{
    buckets.columns = columns;
    buckets.cellRows_ = lines;
    const double width = buckets.box.highX - buckets.box.lowX, height = buckets.box.highY - buckets.box.lowY;
    buckets.scaleX = width > 0 ? columns / width : 0;
    buckets.scaleY = height > 0 ? lines / height : 0;
}

}  // namespace

const RowBuckets* buildRowBuckets(const Mesh& mesh)
{
    auto* buckets = static_cast<RowBuckets*>(kyCalloc(1, sizeof(RowBuckets)));
    buckets->box = mesh.box;
    std::int64_t rows = 0;
    for (std::int32_t r = 0; r < mesh.rowCount; ++r) rows += !mesh.flat(r);
    // The mesh's rows in TRI's order, so that each cell lists them so.
    auto* inTriOrder = static_cast<std::int32_t*>(kyCalloc(static_cast<std::size_t>(std::max(mesh.rowCount, 1)), sizeof(std::int32_t)));
    for (std::int32_t r = 0; r < mesh.rowCount; ++r) inTriOrder[mesh.rowNumber[r]] = r;

    // About one cell per row, shaped like the box.
    const double width = mesh.box.highX - mesh.box.lowX, height = mesh.box.highY - mesh.box.lowY;
    const double aspect = width > 0 && height > 0 ? width / height : 1;
    const double target = static_cast<double>(std::max<std::int64_t>(rows, 1));
    auto columns = static_cast<std::int32_t>(std::clamp(std::ceil(std::sqrt(target * aspect)), 1.0, target));
    auto lines = static_cast<std::int32_t>(std::clamp(std::ceil(target / columns), 1.0, target));
    const std::int64_t limit = std::min<std::int64_t>(16 * rows + (1 << 20), std::int64_t{1} << 30);
    for (;;) {
        setGrid(*buckets, columns, lines);
        std::int64_t listed = 0;
        for (std::int32_t r = 0; r < mesh.rowCount && listed <= limit; ++r)
            if (!mesh.flat(r)) listed += cellCount(rangeOf(*buckets, mesh, mesh.row(r)));
        if (listed <= limit || (columns == 1 && lines == 1)) break;
        columns = std::max(1, columns / 2);
        lines = std::max(1, lines / 2);
    }

    const std::int64_t cells = std::int64_t{columns} * lines;
    auto* start = static_cast<std::int32_t*>(kyCalloc(static_cast<std::size_t>(cells + 1), sizeof(std::int32_t)));
    for (std::int32_t r = 0; r < mesh.rowCount; ++r) {
        if (mesh.flat(r)) continue;
        const CellRange range = rangeOf(*buckets, mesh, mesh.row(r));
        for (std::int32_t line = range.line0; line <= range.line1; ++line)
            for (std::int32_t column = range.column0; column <= range.column1; ++column)
                ++start[std::int64_t{line} * columns + column + 1];
    }
    for (std::int64_t cell = 0; cell < cells; ++cell) start[cell + 1] += start[cell];
    auto* listed = static_cast<std::int32_t*>(kyCalloc(static_cast<std::size_t>(std::max(start[cells], 1)), sizeof(std::int32_t)));
    auto* fill = static_cast<std::int32_t*>(kyCalloc(static_cast<std::size_t>(cells), sizeof(std::int32_t)));
    for (std::int32_t k = 0; k < mesh.rowCount; ++k) {
        const std::int32_t r = inTriOrder[k];
        if (mesh.flat(r)) continue;
        const CellRange range = rangeOf(*buckets, mesh, mesh.row(r));
        for (std::int32_t line = range.line0; line <= range.line1; ++line)
            for (std::int32_t column = range.column0; column <= range.column1; ++column) {
                const std::int64_t cell = std::int64_t{line} * columns + column;
                listed[start[cell] + fill[cell]++] = r;
            }
    }
    kyFree(fill);
    kyFree(inTriOrder);
    buckets->cellStart = start;
    buckets->cellRows = listed;
    return buckets;
}

}  // namespace trinterp
