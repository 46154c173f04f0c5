// The interpolation call: the checks, the mesh, the warning, the queries in
// their order, the workers, and the answers back in the caller's order.
#include <algorithm>
#include <cmath>
#include <limits>

#include "call_steps.hpp"
#include "internal_switches.hpp"
#include "kyx.h"
#include "mesh_setup.hpp"
#include "point_location.hpp"
#include "query_order.hpp"
#include "query_workers.hpp"
#include "row_buckets.hpp"
#include "working_memory.hpp"

namespace trinterp {

InterpolationCall interpolationCall;

namespace {

std::int64_t forcedWalkBudget = 0;

const char* const notDelaunayWarning =
    "TRI is not a Delaunay triangulation: the natural-neighbor weights follow its rows and may not be Sibson's.";

// Queries per chunk: the unit of work of one thread, and where a walk
// starts afresh from a row found on the calling thread.
constexpr std::int32_t queriesPerChunk = 1024;

// Each chunk's walk starts from the row where a walk to its first query
// ended, walking from chunk to chunk along the queries' order.
const std::int32_t* chunkStarts(const QueryJob& job)
{
    const std::int32_t chunks = chunkCount(job);
    auto* starts = static_cast<std::int32_t*>(kyCalloc(static_cast<std::size_t>(std::max(chunks, 1)), sizeof(std::int32_t)));
    std::int32_t start = job.mesh.firstRow;
    for (std::int32_t c = 0; c < chunks; ++c) {
        const std::int64_t q = std::int64_t{c} * job.chunkSize;
        const Location at = walkTo(job.mesh, job.xy[2 * q], job.xy[2 * q + 1], start, job.walkBudget);
        if (at.last >= 0) start = at.last;
        starts[c] = start;
    }
    return starts;
}

// The workers get a copy of the mesh: they touch no module state.
struct SideTermWork {
    Mesh mesh;
    double* terms;
};

void computeShare(const void* context, int worker, int workers)
{
    const auto* work = static_cast<const SideTermWork*>(context);
    const std::int64_t rows = work->mesh.rowCount;
    computeSideTerms(work->mesh, work->terms, static_cast<std::int32_t>(rows * worker / workers),
                     static_cast<std::int32_t>(rows * (worker + 1) / workers));
}

// The rows' side terms for natural weights, worked out beforehand on the
// workers when there are at least as many queries as rows: each row then
// serves several queries.
const double* sideTermsFor(const Mesh& mesh, std::int32_t queryCount, int workers)
{
    if (queryCount < mesh.rowCount) return nullptr;
    auto* terms = static_cast<double*>(kyCalloc(3 * static_cast<std::size_t>(std::max(mesh.rowCount, 1)), sizeof(double)));
    const SideTermWork work{mesh, terms};
    runOnWorkers(workers, &computeShare, &work);
    return terms;
}

// Answers the queries whose walk ran out of steps, through the buckets.
void answerUnresolved(QueryJob& job, NaturalScratch& scratch)
{
    bool any = false;
    for (std::int32_t q = 0; q < job.count && !any; ++q) any = job.unresolved[q] != 0;
    if (!any) return;
    if (job.mesh.buckets == nullptr) job.mesh.buckets = buildRowBuckets(job.mesh);
    for (std::int32_t q = 0; q < job.count; ++q)
        if (job.unresolved[q] != 0)
            answerAt(job, q, searchBuckets(job.mesh, job.xy[2 * std::int64_t{q}], job.xy[2 * std::int64_t{q} + 1]),
                     scratch);
}

// ZI: XI's shape for one value per point, else a row per query; NaN
// until answered.
double* createResult(kyArray* outputs[], const kyArray* xi, std::int32_t queryCount, std::int32_t k)
{
    outputs[0] = k == 1 ? kyCreateDoubleMatrix(kyGetM(xi), kyGetN(xi), kyREAL) : kyCreateDoubleMatrix(queryCount, k, kyREAL);
    double* result = kyGetPr(outputs[0]);
    std::fill_n(result, std::int64_t{queryCount} * k, std::numeric_limits<double>::quiet_NaN());
    return result;
}

// Gives back the queries' large blocks, and the mesh's and the values'
// when the call owns them, once every query is answered, so that the
// result can take their pages instead of fresh ones.
void releaseWorkingMemory(const QueryJob& job, bool ownsMesh)
{
    kyFree(const_cast<double*>(job.xy));
    if (!ownsMesh) return;
    for (const void* block : {static_cast<const void*>(job.mesh.rows), static_cast<const void*>(job.mesh.rowNumber),
                              static_cast<const void*>(job.mesh.xy), static_cast<const void*>(job.values)})
        kyFree(const_cast<void*>(block));
}

}  // namespace

void setWalkBudget(std::int64_t steps) { forcedWalkBudget = std::max<std::int64_t>(0, steps); }

const double* valuesByPoint(const kyArray* z, const CheckedArguments& arguments, const Mesh& mesh)
{
    const std::int64_t n = arguments.pointCount, k = arguments.valueCount, used = mesh.pointCount;
    const double* source = kyGetPr(z);
    auto* values = takeWritten<double>(used * k);
    for (std::int64_t p = 0; p < used; ++p)
        for (std::int64_t j = 0; j < k; ++j) values[p * k + j] = source[mesh.originalPoint[p] + j * n];
    return values;
}

void prepareMesh(const kyArray* inputs[])
{
    InterpolationCall& call = interpolationCall;
    const double* x = kyGetPr(inputs[0]);
    const double* y = kyGetPr(inputs[1]);
    buildMesh(x, y, call.arguments.pointCount, kyGetPr(inputs[3]), kyGetM(inputs[3]));
    call.mesh.delaunay = call.arguments.method == Method::natural && rowsAreDelaunay();
}

void warnIfNotDelaunay(bool natural, const Mesh& mesh)
{
    if (natural && !mesh.delaunay && !interpolationCall.warned) {
        interpolationCall.warned = true;
        kyxWarnMsgTxt(notDelaunayWarning);
    }
}

void answerCall(kyArray* outputs[], const kyArray* xi, const kyArray* yi, const Mesh& mesh, bool natural, const double* values, std::int32_t k, bool ownsMesh)
{
    const std::int32_t queryCount = kyGetNumberOfElements(xi);
    if (queryCount == 0 || k == 0 || mesh.firstRow < 0) {
        createResult(outputs, xi, queryCount, k);
        return;
    }

    const QueryOrder order = orderQueries(kyGetPr(xi), kyGetPr(yi), queryCount, mesh.box, mesh.curveBox);
    if (order.count == 0) {
        createResult(outputs, xi, queryCount, k);
        return;
    }
    QueryJob job{};
    job.mesh = mesh;  // the call's buckets and side terms go into this copy only
    if (!job.mesh.convex) job.mesh.buckets = buildRowBuckets(job.mesh);

    const int workers = workerCount(static_cast<std::int32_t>((std::int64_t{order.count} + queriesPerChunk - 1) / queriesPerChunk));
    if (natural) job.mesh.sideTerms = sideTermsFor(job.mesh, order.count, workers);

    job.natural = natural;
    job.valueCount = k;
    job.values = values;
    job.count = order.count;
    job.xy = order.xy;
    job.results = takeWritten<double>(std::int64_t{order.count} * k);
    job.unresolved = static_cast<std::uint8_t*>(kyCalloc(static_cast<std::size_t>(order.count), 1));
    job.chunkSize = queriesPerChunk;
    // Long enough to cross any ordinary triangulation several times over.
    job.walkBudget = forcedWalkBudget > 0 ? forcedWalkBudget
                                          : 1000 + 8 * static_cast<std::int64_t>(std::sqrt(static_cast<double>(mesh.rowCount)));
    job.chunkStart = job.mesh.convex ? chunkStarts(job) : nullptr;

    auto* scratch = static_cast<NaturalScratch*>(kyCalloc(static_cast<std::size_t>(workers), sizeof(NaturalScratch)));
    if (natural)
        for (int w = 0; w < workers; ++w) scratch[w] = takeNaturalScratch(job.mesh);
    answerQueries(job, scratch, workers);
    answerUnresolved(job, scratch[0]);

    // Back into the caller's order: for k > 1 column j holds value j.
    releaseWorkingMemory(job, ownsMesh);
    double* result = createResult(outputs, xi, queryCount, k);
    for (std::int32_t s = 0; s < order.count; ++s)
        for (std::int32_t j = 0; j < k; ++j)
            result[order.original[s] + std::int64_t{j} * queryCount] = job.results[std::int64_t{s} * k + j];
}

const double* beginCall(int outputCount, int inputCount, const kyArray* inputs[])
{
    InterpolationCall& call = interpolationCall;
    call.warned = false;
    call.arguments = checkArguments(outputCount, inputCount, inputs);
    prepareMesh(inputs);
    warnIfNotDelaunay(call.arguments.method == Method::natural, call.mesh);
    return valuesByPoint(inputs[2], call.arguments, call.mesh);
}

void interpolate(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[])
{
    const double* values = beginCall(outputCount, inputCount, inputs);
    const InterpolationCall& call = interpolationCall;
    answerCall(outputs, inputs[4], inputs[5], call.mesh, call.arguments.method == Method::natural,
               values, call.arguments.valueCount, true);
}

}  // namespace trinterp
