#include "certified_sweep.hpp"

#include <new>

#include "delaunay_repair.hpp"
#include "exact_recompute.hpp"
#include "hull_cycle.hpp"
#include "kyx.h"
#include "result_certificate.hpp"
#include "sweep_state.hpp"
#include "triangle_buffer.hpp"
#include "triangulate_call.hpp"

namespace sweeptri {

bool certificateEnabled = true;

namespace {

// Keeps the sweep's hooks on for exactly the sweep, also when the call
// ends in a host error inside it.
struct CertifyingScope {
    CertifyingScope() { certifying = true; }
    ~CertifyingScope() { certifying = false; }
    CertifyingScope(const CertifyingScope&) = delete;
    CertifyingScope& operator=(const CertifyingScope&) = delete;
};

enum class Outcome { Certified, Triangulated, Written, Overflowed };

// The sweep under the certificate. The hull's boundary comes first: the
// sweep hands finished sites back to the Site pool, which overwrites their
// coordinates.
Outcome sweepAndCertify(HullCycle& hull)
{
    hull = findHullCycle(siteArray, siteCount);
    beginCertificate();
    {
        CertifyingScope scope;
        try {
            sweepSiteArray();
        } catch (const SweepOverflow&) {
            return Outcome::Overflowed;
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
    HullCycle hull;
    Outcome outcome = Outcome::Overflowed;
    bool repaired = false;
    try {
        outcome = sweepAndCertify(hull);
        if (outcome != Outcome::Overflowed) trimTriangleBuffer(result, triangleCapacity, triangleCount);
        // Rows that form a triangulation with some sides not locally
        // Delaunay are flipped into shape; this also keeps rows that are
        // right but whose sweep bookkeeping did not add up. Where the
        // certificate proved a triangulation, only the sides it found not
        // Delaunay, and those of rows the flips rewrite, need testing.
        if (outcome == Outcome::Triangulated)
            repaired = repairByFlips(kyGetPr(result), triangleCount, x, y, siteCount, scaleExponent, hull,
                                     &sidesNotDelaunay());
        else if (outcome == Outcome::Written)
            repaired = repairByFlips(kyGetPr(result), triangleCount, x, y, siteCount, scaleExponent, hull);
    } catch (const std::bad_alloc&) {
        kyxErrMsgTxt("Out of memory.");
    }
    if (outcome == Outcome::Certified || repaired) return;
    triangleCount = recomputeExactly(x, y, siteCount, scaleExponent, kyGetPr(result));
    kySetM(result, triangleCount);
}

}  // namespace sweeptri
