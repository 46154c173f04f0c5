// A call's mesh and values kept for later calls, for front ends that link
// the core in (the Python interpolators): the first call is the plug-in's
// call to the letter (the same checks, mesh, warning and answers) and keeps
// copies of the mesh it builds (the points the rows use, the rows ordered,
// turned counter-clockwise and joined) and of the values by point. Later
// calls answer other queries over those copies with the plug-in's query
// code: what the plug-in does afresh at every call (ordering, orienting and
// joining the rows, most of a call's work) is done once, and the answers
// are those the plug-in gives for the same arguments, bit for bit.
//
// Both are host calls (their entry points below, run with the kept mesh
// they work on set for the calling thread by KeptMeshInUse): host memory,
// worker threads, warnings and errors as in the plug-in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "call_state.hpp"

namespace trinterp {

class KeptMesh {
public:
    bool ready() const { return ready_; }
    // Bytes of the copies: coordinates, point and row numbers, rows, values.
    std::size_t bytes() const;

    // Keeps copies of the running call's mesh and of its values by point.
    void keep(const InterpolationCall& call, const double* values);
    // outputs[0] = ZI for the queries (XI, YI) over the copies.
    void answer(kyArray* outputs[], const kyArray* xi, const kyArray* yi) const;

private:
    bool ready_ = false;
    bool natural_ = false;
    std::int32_t valueCount_ = 0;
    Mesh mesh_{};
    std::vector<double> xy_, values_;
    std::vector<std::int32_t> originalPoint_, rowNumber_;
    std::vector<MeshRow> rows_;
};

// Sets the kept mesh the entry points of calls on this thread work on.
class KeptMeshInUse {
public:
    explicit KeptMeshInUse(KeptMesh& kept);
    ~KeptMeshInUse();
    KeptMeshInUse(const KeptMeshInUse&) = delete;
    KeptMeshInUse& operator=(const KeptMeshInUse&) = delete;
};

// ZI = trinterp(X, Y, Z, TRI, XI, YI[, METHOD]), keeping the mesh and the
// values in the kept mesh in use.
void interpolateAndKeep(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[]);

// ZI = (XI, YI): the queries over the kept mesh in use, which must be
// ready.
void interpolateKept(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[]);

}  // namespace trinterp
