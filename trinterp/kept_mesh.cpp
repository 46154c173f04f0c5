#include "kept_mesh.hpp"

#include "argument_checks.hpp"
#include "call_steps.hpp"
#include "kyx.h"

namespace trinterp {

namespace {

// Calls run on the calling thread, one at a time.
thread_local KeptMesh* inUse = nullptr;

KeptMesh& keptMeshInUse()
{
    if (inUse == nullptr) kyxErrMsgTxt("No kept interpolation mesh is in use.");
    return *inUse;
}

}  // namespace

KeptMeshInUse::KeptMeshInUse(KeptMesh& kept) { inUse = &kept; }
KeptMeshInUse::~KeptMeshInUse() { inUse = nullptr; }

std::size_t KeptMesh::bytes() const
{
    return xy_.size() * sizeof(double) + originalPoint_.size() * sizeof(std::int32_t) +
           rows_.size() * sizeof(MeshRow) + rowNumber_.size() * sizeof(std::int32_t) + values_.size() * sizeof(double);
}

void KeptMesh::keep(const InterpolationCall& call, const double* values)
{
    ready_ = false;
    const Mesh& mesh = call.mesh;
    const std::int64_t points = mesh.pointCount, rows = mesh.rowCount, k = call.arguments.valueCount;
    xy_.assign(mesh.xy, mesh.xy + 2 * points);
    originalPoint_.assign(mesh.originalPoint, mesh.originalPoint + points);
    rows_.assign(mesh.rows, mesh.rows + rows);
    rowNumber_.assign(mesh.rowNumber, mesh.rowNumber + rows);
    values_.assign(values, values + points * k);
    mesh_ = mesh;
    mesh_.xy = xy_.data();
    mesh_.originalPoint = originalPoint_.data();
    mesh_.rows = rows_.data();
    mesh_.rowNumber = rowNumber_.data();
    // Each call builds these as it needs them, in its own memory.
    mesh_.buckets = nullptr;
    mesh_.sideTerms = nullptr;
    natural_ = call.arguments.method == Method::natural;
    valueCount_ = call.arguments.valueCount;
    ready_ = true;
}

void KeptMesh::answer(kyArray* outputs[], const kyArray* xi, const kyArray* yi) const
{
    if (!ready_) kyxErrMsgTxt("The kept interpolation mesh is not prepared.");
    checkQueries(xi, yi, valueCount_);
    warnIfNotDelaunay(natural_, mesh_);
    answerCall(outputs, xi, yi, mesh_, natural_, values_.data(), valueCount_, false);
}

void interpolateAndKeep(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[])
{
    KeptMesh& kept = keptMeshInUse();
    const double* values = beginCall(outputCount, inputCount, inputs);
    const InterpolationCall& call = interpolationCall;
    kept.keep(call, values);
    answerCall(outputs, inputs[4], inputs[5], call.mesh, call.arguments.method == Method::natural,
               values, call.arguments.valueCount, true);
}

void interpolateKept(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[])
{
    const KeptMesh& kept = keptMeshInUse();
    if (inputCount > 2) kyxErrMsgTxt("Too many input arguments.");
    if (inputCount < 2) kyxErrMsgTxt("Not enough input arguments.");
    if (outputCount > 1) kyxErrMsgTxt("Too many output arguments.");
    interpolationCall.warned = false;
    kept.answer(outputs, inputs[0], inputs[1]);
}

}  // namespace trinterp
