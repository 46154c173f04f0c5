#include "point_location.hpp"

#include <algorithm>

#include "geometry/exact_predicates.hpp"
#include "row_buckets.hpp"

namespace trinterp {

using ky::geometry::orientationSign;

namespace {

int cornerOf(const std::int32_t* row, std::int32_t point)
{
    return row[0] == point ? 0 : row[1] == point ? 1 : 2;
}

// The sign of side j of a row as seen from the point: positive when the
// point lies on the row's side of it.
int sideSign(const Mesh& mesh, const std::int32_t* row, int j, double qx, double qy)
{
    return orientationSign(mesh.point(row[nextCorner(j)]), mesh.point(row[previousCorner(j)]), qx, qy);
}

// Side j of row r seen from the row across: that row's side running back.
int sideSeenFromAcross(const Mesh& mesh, std::int32_t r, int j, std::int32_t other)
{
    const std::int32_t from = mesh.row(r)[nextCorner(j)];
    return nextCorner(cornerOf(mesh.row(other), from));
}

// The row first in TRI around corner `corner` of row r, going round the
// point both ways until the rows close up or end at an open side.
Location lowestAroundCorner(const Mesh& mesh, std::int32_t r, int corner)
{
    const std::int32_t point = mesh.row(r)[corner];
    std::int32_t lowest = r;
    bool closed = false;
    // Counter-clockwise round the point: across the side leaving it.
    std::int32_t current = r;
    for (std::int64_t step = 0; step <= mesh.rowCount; ++step) {
        const std::int32_t next = mesh.neighbour(current, previousCorner(cornerOf(mesh.row(current), point)));
        if (next < 0) break;
        if (next == r) {
            closed = true;
            break;
        }
        if (mesh.before(next, lowest)) lowest = next;
        current = next;
    }
    if (!closed) {
        // Clockwise from r, across the side arriving at the point.
        current = r;
        for (std::int64_t step = 0; step <= mesh.rowCount; ++step) {
            const std::int32_t next = mesh.neighbour(current, nextCorner(cornerOf(mesh.row(current), point)));
            if (next < 0 || next == r) break;
            if (mesh.before(next, lowest)) lowest = next;
            current = next;
        }
    }
    Location found;
    found.kind = Location::atCorner;
    found.row = lowest;
    found.index = cornerOf(mesh.row(lowest), point);
    return found;
}

// The point lies in the closed row r, with these side signs: the location
// with the row first in TRI holding it, in a mesh whose rows around a side
// or a point are joined.
Location lowestHolding(const Mesh& mesh, std::int32_t r, const int signs[3])
{
    Location found;
    found.row = r;
    found.kind = kindInRow(signs, found.index);
    if (found.kind == Location::onSide) {
        const std::int32_t other = mesh.neighbour(r, found.index);
        if (other >= 0 && mesh.before(other, r)) {
            found.index = sideSeenFromAcross(mesh, r, found.index, other);
            found.row = other;
        }
    } else if (found.kind == Location::atCorner) {
        found = lowestAroundCorner(mesh, r, found.index);
    }
    return found;
}

}  // namespace

Location::Kind kindInRow(const int signs[3], int& index)
{
    const int zeros = (signs[0] == 0) + (signs[1] == 0) + (signs[2] == 0);
    if (zeros == 0) return Location::inside;
    if (zeros == 1) {
        index = signs[0] == 0 ? 0 : signs[1] == 0 ? 1 : 2;
        return Location::onSide;
    }
    // On two sides: at the corner they share, the one opposite neither.
    index = signs[0] != 0 ? 0 : signs[1] != 0 ? 1 : 2;
    return Location::atCorner;
}

Location walkTo(const Mesh& mesh, double qx, double qy, std::int32_t start, std::int64_t budget)
{
    std::int32_t current = start;
    int entered = -1;  // the side the walk came in by: the point lies on this row's side of it
    for (std::int64_t step = 0; step < budget; ++step) {
        const std::int32_t* row = mesh.row(current);
        int signs[3] = {1, 1, 1};
        const int first = entered < 0 ? 0 : nextCorner(entered);
        int leaveBy = -1;
        for (int k = 0; k < 3; ++k) {
            const int j = (first + k) % 3;
            if (j == entered) continue;
            signs[j] = sideSign(mesh, row, j, qx, qy);
            if (signs[j] < 0) {
                leaveBy = j;
                break;
            }
        }
        if (leaveBy < 0) {
            Location found = lowestHolding(mesh, current, signs);
            found.last = current;
            return found;
        }
        const std::int32_t next = mesh.neighbour(current, leaveBy);
        if (next < 0) {
            Location outside;
            outside.last = current;
            return outside;
        }
        entered = sideSeenFromAcross(mesh, current, leaveBy, next);
        current = next;
    }
    Location unresolved;
    unresolved.kind = Location::unresolved;
    unresolved.last = current;
    return unresolved;
}

Location searchBuckets(const Mesh& mesh, double qx, double qy)
{
    Location found;
    const RowBuckets& buckets = *mesh.buckets;
    if (!buckets.box.holds(qx, qy)) return found;
    const std::int64_t cell = buckets.cellOf(qx, qy);
    for (std::int32_t k = buckets.cellStart[cell]; k < buckets.cellStart[cell + 1]; ++k) {
        const std::int32_t r = buckets.cellRows[k];
        const std::int32_t* row = mesh.row(r);
        int signs[3];
        bool holds = true;
        for (int j = 0; j < 3 && holds; ++j) holds = (signs[j] = sideSign(mesh, row, j, qx, qy)) >= 0;
        if (!holds) continue;
        found.row = found.last = r;
        found.kind = kindInRow(signs, found.index);
        return found;
    }
    return found;
}

}  // namespace trinterp
