"""Radius queries of a Triangulation in the manner of scipy.spatial.cKDTree:
query_ball_point, query_pairs and count_neighbors, answered over the
Delaunay graph in compiled code (spatial/ball_search.hpp)."""
from __future__ import annotations

import numbers

import numpy as np

from . import _kyhost
from ._shapes import point_vectors


def _ball_norm(p, eps) -> float:
    """The Minkowski norm p of a query (1, 2 or inf), checking eps >= 0,
    which the exact answers always satisfy."""
    try:
        eps, p = float(eps), float(p)
    except (TypeError, ValueError):
        raise ValueError(f"p must be 1, 2 or inf and eps a non-negative number; got p={p!r}, eps={eps!r}") from None
    if not eps >= 0:
        raise ValueError(f"eps must be a non-negative number; got {eps!r}")
    if p not in (1.0, 2.0, np.inf):
        raise ValueError(f"p must be 1, 2 or inf; got {p!r}")
    return p


def _ball_workers(workers) -> int:
    if not isinstance(workers, numbers.Integral) or isinstance(workers, bool) or workers == 0 or workers < -1:
        raise ValueError(f"workers must be a positive number of threads, or -1 for all processors; got {workers!r}")
    return int(workers)


def _radius(r) -> float:
    try:
        return float(r)
    except (TypeError, ValueError):
        raise ValueError(f"r must be a number; got {r!r}") from None


class BallQueries:
    """The radius queries of kyhost.Triangulation (a mixin over its index)."""

    def _ball_search(self):
        return self._cached("_ball_search_value", lambda: _kyhost._BallSearch(self._index()))

    def query_ball_point(self, x, r, p: float = 2., eps: float = 0, workers: int = 1, return_sorted=None,
                         return_length: bool = False):
        """The points within distance r of each query point, as
        scipy.spatial.cKDTree.query_ball_point gives them: x has shape
        (..., 2) and r is a number or an array broadcast to x.shape[:-1].
        A single point (x of shape (2,)) gives a list of indices, otherwise
        an object array of lists of shape x.shape[:-1]; with
        ``return_length=True`` the counts instead (int). Lists are ascending
        unless ``return_sorted=False``. Queries that are not finite get
        none.

        A point is within r exactly when cKDTree would say so: its norm
        from the query computed as cKDTree computes it (dx*dx + dy*dy
        against r*r for p=2; |dx| + |dy| or max(|dx|, |dy|) against r for
        p=1 or inf) compared with ``<=``, so points exactly at distance r are
        in. ``p`` is 1, 2 or inf. ``eps`` >= 0 allows cKDTree's approximate
        answers; the answers given are exact for every eps. ``workers``
        threads share the queries (-1: every processor).

        Each query walks to its nearest data point and collects the points
        of the ball from there over Delaunay edges: the points inside a disk
        are joined by edges inside it (see the C++ search), so none is
        missed. Repeats merged by ``merge_duplicates`` are returned with the
        point they were merged into.
        """
        norm = _ball_norm(p, eps)
        threads = _ball_workers(workers)
        qx, qy, shape = point_vectors(x)
        try:
            radius = np.broadcast_to(np.asarray(r, dtype=np.float64), shape)
        except ValueError:
            raise ValueError(f"r of shape {np.shape(r)} does not broadcast to the queries' shape {shape}") from None
        radius = np.ascontiguousarray(radius).ravel()
        search = self._ball_search()
        if return_length:
            counts = search.counts(qx, qy, radius, norm, threads).astype(np.intp, copy=False)
            return int(counts[0]) if shape == () else counts.reshape(shape)
        lists = search.lists(qx, qy, radius, norm, threads, return_sorted is not False)
        if shape == ():
            return lists[0]
        return lists.reshape(shape)

    def query_pairs(self, r, p: float = 2., eps: float = 0, output_type: str = "set", *, workers: int = 1):
        """All pairs (i, j), i < j, of points at most r apart, as
        scipy.spatial.cKDTree.query_pairs gives them: a set of tuples
        (``output_type='set'``) or an (m, 2) array of intp, ascending
        (``'ndarray'``). The distance test is cKDTree's (see
        query_ball_point); repeats merged by ``merge_duplicates`` pair with
        each other (they are 0 apart) and with the kept point's partners.
        ``workers`` threads share the points (-1: every processor)."""
        norm = _ball_norm(p, eps)
        radius = _radius(r)
        threads = _ball_workers(workers)
        if output_type not in ("set", "ndarray"):
            raise ValueError(f"output_type must be 'set' or 'ndarray'; got {output_type!r}")
        search = self._ball_search()
        if output_type == "set":
            return search.pair_set(radius, norm, threads)
        return search.pairs(radius, norm, threads).astype(np.intp, copy=False)

    def count_neighbors(self, other, r, p: float = 2., *, workers: int = 1):
        """The number of pairs (a point of this triangulation, a point of
        ``other``) at most r apart, as scipy.spatial.cKDTree.count_neighbors
        counts them: ``other`` is a Triangulation (its points as given,
        repeats included) or points of shape (n, 2); r a number (an int is
        returned) or a 1-D array of radii (an array of counts, one per
        radius). The distance test is cKDTree's (see query_ball_point).
        ``workers`` threads share the points of ``other``."""
        norm = _ball_norm(p, 0)
        threads = _ball_workers(workers)
        if isinstance(other, BallQueries):
            qx, qy = other._x, other._y
        else:
            points = np.asarray(other, dtype=np.float64)
            if points.ndim != 2 or points.shape[1] != 2:
                raise ValueError(f"other must be a Triangulation or points of shape (n, 2); got shape {points.shape}")
            qx, qy = np.ascontiguousarray(points[:, 0]), np.ascontiguousarray(points[:, 1])
        radii = np.asarray(r, dtype=np.float64)
        if radii.ndim > 1:
            raise ValueError(f"r must be a number or a 1-D array of radii; got shape {radii.shape}")
        counts = self._ball_search().count_pairs(qx, qy, np.ascontiguousarray(radii.ravel()), norm, threads)
        counts = counts.astype(np.intp, copy=False)
        return int(counts[0]) if radii.ndim == 0 else counts
