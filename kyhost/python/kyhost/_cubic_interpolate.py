"""Piecewise cubic C1 interpolation of 2-D scattered data (Clough-Tocher),
in the manner of scipy.interpolate.CloughTocher2DInterpolator: the
gradients at the points come from a global estimate, the surface is
evaluated in compiled code on several threads."""
from __future__ import annotations

import numbers
import warnings

import numpy as np

from . import _kyhost
from ._interpolate import _own, _points_pair, _query_points, _rescaled, _triangulate, _Values
from ._triangulation import Triangulation, _workers


class GradientEstimationWarning(Warning):
    """The global gradient estimate did not reach ``tol`` within ``maxiter``
    sweeps: the gradients, and so the surface, may be inaccurate."""


class CloughTocher2DInterpolator:
    """CloughTocher2DInterpolator(points, values, fill_value=np.nan, tol=1e-6, maxiter=400, rescale=False, *, workers=-1)

    Piecewise cubic, C1 smooth, curvature-minimising interpolation of 2-D
    scattered data, as scipy.interpolate.CloughTocher2DInterpolator gives
    it. Each triangle of the Delaunay triangulation (kyhost.Triangulation)
    is split at its centroid into three cubic pieces (Clough-Tocher); the
    gradients at the points are those that minimise the squared second
    derivatives of the cubics along the edges (Nielson's minimum norm
    network), found by Gauss-Seidel sweeps over the points until no
    gradient changes by more than ``tol`` (relative where it exceeds 1), at
    most ``maxiter`` sweeps (``GradientEstimationWarning`` otherwise).

    ``points`` is an (n, 2) array, a tuple (x, y) or a ready
    ``kyhost.Triangulation``; ``values`` has shape (n, ...), real or complex
    (real and imaginary parts are interpolated apart, each column with its
    own sweeps, as scipy does). Repeated points are merged (the first of
    each place gives the value). Queries outside the hull, or not finite,
    get ``fill_value``. ``rescale`` scales the points (and the queries) to
    the unit square first, as scipy does. ``workers`` threads (-1: every
    processor this process may use) share the columns' gradient estimates
    and the queries.

    Call it with an array of shape (..., 2), a tuple (x, y), or x and y;
    the answer has the queries' shape followed by the values' trailing
    shape. ``grad`` holds the estimated gradients, shape (n, k, 2) over the
    used points for k value columns.
    """

    def __init__(self, points, values, fill_value=np.nan, tol=1e-6, maxiter=400, rescale: bool = False, *,
                 workers: int = -1):
        self._workers = _workers(workers)
        tol = float(tol)
        if np.isnan(tol):
            raise ValueError("tol must be a number, not NaN")
        if not isinstance(maxiter, numbers.Integral) or isinstance(maxiter, bool) or maxiter < 0:
            raise ValueError(f"maxiter must be a whole number of sweeps, at least 0; got {maxiter!r}")
        if isinstance(points, Triangulation):
            if rescale:
                raise ValueError("rescale=True cannot be used with a ready Triangulation as points")
            self.tri = points
            self.offset = self.scale = None
        else:
            x, y = _points_pair(points)
            x, y = _own(x, points), _own(y, points)
            self.offset = self.scale = None
            if rescale:
                x, y, self.offset, self.scale = _rescaled(x, y)
            self.tri = _triangulate(x, y)
        self.fill_value = fill_value
        self.tol, self.maxiter = tol, int(maxiter)
        self._values = _Values(values, self.tri.npoints, self.tri._kept)
        self._surface = None
        columns = self._values.columns
        if self.tri.nsimplex > 0 and columns.shape[1] > 0:
            self._surface = self._new_surface()
            if 0 in self._surface.sweeps:
                warnings.warn(f"the gradient estimate did not reach tol={tol:g} within maxiter={self.maxiter} sweeps: "
                              "the interpolant may be inaccurate", GradientEstimationWarning, stacklevel=2)

    @property
    def points(self) -> np.ndarray:
        """The points the triangulation was made of (rescaled when asked)."""
        return self.tri.points

    @property
    def values(self) -> np.ndarray:
        """The values at the used points, one row per point (repeats left
        out; complex values as real and imaginary columns side by side)."""
        return self._values.columns

    @property
    def grad(self) -> np.ndarray:
        """The estimated gradients (d/dx, d/dy), shape (n_used, k, 2), complex
        for complex values; rescaled coordinates when rescale=True."""
        columns = self._values.columns
        if self._surface is None:
            gradients = np.full((columns.shape[0], columns.shape[1], 2), np.nan)
        else:
            gradients = self._surface.gradients().transpose(1, 0, 2)
        if self._values.complex:
            half = gradients.shape[1] // 2
            gradients = gradients[:, :half] + 1j * gradients[:, half:]
        return gradients

    @property
    def nbytes(self) -> int:
        """Bytes of the gradients kept beside the triangulation and values."""
        return 0 if self._surface is None else self._surface.nbytes

    def __call__(self, *arguments):
        qx, qy, shape = _query_points(arguments)
        if self.scale is not None:
            qx = (qx - self.offset[0]) / self.scale[0]
            qy = (qy - self.offset[1]) / self.scale[1]
        values = self._values
        k = values.columns.shape[1]
        if self._surface is None or qx.size == 0:
            answers = np.full((qx.size, k), np.nan)
            simplex = np.full(qx.size, -1, dtype=np.int64)
        else:
            simplex = self._surface.locate(qx, qy, self._workers)
            # The walk leaves the queries outside the hull (or near it, or
            # too far to walk to) to exact point location.
            open_ = np.flatnonzero(simplex == -2)
            if open_.size:
                simplex[open_] = self.tri.find_simplex(qx[open_], qy[open_])
            answers = self._surface.evaluate(qx, qy, simplex, self._workers)
        if values.complex:
            half = k // 2
            answers = answers[:, :half] + 1j * answers[:, half:]
        outside = simplex < 0
        if outside.any():
            answers[outside] = complex(self.fill_value) if values.complex else self.fill_value
        return answers.reshape(shape + values.trailing)

    def __getstate__(self):
        # The compiled surface is not pickled: it is made again from the
        # triangulation and the values.
        state = self.__dict__.copy()
        state["_surface"] = None
        state["_pickled_with_surface"] = self._surface is not None
        return state

    def __setstate__(self, state):
        made = state.pop("_pickled_with_surface", False)
        self.__dict__.update(state)
        if made:
            self._surface = self._new_surface()

    def _new_surface(self):
        """The gradient estimate (compiled), over the triangulation's own
        arrays: rows, their neighbours and the points' neighbours."""
        ux, uy = self.tri._used_coordinates()
        start, adjacent = self.tri._index().graph()
        return _kyhost._CloughTocher(ux, uy, self.tri._local, self.tri._local_neighbors(), start, adjacent,
                                     self._values.columns, self.tol, self.maxiter, self._workers)

    def __repr__(self) -> str:
        return f"kyhost.CloughTocher2DInterpolator({self.tri.npoints} points, {self.tri.nsimplex} simplices)"
