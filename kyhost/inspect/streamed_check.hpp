// The exact check of a triangulation too large to hold in memory: TRI is
// read in blocks and X and Y in place (mapped), so that neither the 2^31-1
// elements of a host array nor the machine's memory bound the rows. One
// pass matches each edge with its second row as it comes, which holds only
// the edges still waiting: few where rows that share edges lie near each
// other in the file, as a sweep's and a tiler's do. Rows scattered beyond
// the memory limit are matched instead in one more pass per range of points
// the limit holds.
//
// It decides the same question as checkTriangulation, by local tests that
// need no hull and no area sum:
//  - every index names a point, no row names a point twice, no row is flat,
//    all rows run one way (the requested way, or the majority's);
//  - every edge lies in at most two rows, and an edge in two rows runs
//    opposite ways in them;
//  - the edges in one row only form one simple cycle of boundary points,
//    which turns one way at every point (or goes straight on) and winds
//    once around;
//  - every point is a corner of some row;
//  - every inner edge is locally Delaunay.
// Why the first four make a triangulation of the points' hull: cover a
// spot of the plane off all edges by the rows; the number of rows covering
// it changes only across an edge held by one row (across an edge held by
// two rows running opposite ways, one row is left and the other entered,
// since both run the same way). So the count is the winding number of the
// boundary cycle: 1 inside the convex polygon it bounds, 0 outside. The
// rows therefore tile that polygon exactly once; every point is a corner,
// so every point lies in it, and its corners are points: it is the hull.
// (A point on a hull edge but off the cycle would be a corner of rows that
// cover spots just outside the polygon.) Repeated points cannot pass
// either: two fans at one place would cover it twice.
//
// Matched as rows come, an edge's rows are closed in pairs that run
// opposite ways, and only what no pair closes is left open; an edge in
// four rows, two each way, leaves nothing open. The argument needs no
// more: across an edge the count of covering rows changes by the rows on
// one side minus those on the other, so closed pairs change nothing, and
// when the open edges form the convex cycle the rows tile the hull once.
// Then no edge lies in three or more rows (two rows on one side of it
// would cover the spots next to it twice). So the verdict is the same
// whichever way the edges were matched; the FAIL lines of a faulty TRI
// may differ (a pair closed on an edge of three rows is still tested for
// being locally Delaunay, and in the one pass each row is read by its own
// turn, in the passes by ranges by the rows' way).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "point_set.hpp"
#include "triangulation_check.hpp"

namespace ky::inspect {

// TRI read in blocks.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual std::uint64_t rows() const = 0;
    // The corners of rows first .. first + count - 1 into corners[3 * i + c],
    // as 0-based point numbers, -1 for an entry that names no point of n.
    virtual void read(std::uint64_t first, std::size_t count, std::uint64_t n, std::int64_t* corners) const = 0;
    // Row r's entries as written, "(a,b,c)", for reports.
    virtual std::string entryText(std::uint64_t row) const = 0;
};

// The inputs of a streamed check, read in place.
struct StreamedInputs {
    PointSet points;
    std::unique_ptr<RowSource> rows;
};

// One kind of fault: how many, and the first few described.
struct StreamedFaults {
    std::uint64_t count = 0;
    std::vector<std::string> first;
    void add(const std::function<std::string()>& describe);
    bool empty() const { return count == 0; }
};

struct StreamedCheck {
    std::uint64_t points = 0, rows = 0;
    int base = 1;
    RowOrientation requested = RowOrientation::Clockwise;
    RowOrientation orientation = RowOrientation::Clockwise;
    bool hullHasArea = false;
    std::uint64_t boundaryPoints = 0;  // h: points on the boundary cycle
    std::uint64_t passes = 0;          // passes over TRI after the first, for its edges
    std::uint64_t peakWaitingEdges = 0;  // where the edges were matched in the first pass: the most open at once

    StreamedFaults badIndexRows, repeatedCornerRows, misorientedRows, flatRows, unusedPoints;
    StreamedFaults repeatedPoints;  // only for points that span no area
    StreamedFaults repeatedEdges, crowdedEdges, boundaryFaults, nonDelaunayEdges;

    bool isTriangulation() const;
    bool isDelaunay() const { return isTriangulation() && nonDelaunayEdges.empty(); }
};

// The check cannot run within the memory it was given (the message has the
// figures).
class CheckMemoryTooSmall : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How far a check has come: called after every block of rows read.
struct CheckProgress {
    std::uint64_t pass = 1;  // 1: the first pass over TRI
    std::uint64_t rowsRead = 0, rows = 0;  // in this pass
};
using CheckProgressReport = std::function<void(const CheckProgress&)>;

// The least memory a check of n points can run in.
std::uint64_t leastStreamedCheckMemory(std::uint64_t n);

// Checks the rows against the points, holding at most about memoryBytes at
// once besides the mapped inputs. The coordinates must be finite (throws
// std::invalid_argument naming the first that is not); more than 2^32 - 1
// points, or too little memory, throw CheckMemoryTooSmall.
StreamedCheck checkStreamed(const PointSet& points, const RowSource& rows, RowOrientation orientation, int base,
                            std::uint64_t memoryBytes, const CheckProgressReport& progress = {});

// The report, line by line as kyhost check writes it, ending in the verdict.
void writeStreamedReport(std::ostream& out, const StreamedCheck& check);

// The verdict line alone (the same words as verdictLine for a CheckReport).
std::string streamedVerdictLine(const StreamedCheck& check);

}  // namespace ky::inspect
