#include "certified_sweep.hpp"

#include <cstring>
#include <new>

#include "delaunay_repair.hpp"
#include "exact_recompute.hpp"
#include "hull_cycle.hpp"
#include "kyx.h"
#include "result_certificate.hpp"
#include "sweep_blocks.hpp"
#include "sweep_state.hpp"
#include "triangle_buffer.hpp"
#include "triangulate_call.hpp"

namespace sweeptri {

bool certificateEnabled = true;
CertifiedPath lastCertifiedPath = CertifiedPath::Certified;
void (*beforeCoordinatesAreReadAgain)() = nullptr;

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

struct Coordinates {
    const double* x;
    const double* y;
};

void announceRereading()
{
    if (beforeCoordinatesAreReadAgain != nullptr) beforeCoordinatesAreReadAgain();
}

// The caller's coordinates, copied into a host block before a repair reads
// them. The caller's arrays may be a mapped file that is truncated while
// the call runs, and the fault then ends the call by a jump, which skips
// the destructors of whatever is live: while the copy reads, that is only
// host blocks, which the host reclaims. (The recomputation reads them
// into a host block of its own first, for the same reason.)
Coordinates copyCoordinates(const double* x, const double* y, std::int32_t n)
{
    announceRereading();
    auto* copy = static_cast<double*>(kyCalloc(2 * static_cast<std::size_t>(n), sizeof(double)));
    std::memcpy(copy, x, static_cast<std::size_t>(n) * sizeof(double));
    std::memcpy(copy + n, y, static_cast<std::size_t>(n) * sizeof(double));
    return Coordinates{copy, copy + n};
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

}  // namespace

void sweepCertified(kyArray* result, const double* x, const double* y, int scaleExponent)
{
    if (!certificateEnabled) {
        sweepSiteArray();
        trimTriangleBuffer(result, triangleCapacity, triangleCount);
        return;
    }
    Coordinates points{x, y};
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
            points = copyCoordinates(x, y, siteCount);
            if (repairByFlips(kyGetPr(result), triangleCount, points.x, points.y, siteCount, scaleExponent, hull,
                              &sidesNotDelaunay())) {
                lastCertifiedPath = CertifiedPath::Flipped;
                return;
            }
        } else if (outcome == Outcome::Written) {
            // Rows whose bookkeeping did not add up may still be right, or
            // may leave pockets along a nearly straight hull or holes: they
            // are checked, completed and flipped.
            const std::vector<SuspectSide>* suspects = unvouchedSides();
            trimTriangleBuffer(result, triangleCapacity, triangleCount);
            points = copyCoordinates(x, y, siteCount);
            const std::int32_t rows = completeAndRepair(kyGetPr(result), triangleCount, triangleCapacity, points.x,
                                                        points.y, siteCount, scaleExponent, hull, suspects);
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
    // The sweep's records and tables are not read again: their memory goes
    // to the recomputation.
    giveBackAllSweepBlocks();
    lastCertifiedPath = CertifiedPath::Recomputed;
    if (points.x == x) announceRereading();
    triangleCount = recomputeExactly(points.x, points.y, siteCount, scaleExponent, kyGetPr(result));
    kySetM(result, triangleCount);
}

}  // namespace sweeptri
