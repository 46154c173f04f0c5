"""Delaunay: scipy.spatial.Delaunay's name, signature and attributes for
planar points, over kyhost.Triangulation."""
from __future__ import annotations

import numpy as np

from ._convex_hull import _planar_points, _read_only, refuse_qhull_arguments
from ._triangulation import Triangulation


class Delaunay(Triangulation):
    """Delaunay(points, furthest_site=False, incremental=False, qhull_options=None)

    The Delaunay triangulation of planar points (shape (n, 2), finite) as
    scipy.spatial.Delaunay gives it, so that code written for scipy runs
    unchanged: a kyhost.Triangulation (``simplices`` counter-clockwise,
    ``neighbors``, ``vertex_to_simplex``, ``vertex_neighbor_vertices``,
    ``convex_hull``, ``coplanar``, ``transform``, ``find_simplex``,
    ``points``, ``npoints``, ``nsimplex``, ``ndim``, ``min_bound``,
    ``max_bound``, and its queries) with scipy's lifting attributes:
    ``paraboloid_scale``, ``paraboloid_shift``, ``lift_points``,
    ``equations`` and ``plane_distance``.

    Repeated points are merged as scipy merges them: the first of each place
    is used and the others are listed in ``coplanar``. Fewer than three
    distinct points, or all on one line, give no triangulation: ValueError
    (scipy raises QhullError). ``furthest_site=True``, ``incremental=True``
    and ``qhull_options`` are refused.

    ``find_simplex`` decides inside and outside exactly by default, as the
    interpolators do (scipy admits points up to 100 machine epsilons
    outside); ``tol`` gives scipy's slack. ``transform`` is scipy's for the
    same rows: barycentric coordinates computed from it are those scipy
    computes for a simplex with the same vertices in the same order.
    """

    def __init__(self, points, furthest_site: bool = False, incremental: bool = False, qhull_options=None):
        refuse_qhull_arguments("Delaunay", incremental, qhull_options, furthest_site)
        array = _planar_points(points, "Delaunay")
        super().__init__(array, merge_duplicates=True)
        if self.nsimplex == 0:
            raise ValueError(f"the {self.npoints} points have no Delaunay triangulation (fewer than three "
                             "distinct points, or all on one line); kyhost.Triangulation gives them one "
                             "without triangles")

    def __repr__(self) -> str:
        return f"kyhost.Delaunay({self.npoints} points, {self.nsimplex} simplices)"

    furthest_site = False

    # -- the paraboloid scipy lifts the points onto ---------------------------
    @property
    def paraboloid_scale(self) -> float:
        """With paraboloid_shift: the lifted coordinate is
        ``(x**2 + y**2) * paraboloid_scale + paraboloid_shift``, scaled as
        scipy scales it (onto [0, m] for the points and the point at
        infinity it adds above 1.1 times the highest, m the largest
        magnitude of a coordinate)."""
        return self._cached("_paraboloid_value", self._paraboloid)[0]

    @property
    def paraboloid_shift(self) -> float:
        return self._cached("_paraboloid_value", self._paraboloid)[1]

    def _paraboloid(self):
        x, y = self._x, self._y
        z = x * x + y * y
        low, high = float(z.min()), float(z.max())
        largest = float(max(np.abs(x).max(), np.abs(y).max()))
        span = 1.1 * high - low
        scale = largest / span if span > 0 else 1.0
        return scale, -low * scale

    def lift_points(self, x) -> np.ndarray:
        """Points of shape (..., 2) lifted onto the paraboloid: shape (..., 3)."""
        points = np.asarray(x, dtype=np.float64)
        if points.ndim == 0 or points.shape[-1] != 2:
            raise ValueError(f"x must consist of vectors of length 2 but has shape {points.shape}")
        z = (points ** 2).sum(axis=-1) * self.paraboloid_scale + self.paraboloid_shift
        return np.concatenate((points, z[..., None]), axis=-1)

    @property
    def equations(self) -> np.ndarray:
        """(nsimplex, 4): the plane of each simplex's lifted vertices, as
        [normal (unit, pointing down, away from the other lifted points),
        offset], so that ``equations[:, :3] @ lifted + equations[:, 3]`` is
        the signed distance of a lifted point (negative above the plane)."""
        def compute():
            s = self.simplices
            px, py = self._x[s], self._y[s]
            scale = self.paraboloid_scale
            dx, dy = px[:, 1:] - px[:, :1], py[:, 1:] - py[:, :1]
            # Differences of lifted heights without cancelling the squares.
            dz = scale * (dx * (px[:, 1:] + px[:, :1]) + dy * (py[:, 1:] + py[:, :1]))
            u, v = np.stack((dx[:, 0], dy[:, 0], dz[:, 0]), 1), np.stack((dx[:, 1], dy[:, 1], dz[:, 1]), 1)
            normal = -np.cross(u, v)  # counter-clockwise rows: the cross product points up
            normal /= np.linalg.norm(normal, axis=1)[:, None]
            lifted0 = np.stack((px[:, 0], py[:, 0], (px[:, 0] ** 2 + py[:, 0] ** 2) * scale + self.paraboloid_shift), 1)
            offset = -(normal * lifted0).sum(axis=1)
            return _read_only(np.column_stack((normal, offset)))
        return self._cached("_equations_value", compute)

    def plane_distance(self, xi) -> np.ndarray:
        """The signed distance of each lifted query point (shape (..., 2))
        from each simplex's plane: shape (..., nsimplex)."""
        lifted = self.lift_points(xi)
        eq = self.equations
        return lifted @ eq[:, :3].T + eq[:, 3]

    # -- scipy's signature of find_simplex ------------------------------------
    def find_simplex(self, xi, bruteforce: bool = False, tol=None, *, return_barycentric: bool = False):
        """find_simplex(xi, bruteforce=False, tol=None): the simplex holding
        each point of xi (shape (..., 2)), -1 outside; see
        kyhost.Triangulation.find_simplex (exact by default)."""
        return super().find_simplex(xi, bruteforce=bruteforce, tol=tol, return_barycentric=return_barycentric)

    # -- scipy's incremental calls --------------------------------------------
    def add_points(self, points, restart: bool = False):
        raise RuntimeError("Delaunay: adding points needs incremental=True, which is not supported; "
                           "build a new Delaunay from all the points")

    def close(self) -> None:
        """Nothing to release (scipy's call ends incremental processing)."""
