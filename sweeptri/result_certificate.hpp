// An exact certificate that the sweep's rows are a Delaunay triangulation
// of the (possibly scaled) sites, gathered while the sweep runs.
//
// What it establishes, for sites that are distinct:
//  (a) fewer than three sites, or all on one line: there are no rows;
//  (b) otherwise every row is strictly clockwise (exact orientation < 0);
//  (c) the sides of the rows pair up: each side of each row is matched
//      with exactly one side of another row that joins the same two sites
//      in the opposite direction (so the two rows lie on opposite sides of
//      it), except the sides that are matched with none;
//  (d) the unmatched sides are exactly the edges of the hull's boundary,
//      each once, where every point on the boundary (also inside a hull
//      edge) is a boundary vertex;
//  (e) the rows number 2n - 2 - h, h the boundary points: every site is a
//      corner of some row;
//  (f) every matched side is locally Delaunay: the far corner of one row
//      does not lie strictly inside the circle through the other (exact
//      in-circle; a point on the circle passes).
//
// Why this is a Delaunay triangulation. Let c(z) count the rows whose
// interior contains the point z. Moving z across a side joins the row on
// the side's one bank and leaves the row on the other; by (b) and (c)
// every matched side has one row on each bank, so c does not change across
// it, and c can only change across an unmatched side, that is, by (d),
// across the hull's boundary, where it rises by exactly one going inwards
// (the row lies inside the hull). Since c = 0 far away, c = 1 everywhere
// inside the hull and 0 outside: the rows tile the hull without gap or
// overlap. No corner v lies inside a side of another row: inside the hull
// the rows around v close up into a fan (their sides at v are matched), so
// c would be 2 next to that side; on the boundary the side would run along
// the boundary, unmatched and yet not a hull edge. So two rows meet in a
// common side, a common corner or not at all: a triangulation of the hull
// whose vertices are sites. By Euler's formula it has 2V - 2 - h rows for
// V vertices, so (e) makes every site a vertex. A triangulation in which
// every inner edge is locally Delaunay is Delaunay (the Delaunay lemma:
// no site lies strictly inside any row's circumcircle), which (f) gives.
//
// How the sweep supplies the pairing. Each circle event writes one row and
// records the row as an end of exactly three edges: the
// bisectors of the row's three pairs of corners. An edge ends at most
// twice, so the rows that set its two ends are the two rows beside that
// Delaunay edge. The certificate therefore checks, per row, that its three
// ends go to three distinct pairs of its own corners (so each row has
// exactly three sides accounted for), that no end is ever set twice (which
// would silently drop a side), that the two rows of a completed edge run
// its sites in opposite directions and pass the in-circle test, and, once
// the sweep is done, that the edges left with one end (they stay in the
// beach line) are exactly the hull's boundary edges, and that matched and
// unmatched sides together number three per row.
#pragma once

#include <cstdint>
#include <vector>

#include "call_state.hpp"
#include "delaunay_repair.hpp"
#include "hull_cycle.hpp"
#include "sweep_state.hpp"

namespace sweeptri {

// True while a certified sweep runs: the sweep then reports its rows and
// edge ends here, and a row beyond the capacity throws SweepOverflow
// instead of ending the call.
extern SWEEPTRI_CALL_STATE bool certifying;

struct SweepOverflow {};
// Thrown out of the sweep at the first flaw that no repair can mend: a row
// that is not strictly clockwise or repeats a corner, two rows that run one
// side the same way (they overlap), more rows than a triangulation of the
// sites has, or rows whose areas add up to more than the hull's (they
// overlap too). The rows are then recomputed whatever else happens.
struct SweepAbandoned {};

// Starts gathering for a sweep over siteCount sites whose triangulation
// has rowLimit rows (2n - 2 - h, or 0 when the sites span no area) and
// whose hull's area is at most areaLimit.
void beginCertificate(std::int64_t rowLimit, double areaLimit);
// Called by emitTriangle after it wrote a row.
void certifyEmittedRow(const Site* left, const Site* right, const Site* middle);
// Called by setEdgeEnd before it records an end for the row just written;
// endWasSet tells whether that end had been recorded before.
void certifyEdgeEnd(Edge* e, bool endWasSet);
// After the sweep, with the beach line as the sweep left it: the verdict.
// Triangulation: (a) to (e) hold, and (f) for every side but those of
// sidesNotDelaunay.
enum class Verdict { Delaunay, Triangulation, Unproven };
Verdict certificateVerdict(const HullCycle& hull, std::int32_t rowCount);
bool certificateHolds(const HullCycle& hull, std::int32_t rowCount);
// The sides that failed the in-circle test, in the rows that completed them.
const std::vector<SuspectSide>& sidesNotDelaunay();
// After the sweep, with the beach line as the sweep left it: every side the
// certificate cannot vouch for as locally Delaunay, those that failed the
// in-circle test and those of bisectors left with one end (their second
// row, if any, was not seen). Null after a flaw in the sweep's bookkeeping,
// when the certificate vouches for no side.
const std::vector<SuspectSide>* unvouchedSides();
// After the sweep, with the beach line as the sweep left it: the sides of
// bisectors left with one end, each as its row runs it (from << 32 | to,
// 0-based site numbers). False after a flaw in the sweep's bookkeeping, or
// when these and the matched sides are not the rows' three sides each.
bool sidesLeftOpen(std::int32_t rowCount, std::vector<std::uint64_t>& sides);

}  // namespace sweeptri
