// Piecewise cubic C1 interpolation over a triangulation (Clough-Tocher):
// each triangle is split at its centroid into three cubic pieces whose
// Bezier ordinates come from the values and gradients at the corners.
// Across an edge, the derivative in the direction from one triangle's
// centroid to its neighbour's is made linear along the edge, so the surface
// is C1 and invariant under affine maps of the plane; on a hull edge the
// direction is towards the edge's midpoint.
//
// The gradients are estimated globally (Nielson's minimum norm network):
// those that minimise the summed squared second derivative of the cubics
// along every edge, found by Gauss-Seidel sweeps over the points in their
// order, each point solving its 2x2 system with its neighbours' latest
// gradients. Sweeps stop once no gradient changed by more than `tol`
// (relative to the gradient where it exceeds 1) in a sweep.
#pragma once

#include <cstdint>
#include <vector>

namespace kyhost_spatial {

// The triangulation the surface lives on: n points, m rows of three corner
// numbers (either orientation) and across[3t + k], the row opposite corner
// k of row t (-1 on the hull). The caller keeps the arrays alive.
struct CubicMesh {
    const double* x = nullptr;
    const double* y = nullptr;
    std::int32_t n = 0;
    const std::int32_t* rows = nullptr;
    const std::int32_t* across = nullptr;
    std::int64_t m = 0;
};

// Gradients for `columns` value columns (column c at values + c * n):
// gradients + 2 * n * c holds column c's (d/dx, d/dy) point by point. start
// and adjacent give each point's neighbours (adjacent[start[p] ..
// start[p + 1]]). Columns run in parallel on up to `threads` threads. The
// answer is each column's number of sweeps, 0 where `maxiter` sweeps did
// not reach `tol`.
std::vector<int> estimateGradients(const CubicMesh& mesh, const std::int64_t* start, const std::int32_t* adjacent,
                                   const double* values, int columns, double tol, int maxiter, int threads,
                                   double* gradients);

// A uniform grid of cells over the points' box, each naming a row near it,
// where the walks of locateByWalk start.
class WalkStarts {
public:
    explicit WalkStarts(const CubicMesh& mesh);
    std::int64_t startFor(double qx, double qy) const;

private:
    double x0_ = 0, y0_ = 0, cellsPerX_ = 0, cellsPerY_ = 0;
    std::int64_t side_ = 1;
    std::vector<std::int64_t> cells_;
};

// The row holding each query by a visibility walk (floating-point
// orientation tests) from a row near it. Queries the walk cannot settle get
// -2: those whose walk leaves the hull or takes too many steps; the caller
// decides them with exact point location. Queries not finite get -1.
void locateByWalk(const CubicMesh& mesh, const WalkStarts& starts, const double* qx, const double* qy,
                  std::int64_t count, int threads, std::int64_t* simplex);

// The surface at each query in row simplex[i] (NaN for rows below 0): out
// holds `columns` answers per query, query by query. values and gradients
// are laid out as for estimateGradients.
void evaluateCubic(const CubicMesh& mesh, const double* values, const double* gradients, int columns, const double* qx,
                   const double* qy, const std::int64_t* simplex, std::int64_t count, int threads, double* out);

}  // namespace kyhost_spatial
