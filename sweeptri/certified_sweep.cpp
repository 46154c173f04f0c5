#include "certified_sweep.hpp"

#include <new>

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

// The sweep under the certificate; false when it does not hold.
bool sweepAndCertify()
{
    // The boundary comes first: the sweep hands finished sites back to the
    // Site pool, which overwrites their coordinates.
    const HullCycle hull = findHullCycle(siteArray, siteCount);
    beginCertificate();
    {
        CertifyingScope scope;
        try {
            sweepSiteArray();
        } catch (const SweepOverflow&) {
            return false;
        }
    }
    return certificateHolds(hull, triangleCount);
}

}  // namespace

void sweepCertified(kyArray* result, const double* x, const double* y, int scaleExponent)
{
    if (!certificateEnabled) {
        sweepSiteArray();
        trimTriangleBuffer(result, triangleCapacity, triangleCount);
        return;
    }
    bool holds = false;
    try {
        holds = sweepAndCertify();
    } catch (const std::bad_alloc&) {
        kyxErrMsgTxt("Out of memory.");
    }
    if (holds) {
        trimTriangleBuffer(result, triangleCapacity, triangleCount);
        return;
    }
    triangleCount = recomputeExactly(x, y, siteCount, scaleExponent, kyGetPr(result));
    kySetM(result, triangleCount);
}

}  // namespace sweeptri
