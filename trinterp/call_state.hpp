// The state of the running interpolation call, held at module level as in
// the other plug-ins: set afresh by every call, read on the calling thread
// only. The worker threads get a copy of what they need (query_workers.hpp).
#pragma once

#include "argument_checks.hpp"
#include "mesh.hpp"

namespace trinterp {

struct InterpolationCall {
    CheckedArguments arguments;
    Mesh mesh;
    bool anyFlatRow;     // some row of TRI has its corners on one line, or repeats an earlier one
    bool warned;         // the not-Delaunay warning has been issued in this call
};

extern InterpolationCall interpolationCall;

// The whole call: ZI = trinterp(X, Y, Z, TRI, XI, YI[, METHOD]). The
// plug-in's kyxFunction is this function.
void interpolate(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[]);

}  // namespace trinterp
