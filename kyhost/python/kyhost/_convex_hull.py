"""ConvexHull: the convex hull of planar points with scipy.spatial.ConvexHull's
attributes, decided by exact orientation tests."""
from __future__ import annotations

import numpy as np

from . import _kyhost


def _read_only(array: np.ndarray) -> np.ndarray:
    array.flags.writeable = False
    return array


def _planar_points(points, what: str) -> np.ndarray:
    """Points of shape (n, 2), finite, as a float64 copy."""
    array = np.array(points, dtype=np.float64, copy=True)
    if array.ndim != 2 or array.shape[1] != 2:
        raise ValueError(f"{what} takes planar points of shape (n, 2); got shape {array.shape}")
    if not np.isfinite(array).all():
        k = int(np.argmax(~np.isfinite(array).all(axis=1)))
        raise ValueError(f"point {k} is not finite: ({array[k, 0]!r}, {array[k, 1]!r}); coordinates must be finite")
    return array


def refuse_qhull_arguments(what: str, incremental, qhull_options, furthest_site=False) -> None:
    """scipy's arguments that select what this package does not do."""
    if furthest_site:
        raise ValueError(f"{what}: furthest_site=True (the furthest-site triangulation) is not supported; "
                         "only furthest_site=False")
    if incremental:
        raise ValueError(f"{what}: incremental=True (adding points later) is not supported; build a new "
                         "object from all the points instead")
    if qhull_options is not None:
        raise ValueError(f"{what}: qhull_options are not supported (got {qhull_options!r}): there is no Qhull; "
                         "the results are exact without options")


class ConvexHull:
    """ConvexHull(points, incremental=False, qhull_options=None)

    The convex hull of planar points (shape (n, 2), finite), with the
    attributes of scipy.spatial.ConvexHull in 2-D. Exact: the corners are
    found with exact orientation tests, and points on a hull edge between
    two corners are not corners (as scipy leaves them out); among repeated
    points at a corner the first is used.

    Attributes: ``points``; ``vertices`` (int32, the corners
    counter-clockwise, from the one of lowest x, lowest y among those);
    ``simplices`` (int32 (h, 2), edge i runs from vertices[i] to
    vertices[i + 1], counter-clockwise); ``neighbors`` (neighbors[i, j]: the
    edge opposite vertex j of edge i, across simplices[i, 1 - j]);
    ``equations`` ((h, 3): unit outward normal and offset, so that
    ``equations[:, :2] @ x + equations[:, 2] <= 0`` inside, up to
    rounding); ``area`` (the perimeter, as scipy's in 2-D); ``volume`` (the
    enclosed area); ``coplanar`` (none: (0, 3)); ``good`` (None); ``ndim``,
    ``npoints``, ``nsimplex``, ``min_bound``, ``max_bound``.

    Points all on one line, or fewer than three distinct points, have no
    hull of positive area: ValueError. ``incremental`` and
    ``qhull_options`` are refused (there is no Qhull).
    """

    def __init__(self, points, incremental: bool = False, qhull_options=None):
        refuse_qhull_arguments("ConvexHull", incremental, qhull_options)
        array = _planar_points(points, "ConvexHull")
        x, y = np.ascontiguousarray(array[:, 0]), np.ascontiguousarray(array[:, 1])
        corners = _kyhost._convex_hull_corners(x, y)
        if corners.size < 3:
            raise ValueError(f"the {array.shape[0]} points have no convex hull of positive area (fewer than "
                             "three distinct points, or all on one line)")
        self.points = _read_only(array)
        h = corners.size
        self.vertices = _read_only(corners.astype(np.int32))
        following = np.roll(self.vertices, -1)
        self.simplices = _read_only(np.column_stack((self.vertices, following)))
        edge = np.arange(h, dtype=np.int32)
        self.neighbors = _read_only(np.column_stack(((edge + 1) % h, (edge - 1) % h)).astype(np.int32))
        start, end = array[self.vertices], array[following]
        d = end - start
        length = np.hypot(d[:, 0], d[:, 1])
        normal = np.column_stack((d[:, 1], -d[:, 0])) / length[:, None]
        offset = -(normal[:, 0] * start[:, 0] + normal[:, 1] * start[:, 1])
        self.equations = _read_only(np.column_stack((normal, offset)))
        self.area = float(length.sum())
        # The enclosed area from the first corner, which keeps the terms small.
        r = array[self.vertices] - array[self.vertices[0]]
        self.volume = float(0.5 * (r[:-1, 0] * r[1:, 1] - r[:-1, 1] * r[1:, 0]).sum())
        self.coplanar = _read_only(np.zeros((0, 3), dtype=np.int32))
        self.good = None
        self.min_bound = _read_only(np.array([x.min(), y.min()]))
        self.max_bound = _read_only(np.array([x.max(), y.max()]))

    @property
    def ndim(self) -> int:
        return 2

    @property
    def npoints(self) -> int:
        return int(self.points.shape[0])

    @property
    def nsimplex(self) -> int:
        return int(self.simplices.shape[0])

    def add_points(self, points, restart: bool = False):
        raise RuntimeError("ConvexHull: adding points needs incremental=True, which is not supported; "
                           "build a new ConvexHull from all the points")

    def close(self) -> None:
        """Nothing to release (scipy's call ends incremental processing)."""

    def __repr__(self) -> str:
        return f"kyhost.ConvexHull({self.npoints} points, {self.vertices.size} vertices)"
