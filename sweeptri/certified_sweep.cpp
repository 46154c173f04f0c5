#include "certified_sweep.hpp"

#include <cstdio>
#include <new>

#include "call_state.hpp"
#include "delaunay_repair.hpp"
#include "exact_recompute.hpp"
#include "hull_cycle.hpp"
#include "pocket_check.hpp"
#include "host_services.hpp"
#include "beach_line.hpp"
#include "result_certificate.hpp"
#include "sweep_blocks.hpp"
#include "sweep_state.hpp"
#include "triangle_buffer.hpp"
#include "triangulate_call.hpp"

namespace sweeptri {

SWEEPTRI_CALL_STATE bool certificateEnabled = true;
SWEEPTRI_CALL_STATE CertifiedPath lastCertifiedPath = CertifiedPath::Certified;
SWEEPTRI_CALL_STATE void (*beforeCoordinatesAreReadAgain)() = nullptr;

namespace {

// Keeps the sweep's hooks on for exactly the sweep, also when the call
// ends in a host error inside it.
struct CertifyingScope {
    CertifyingScope() { certifying = true; }
    ~CertifyingScope() { certifying = false; }
    CertifyingScope(const CertifyingScope&) = delete;
    CertifyingScope& operator=(const CertifyingScope&) = delete;
};

enum class Outcome { Certified, Triangulated, Written, Abandoned };

// The repairs and the recomputation read the caller's coordinates again.
// The caller's arrays may be a mapped file that is truncated while the call
// runs; the fault then ends the call by a jump, which skips the destructors
// of whatever is live. So each reads them into host blocks first, which the
// host reclaims, while nothing else of theirs is live.
void announceRereading()
{
    if (beforeCoordinatesAreReadAgain != nullptr) beforeCoordinatesAreReadAgain();
}

// The sweep under the certificate. The hull's boundary comes first: the
// sweep hands finished sites back to the Site pool, which overwrites their
// coordinates; and its size bounds the rows.
Outcome sweepAndCertify(HullCycle& hull)
{
    hull = findHullCycle(siteArray, siteCount);
    const auto boundary = static_cast<std::int64_t>(hull.points.size());
    beginCertificate(hull.hasArea() ? 2 * static_cast<std::int64_t>(siteCount) - 2 - boundary : 0, hull.areaBound);
    {
        CertifyingScope scope;
        try {
            sweepSiteArray();
        } catch (const SweepOverflow&) {
            return Outcome::Abandoned;
        } catch (const SweepAbandoned&) {
            return Outcome::Abandoned;
        }
    }
    switch (certificateVerdict(hull, triangleCount)) {
    case Verdict::Delaunay: return Outcome::Certified;
    case Verdict::Triangulation: return Outcome::Triangulated;
    case Verdict::Unproven: break;
    }
    return Outcome::Written;
}

void certifiedRows(kyArray* result, const double* x, const double* y, int scaleExponent)
{
    if (!certificateEnabled) {
        sweepSiteArray();
        trimTriangleBuffer(result, triangleCapacity, triangleCount);
        return;
    }
    try {
        HullCycle hull;
        const Outcome outcome = sweepAndCertify(hull);
        if (outcome == Outcome::Certified) {
            trimTriangleBuffer(result, triangleCapacity, triangleCount);
            lastCertifiedPath = CertifiedPath::Certified;
            return;
        }
        if (outcome == Outcome::Triangulated) {
            // A triangulation with some sides not locally Delaunay: where the
            // certificate proved it, only the sides it found not Delaunay,
            // and those of rows the flips rewrite, need testing.
            trimTriangleBuffer(result, triangleCapacity, triangleCount);
            giveBackAllSweepBlocks();
            announceRereading();
            if (repairByFlips(kyGetPr(result), triangleCount, x, y, siteCount, scaleExponent, hull,
                              &sidesNotDelaunay())) {
                lastCertifiedPath = CertifiedPath::Flipped;
                return;
            }
        } else if (outcome == Outcome::Written) {
            // Rows whose bookkeeping did not add up may still be right, or
            // may leave pockets along a nearly straight hull or holes: they
            // are checked, completed and flipped.
            const std::vector<SuspectSide>* suspects = unvouchedSides();
            // Kept where a jump out of the call leaves nothing to free.
            static SWEEPTRI_CALL_STATE std::vector<std::uint64_t> open;
            const bool openKnown = sidesLeftOpen(triangleCount, open);
            trimTriangleBuffer(result, triangleCapacity, triangleCount);
            giveBackAllSweepBlocks();
            announceRereading();
            // Where the outline of what the rows leave uncovered already
            // shows that the completion must fail, reading and matching
            // every row for it is skipped.
            const bool hopeless = openKnown && completionCertainToFail(kyGetPr(result), triangleCount, x, y,
                                                                       siteCount, scaleExponent, hull, open);
            const std::int32_t rows = hopeless ? -1
                                               : completeAndRepair(kyGetPr(result), triangleCount, triangleCapacity,
                                                                   x, y, siteCount, scaleExponent, hull, suspects);
            if (rows >= 0) {
                lastCertifiedPath = rows == triangleCount ? CertifiedPath::Flipped : CertifiedPath::Completed;
                triangleCount = rows;
                kySetM(result, rows);
                return;
            }
        }
    } catch (const std::bad_alloc&) {
        kyxErrMsgTxt("Out of memory.");
    }
    // Nothing reads the sweep's records and tables after the sweep (the
    // certificate's findings are copied out first): their memory goes to the
    // repairs and the recomputation, so that those do not raise the peak.
    giveBackAllSweepBlocks();
    lastCertifiedPath = CertifiedPath::Recomputed;
    announceRereading();
    triangleCount = recomputeExactly(x, y, siteCount, scaleExponent, kyGetPr(result));
    kySetM(result, triangleCount);
}

}  // namespace

void sweepCertified(kyArray* result, const double* x, const double* y, int scaleExponent)
{
    certifiedRows(result, x, y, scaleExponent);
#ifdef SWEEPTRI_VERIFY_SEARCH
    // Verification builds name every call whose kept rows came from a
    // search that the index answered unlike the walk.
    if (beachSearchStats.disagreements > 0 && lastCertifiedPath != CertifiedPath::Recomputed)
        std::fprintf(stderr, "sweeptri verification: %lld index searches answered unlike the walk, rows kept\n",
                     static_cast<long long>(beachSearchStats.disagreements));
#endif
}

}  // namespace sweeptri
