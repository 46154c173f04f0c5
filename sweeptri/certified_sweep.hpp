// The sweep with its result certified: rows that form the Delaunay
// triangulation of the (scaled) sites are returned exactly as the sweep
// wrote them; rows that form a triangulation with some sides not locally
// Delaunay are repaired by exact flips; any other result, and a sweep that
// would overflow the triangle capacity, is replaced by the exact
// recomputation.
#pragma once

#include "call_state.hpp"
#include "host_services.hpp"

namespace sweeptri {

// On by default; the in-process benchmark turns it off to time the plain
// sweep. Off, the sweep's rows are returned unchecked.
extern SWEEPTRI_CALL_STATE bool certificateEnabled;

// How the last certified call got its rows, for tests and benchmarks: the
// sweep's own rows; those rows flipped; the rows completed where they left
// part of the hull uncovered, then flipped; or the exact recomputation.
enum class CertifiedPath { Certified, Flipped, Completed, Recomputed };
extern SWEEPTRI_CALL_STATE CertifiedPath lastCertifiedPath;

// Called, when set, right before the caller's coordinates are read again
// after the sweep (for tests).
extern SWEEPTRI_CALL_STATE void (*beforeCoordinatesAreReadAgain)();

// Sweeps siteArray (ordered, checked, scaled by 2^scaleExponent) and leaves
// the rows in result, the capacity-by-3 matrix from createTriangleBuffer,
// trimmed to their count. x and y are the caller's coordinates.
void sweepCertified(kyArray* result, const double* x, const double* y, int scaleExponent);

}  // namespace sweeptri
