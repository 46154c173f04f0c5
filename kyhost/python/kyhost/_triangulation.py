"""Triangulation: the Delaunay triangulation of planar points from the
sweeptri plug-in, with 0-based int32 arrays, queries and conventions in the
manner of scipy.spatial.Delaunay and cKDTree."""
from __future__ import annotations

import numbers
import warnings
from typing import Optional, Tuple

import numpy as np

from . import _kyhost
from ._ball_queries import BallQueries, _ball_norm, _ball_workers
from ._inspect import CheckResult, _result
from ._shapes import coordinate_pair, point_vectors, query_pair

_EPS = 100 * np.finfo(np.float64).eps

# What a pickle holds: 1 (no "version" key) and 2 carry the same arrays,
# with the rows clockwise as sweeptri returns them.
_PICKLE_VERSION = 2

# Point location keeps coarser triangulations of random samples, each of
# about 1/_LEVEL_RATIO of the points below (a fixed seed keeps answers the
# same from run to run).
_LEVEL_RATIO = 32
_LEVEL_SEED = 20240611

# Points per tile of Triangulation(..., workers=k): large enough that a
# tile's sweep dwarfs its seam, small enough for the tiles to share out.
_TILE_POINTS = 1 << 19


def _first_not_finite(x: np.ndarray, y: np.ndarray) -> Optional[int]:
    bad = ~(np.isfinite(x) & np.isfinite(y))
    return int(np.argmax(bad)) if bad.any() else None


def _first_of_each_place(x: np.ndarray, y: np.ndarray) -> np.ndarray:
    """For each point, the position of the first point at the same place."""
    n = x.size
    if n < 2:
        return np.arange(n)
    order = np.lexsort((x, y))
    same = (x[order][1:] == x[order][:-1]) & (y[order][1:] == y[order][:-1])
    if not same.any():
        return np.arange(n)
    starts = np.flatnonzero(np.concatenate(([True], ~same)))
    group = np.cumsum(np.concatenate(([True], ~same))) - 1
    first = np.minimum.reduceat(order, starts)
    representative = np.empty(n, dtype=np.intp)
    representative[order] = first[group]
    return representative


def _first_repeat_text(x: np.ndarray, y: np.ndarray) -> Optional[str]:
    representative = _first_of_each_place(x, y)
    repeats = np.flatnonzero(representative != np.arange(x.size))
    if repeats.size == 0:
        return None
    later = int(repeats[0])
    first = int(representative[later])
    return (f"points {first} and {later} are both at ({x[later]!r}, {y[later]!r}); "
            "pass merge_duplicates=True to keep the first point of each place")


def _is_dask(value) -> bool:
    return type(value).__module__.startswith("dask.")


def _read_only(array: np.ndarray) -> np.ndarray:
    array.flags.writeable = False
    return array


def _counts(k) -> Tuple[int, Optional[list]]:
    """k as cKDTree's query takes it: a count, or a list of the ranks wanted."""
    if isinstance(k, numbers.Integral) and not isinstance(k, bool):
        if k < 1:
            raise ValueError(f"k must be at least 1; got {k}")
        return int(k), None
    ranks = np.asarray(k)
    if ranks.ndim != 1 or ranks.size == 0 or ranks.dtype.kind not in "iu" or (ranks < 1).any():
        raise ValueError(f"k must be a positive integer or a list of them; got {k!r}")
    return int(ranks.max()), [int(r) - 1 for r in ranks]


# The norm and thread-count checks are the radius queries' own.
_norm, _workers = _ball_norm, _ball_workers


# sweeptri warns of collinear points when its sweep met a degenerate case
# ("possible incorrect triangulation"); its rows are certified Delaunay
# whatever the sweep met, so for the object the warning is false.
_COLLINEAR_WARNING = "Degenerate case: collinear points."


def _sweeptri_certified(x: np.ndarray, y: np.ndarray) -> np.ndarray:
    """sweeptri's rows, passing on every warning but the collinear one."""
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        tri = _kyhost.sweeptri(x, y)
    for warning in caught:
        if not (issubclass(warning.category, _kyhost.KyWarning) and
                str(warning.message).startswith(_COLLINEAR_WARNING)):
            warnings.warn(warning.message, warning.category, stacklevel=3)
    return tri


class Triangulation(BallQueries):
    """Triangulation(points) or Triangulation(x, y, *, merge_duplicates=False, workers=None)

    The Delaunay triangulation of planar points, computed by the sweeptri
    plug-in. ``points`` has shape (n, 2); or give the coordinates as two
    vectors ``x`` and ``y`` of length n. Coordinates must be finite. The
    object keeps its own copy of the coordinates: changing the caller's
    arrays afterwards changes nothing.

    Repeated points are refused, naming the first pair, unless
    ``merge_duplicates=True``: then the first point of each group is used,
    and ``coplanar`` lists the others as scipy.spatial.Delaunay lists the
    points it leaves out: rows ``(point, simplex, kept point)``. Indices
    always refer to the points as given.

    Attributes (0-based, as scipy.spatial.Delaunay gives them): ``points``,
    ``simplices`` (int32, each row counter-clockwise), ``neighbors``
    (``neighbors[i, j]`` lies opposite vertex j of simplex i),
    ``convex_hull``, ``vertex_neighbor_vertices``, ``vertex_to_simplex``,
    ``coplanar``, ``transform``, ``min_bound``, ``max_bound``, ``ndim``,
    ``npoints``, ``nsimplex``. Every array is built once and read-only:
    copy it to change it (``np.sort(t.simplices, axis=1)``). Fewer than
    three points, or points all on one line, give no simplices; ``nearest``
    and ``query`` still answer for them. sweeptri's warning of collinear
    points ("possible incorrect triangulation") is not passed on: the rows
    it returns are certified Delaunay, whatever its sweep met.

    ``workers=k`` (``-1``: all processors) triangulates in tiles on k
    threads: the same triangles wherever the Delaunay triangulation is
    unique, a Delaunay triangulation everywhere, rows in an order that
    depends only on the points (the same for every k). ``workers=None``
    runs the single sweep.

    Objects pickle (they carry their arrays; the plug-ins are looked up
    again wherever the object is unpickled). Pickles carry a version, and
    pickles of earlier versions of the package load.
    """

    def __init__(self, x, y=None, *, merge_duplicates: bool = False, workers=None):
        px, py = coordinate_pair(x, y, "x", "y", copy=True)
        bad = _first_not_finite(px, py)
        if bad is not None:
            raise ValueError(f"point {bad} is not finite: ({px[bad]!r}, {py[bad]!r}); coordinates must be finite")
        self._x, self._y = _read_only(px), _read_only(py)
        self._kept = self._representative = None
        if merge_duplicates:
            representative = _first_of_each_place(px, py)
            if (representative != np.arange(px.size)).any():
                self._kept = _read_only(np.flatnonzero(representative == np.arange(px.size)))
                self._representative = _read_only(representative)
        xs, ys = self._used_coordinates()
        if workers is not None:
            threads = _workers(workers)
            try:
                local, _ = _kyhost._triangulate_tiled(xs, ys, threads, _TILE_POINTS)
            except ValueError as error:
                # Repeats are found by the tiles' sweeps; only then are they looked for here.
                text = _first_repeat_text(px, py) if str(error) == "x-y data must be unique" else None
                if text is None:
                    raise
                raise ValueError(text) from None
            self._local = _read_only(local)
            return
        try:
            tri = _sweeptri_certified(xs, ys)
        except _kyhost.CallError as error:
            # sweeptri finds repeats as it sorts; only then are they looked for here.
            text = _first_repeat_text(px, py) if str(error) == "x-y data must be unique" else None
            if text is None:
                raise
            raise ValueError(text) from None
        # Rows over the used points, 0-based, in one pass; clockwise, as
        # sweeptri gives them. sweeptri's own matrix (twice the memory) is
        # made again only when a plug-in call needs it (_tri).
        self._local = np.empty(tri.shape, dtype=np.int32)
        np.subtract(tri, 1, out=self._local, casting="unsafe")
        _read_only(self._local)

    # -- pickling: the arrays only; everything else is derived again --------
    def __getstate__(self):
        return {"version": _PICKLE_VERSION, "x": self._x, "y": self._y, "kept": self._kept,
                "representative": self._representative, "local": self._local}

    def __setstate__(self, state):
        version = state.get("version", 1)
        if version > _PICKLE_VERSION:
            raise ValueError(f"this Triangulation was pickled by a newer kyhost (pickle version {version}; "
                             f"this kyhost reads up to {_PICKLE_VERSION})")
        self._x, self._y = _read_only(state["x"]), _read_only(state["y"])
        self._kept, self._representative = state["kept"], state["representative"]
        for array in (self._kept, self._representative):
            if array is not None:
                _read_only(array)
        self._local = _read_only(np.ascontiguousarray(state["local"], dtype=np.int32))

    def __repr__(self) -> str:
        return f"kyhost.Triangulation({self.npoints} points, {self.nsimplex} simplices)"

    # -- the used points (without repeats) and their triangle matrix ---------
    def _used_coordinates(self) -> Tuple[np.ndarray, np.ndarray]:
        if self._kept is None:
            return self._x, self._y
        return self._cached("_used_xy", lambda: (_read_only(self._x[self._kept]), _read_only(self._y[self._kept])))

    def _cached(self, name, compute):
        value = self.__dict__.get(name)
        if value is None:
            value = compute()
            self.__dict__[name] = value
        return value

    def _original(self, local: np.ndarray) -> np.ndarray:
        """Used-point numbers as positions in the points as given (-1 stays)."""
        if self._kept is None:
            return local
        return np.where(local >= 0, self._kept[np.maximum(local, 0)], -1).astype(local.dtype)

    @property
    def _tri(self) -> np.ndarray:
        """The triangle matrix as the plug-ins take it: 1-based float64,
        column-major, each row clockwise."""
        return self._cached("_tri_value",
                            lambda: _read_only(np.asfortranarray(self._local, dtype=np.float64) + 1.0))

    def _index(self):
        """The searches' shared structures (neighbours, adjacency, nearest
        points), built once per object."""
        return self._cached("_index_value", self._new_index)

    def _new_index(self, graph_start=None, graph_points=None):
        ux, uy = self._used_coordinates()
        original = group_start = members = None
        if self._kept is not None:
            original = self._kept.astype(np.int64)
            # The points as given at each kept point's place, ascending: the
            # kept (first) point, then its repeats.
            members = np.argsort(self._representative, kind="stable").astype(np.int64)
            counts = np.bincount(self._representative, minlength=self.npoints)[self._kept]
            group_start = np.concatenate(([0], np.cumsum(counts))).astype(np.int64)
        return _kyhost._TriangulationIndex(ux, uy, self._local, original, group_start, members, self.npoints,
                                           graph_start, graph_points)

    def _local_neighbors(self) -> np.ndarray:
        """neighbors of the clockwise rows (the row opposite corner j)."""
        return self._index().neighbors()

    def _local_adjacency(self) -> Tuple[np.ndarray, np.ndarray]:
        return self._index().adjacency()

    def _neighbour_matrix(self):
        """The sparse neighbour matrix S that nearwalk takes, built once."""
        def compute():
            import scipy.sparse
            indptr, indices = self._local_adjacency()
            n = indptr.size - 1
            matrix = scipy.sparse.csc_matrix((np.ones(indices.size), indices, indptr), shape=(n, n))
            matrix.has_sorted_indices = True
            # Read-only, so that nearwalk reads the layout in place instead
            # of a copy per call.
            for index in (indptr, indices, matrix.indptr, matrix.indices):
                index.flags.writeable = False
            return matrix
        return self._cached("_s_value", compute)

    def _locator(self):
        """Point location over the triangulation and coarser ones of random
        samples of its points (sweeptri's too), built at the first use."""
        def compute():
            locator = _kyhost._PointLocator(self._index())
            ux, uy = self._used_coordinates()
            level = np.arange(ux.size, dtype=np.int32)
            random = np.random.default_rng(_LEVEL_SEED)
            # Down to a coarsest level of a few points, where a walk is short
            # whatever the shape.
            while level.size > _LEVEL_RATIO:
                coarser = level[random.random(level.size) < 1 / _LEVEL_RATIO]
                if coarser.size < 3:
                    break
                with warnings.catch_warnings():
                    # A sample may lie on few lines; its rows are still certified.
                    warnings.simplefilter("ignore", _kyhost.KyWarning)
                    rows = _kyhost.sweeptri(ux[coarser], uy[coarser])
                if rows.shape[0] == 0:
                    break
                locator.add_level(coarser, (rows - 1).astype(np.int32))
                level = coarser
            return locator
        return self._cached("_locator_value", compute)

    # -- scipy-style attributes ---------------------------------------------
    @property
    def points(self) -> np.ndarray:
        """The points as given, shape (n, 2), float64 (read-only)."""
        return self._cached("_points_value", lambda: _read_only(np.column_stack((self._x, self._y))))

    @property
    def npoints(self) -> int:
        return int(self._x.size)

    @property
    def nsimplex(self) -> int:
        return int(self._local.shape[0])

    @property
    def ndim(self) -> int:
        """2: the points are planar."""
        return 2

    @property
    def min_bound(self) -> np.ndarray:
        """The smallest x and y of the points (NaN without points)."""
        return self._cached("_min_bound_value", lambda: _read_only(
            np.array([self._x.min(), self._y.min()]) if self.npoints else np.full(2, np.nan)))

    @property
    def max_bound(self) -> np.ndarray:
        """The largest x and y of the points (NaN without points)."""
        return self._cached("_max_bound_value", lambda: _read_only(
            np.array([self._x.max(), self._y.max()]) if self.npoints else np.full(2, np.nan)))

    @property
    def simplices(self) -> np.ndarray:
        """Triangles, shape (m, 3), int32 point indices, each row
        counter-clockwise (as scipy gives them in 2-D)."""
        return self._cached("_simplices_value",
                            lambda: _read_only(np.ascontiguousarray(self._original(self._local)[:, [0, 2, 1]])))

    @property
    def neighbors(self) -> np.ndarray:
        """neighbors[i, j]: the simplex opposite vertex j of simplex i (across
        the edge of its other two corners), -1 on the hull. int32."""
        return self._cached("_neighbors_ccw_value",
                            lambda: _read_only(np.ascontiguousarray(self._local_neighbors()[:, [0, 2, 1]])))

    @property
    def convex_hull(self) -> np.ndarray:
        """The hull's edges, shape (h, 2), int32 point indices, each running
        counter-clockwise around the hull: the edges with a simplex on one
        side only (points on a hull edge are corners too)."""
        def compute():
            s = self.simplices
            hull = self.neighbors == -1
            edges = np.column_stack((s[:, [1, 2, 0]][hull], s[:, [2, 0, 1]][hull])).astype(np.int32)
            return _read_only(edges)
        return self._cached("_convex_hull_value", compute)

    @property
    def vertex_neighbor_vertices(self) -> Tuple[np.ndarray, np.ndarray]:
        """(indptr, indices): the points joined to point k by an edge are
        indices[indptr[k]:indptr[k + 1]], ascending. int32."""
        def compute():
            if self._kept is None:
                return self._local_adjacency()
            indptr, indices = _kyhost._point_adjacency(self.simplices, self.npoints)
            return _read_only(indptr), _read_only(indices)
        return self._cached("_vertex_neighbors_value", compute)

    @property
    def vertex_to_simplex(self) -> np.ndarray:
        """A simplex with point k as a corner, -1 for points in none."""
        def compute():
            result = np.full(self.npoints, -1, dtype=np.int32)
            result[self.simplices.ravel()] = np.repeat(np.arange(self.nsimplex, dtype=np.int32), 3)
            return _read_only(result)
        return self._cached("_vertex_to_simplex_value", compute)

    @property
    def coplanar(self) -> np.ndarray:
        """Points left out as repeats (merge_duplicates=True): rows
        (point, a simplex of the kept point, kept point). int32."""
        def compute():
            if self._representative is None:
                return _read_only(np.zeros((0, 3), dtype=np.int32))
            dropped = np.flatnonzero(self._representative != np.arange(self.npoints))
            kept = self._representative[dropped]
            return _read_only(np.column_stack((dropped, self.vertex_to_simplex[kept], kept)).astype(np.int32))
        return self._cached("_coplanar_value", compute)

    @property
    def transform(self) -> np.ndarray:
        """scipy's barycentric transform, shape (m, 3, 2): for simplex i,
        ``c = transform[i, :2] @ (x - transform[i, 2])`` gives the weights of
        its first two vertices (the third is 1 - c.sum()). NaN for simplices
        so flat that the inverse is unreliable (reciprocal condition number
        below 1000 machine epsilons), as scipy gives them. Computed at any
        magnitude with exact power-of-two scaling."""
        def compute():
            ux, uy = self._used_coordinates()
            return _read_only(_kyhost._barycentric_transform(ux, uy, np.ascontiguousarray(self._local[:, [0, 2, 1]])))
        return self._cached("_transform_value", compute)

    # -- queries -------------------------------------------------------------
    def nearest(self, xi, yi=None, *, return_distance: bool = False, keep_order: bool = False):
        """The index of a nearest point for each query point. Queries are xi
        and yi of one shape, or xi alone of shape (..., 2); the answer has
        their shape. A query with a NaN or infinite coordinate gets -1 (and
        distance inf). With ``return_distance=True`` returns (index, distance).

        Each query walks greedily over this triangulation's neighbours, as
        the nearwalk plug-in does, in the package's own C++: squared
        distances are computed as nearwalk computes them, and decided
        exactly where magnitudes would over- or underflow (coordinates from
        1e-300 to 1e300 in one set are answered exactly); no walk is cut
        short. The queries are walked in a spatial order (a Hilbert curve
        over their ranks) and answered in the caller's; the answer is the
        point of smallest distance, the lowest-numbered where several tie.
        The distance reported is computed as cKDTree computes it (the
        square root of dx*dx + dy*dy on the coordinates as given; ``hypot``
        where that overflows). (A query more than 2**30 times the points'
        extent outside them, where rounding spans a large part of the
        points, is answered by exact distances instead and starts its walk
        from the hull vertex farthest out toward it.)
        ``keep_order=True`` gives exactly the answers of nearwalk walking the
        queries in the caller's order, each from the answer before it: only
        queries with tied points depend on that, and only they are walked so.

        Dask arrays of queries give dask arrays back: the object goes into
        the graph once (each worker receives it once) and each block is
        answered in one pass, index and distance together. Dask computes
        them with the scheduler in effect where ``compute`` is called: a
        ``distributed.Client``'s workers when one is active, otherwise its
        default threaded scheduler (the search releases the GIL, so blocks
        run in parallel).
        """
        if _is_dask(xi) or _is_dask(yi):
            return self._nearest_dask(xi, yi, return_distance, keep_order)
        qx, qy, shape = query_pair(xi, yi)
        index, distance = self._nearest_flat(qx, qy, keep_order)
        index = index.astype(np.intp, copy=False).reshape(shape)
        if not return_distance:
            return index
        return index, distance.reshape(shape)

    def _nearest_flat(self, qx: np.ndarray, qy: np.ndarray, keep_order: bool) -> Tuple[np.ndarray, np.ndarray]:
        found, distance, tied = self._index().nearest(qx, qy, 1, keep_order)
        if keep_order and self.nsimplex > 0 and tied.any():
            self._walk_ties_as_given(qx, qy, found, distance, tied)
        return found, distance

    def _walk_ties_as_given(self, qx, qy, found, distance, tied):
        """Replaces the answers of tied queries by those of nearwalk walking
        all queries in the caller's order. A query's walk starts from the
        answer to the finite query before it, which is the same in any order
        unless that query is tied too; so only the tied queries are walked,
        in order, each after a query at the point its walk starts from (a
        walk to a point's own place ends there). An answer that is not at
        the tied distance (a walk that nearwalk's budget cut short) is not
        taken. (A query so far from the points that rounding cannot tell
        them apart is walked so too: the object answers it by exact distances,
        nearwalk by computed ones.)"""
        ux, uy = self._used_coordinates()
        finite = np.flatnonzero(np.isfinite(qx) & np.isfinite(qy))
        ties = np.flatnonzero(tied)
        rank = np.searchsorted(finite, ties) - 1
        before = np.where(rank >= 0, finite[np.maximum(rank, 0)], -1)
        starts = (before >= 0) & ~tied[np.maximum(before, 0)]
        local = found if self._kept is None else np.searchsorted(self._kept, np.maximum(found, 0))
        walked_x = np.empty(ties.size + int(starts.sum()))
        walked_y = np.empty_like(walked_x)
        at = np.arange(ties.size) + np.cumsum(starts)  # position of each tie in the walk
        start_at = at[starts] - 1
        walked_x[at], walked_y[at] = qx[ties], qy[ties]
        walked_x[start_at], walked_y[start_at] = ux[local[before[starts]]], uy[local[before[starts]]]
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", _kyhost.KyWarning)
            walked = _kyhost.nearwalk(ux, uy, self._tri, walked_x, walked_y, self._neighbour_matrix())
        answer = walked.ravel()[at].astype(np.int64) - 1
        good = self._index().distances(answer, qx[ties], qy[ties]) <= distance[ties]
        found[ties[good]] = self._original(answer[good])

    def _nearest_dask(self, xi, yi, return_distance: bool, keep_order: bool):
        import dask
        import dask.array as da
        # One copy of the object in the graph, sent to each worker once, with
        # its search graph so that no worker builds it again.
        shared = dask.delayed(_Shipped(self), pure=True)
        if yi is None:
            points = da.asarray(xi)
            if points.ndim < 1 or points.shape[-1] != 2:
                raise ValueError(f"xi alone must have shape (..., 2), (x, y) along the last axis; got shape "
                                 f"{points.shape} (for separate coordinates pass xi and yi)")
            points = points.rechunk({points.ndim - 1: -1})
            blocks, last = (points,), [points.ndim - 1]
            chunks = points.chunks[:-1]
        else:
            xi, yi = da.broadcast_arrays(da.asarray(xi), da.asarray(yi))
            blocks, last, chunks = (xi, yi.rechunk(xi.chunks)), [], xi.chunks
        # meta given, so that dask does not call the block function on the
        # graph's placeholder of the object (a Delayed) to learn the type.
        ndim = len(chunks)
        if not return_distance:
            return da.map_blocks(_nearest_index_block, *blocks, shared=shared, keep_order=keep_order,
                                 drop_axis=last, dtype=np.intp, chunks=chunks, meta=np.empty((0,) * ndim, np.intp))
        both = da.map_blocks(_nearest_pair_block, *blocks, shared=shared, keep_order=keep_order, drop_axis=last,
                             new_axis=0, chunks=((2,),) + chunks, dtype=np.float64,
                             meta=np.empty((0,) * (ndim + 1), np.float64))
        return both[0].astype(np.intp), both[1]

    def query(self, x, k=1, eps: float = 0, p: float = 2, distance_upper_bound: float = np.inf, workers: int = 1):
        """The k nearest points of each query point, as
        scipy.spatial.cKDTree.query gives them: x has shape (..., 2); returns
        (d, i), distances ascending and indices of the points as given, of
        shape (...) for k=1, (..., k) for k > 1, and (..., len(k)) for a list
        of ranks k (1-based, as cKDTree takes them). A single point (x of
        shape (2,)) with k=1 gives a float and an int. Missing neighbours
        (fewer points than k, or none closer than distance_upper_bound) get
        distance inf and index n, as do queries that are not finite.

        Distances are those of ``nearest``, computed as cKDTree computes
        them: the square root of dx*dx + dy*dy on the coordinates as given
        (``hypot`` where that overflows), whichever comparison chose the
        points; where several points are at the same distance the
        lower-numbered comes first, so answers may differ from cKDTree's and
        from ``nearest(keep_order=True)`` only between points at the same
        computed distance. That holds in the crowded case too, where
        rounding puts many points within reach of the k-th distance (points
        on a circle queried at its centre): the search goes through all of
        them. Queries outside the frame of exact computation, or more than
        2**30 times the points' extent outside them, are chosen by exact
        distances instead (see docs/query-notes.md). ``workers`` threads
        share the queries (-1: every processor this process may use).

        ``p`` is the Minkowski norm, 1, 2 or inf, its distances computed as
        cKDTree computes them (``|dx| + |dy|``, ``max(|dx|, |dy|)``), lower
        number first among equal ones. ``eps`` >= 0 allows cKDTree's
        approximate answers (the k-th no farther than (1 + eps) times the
        true k-th); the answers given are exact for every eps, which
        satisfies that bound.

        The search starts at a nearest point and expands over Delaunay
        neighbours, best first: every one of the k nearest points is a
        Delaunay neighbour of a nearer one (see the C++ search), so the
        expansion meets them in order. Repeats merged by
        ``merge_duplicates`` are returned with the point they were merged
        into; points with no triangles (on one line) are searched along
        their line.
        """
        count, ranks = _counts(k)
        bound = float(distance_upper_bound)
        if np.isnan(bound):
            raise ValueError("distance_upper_bound must not be NaN")
        norm = _norm(p, eps)
        qx, qy, shape = point_vectors(x)
        distance, index = self._index().query(qx, qy, count, bound, _workers(workers), norm)
        index = index.astype(np.intp, copy=False)
        if ranks is not None:
            distance, index = distance[:, ranks], index[:, ranks]
            return distance.reshape(shape + (len(ranks),)), index.reshape(shape + (len(ranks),))
        if count > 1:
            return distance.reshape(shape + (count,)), index.reshape(shape + (count,))
        if shape == ():
            return float(distance[0, 0]), int(index[0, 0])
        return distance[:, 0].reshape(shape), index[:, 0].reshape(shape)

    def find_simplex(self, xi, yi=None, *, bruteforce: bool = False, tol: Optional[float] = None,
                     return_barycentric: bool = False):
        """The simplex that holds each query point, -1 outside the hull (and for
        a NaN or infinite coordinate). A point on an edge gets one of the two
        simplices. Tests are exact at any magnitude, and by default the rule
        is that of the interpolators (griddata, LinearNDInterpolator,
        ``interpolate``): a point is inside exactly when it lies in the
        closed hull, however close outside it is (scipy's default instead
        admits points whose weights are above -100 machine epsilons). Given
        ``tol``, a point just outside the hull counts as inside the hull
        simplex it is nearest to leaving if its barycentric weights there
        are all at least ``-tol``, as scipy's ``tol``. Queries that come in
        order (a grid, a path) are first walked a few steps from the answer
        before, which settles those strictly inside a simplex; the others
        are located from coarser triangulations of samples of the points
        down (O(log n) steps whatever their shape). Answers do not depend on
        the queries' order. ``bruteforce=True`` tests every simplex instead and gives the first
        that holds the point (or has all weights at least ``-tol``). With
        ``return_barycentric=True`` returns (simplex, barycentric), the
        latter of shape (..., 3): the weights of the simplex's vertices in
        the order of ``simplices`` (NaN outside).
        """
        qx, qy, shape = query_pair(xi, yi)
        tolerance = 0.0 if tol is None else float(tol)
        if np.isnan(tolerance):
            raise ValueError("tol must not be NaN")
        if self.nsimplex > 0:
            locator = self._locator()
            found = locator.locate(qx, qy, tolerance, bruteforce)
        else:
            found = np.full(qx.size, -1, dtype=np.int64)
        simplex = found.astype(np.int32).reshape(shape)
        if not return_barycentric:
            return simplex
        if self.nsimplex > 0:
            weights = locator.weights(found, qx, qy)[:, [0, 2, 1]]
        else:
            weights = np.full((qx.size, 3), np.nan)
        return simplex, weights.reshape(shape + (3,))

    def interpolate(self, values, xi, yi=None, *, method: str = "linear", fill_value=np.nan):
        """Interpolates values given at the points (shape (npoints, ...),
        real or complex) at query points, with the trinterp plug-in over
        this triangulation: "linear" (the plane over the simplex holding each
        query) or "natural" (natural-neighbour, Sibson's coordinates).
        Queries are xi and yi of one shape, or xi alone of shape (..., 2);
        the answer has their shape followed by the values' trailing shape.
        Queries outside the hull, or not finite, get fill_value.
        """
        from ._interpolate import interpolate
        return interpolate(self, values, xi, yi, method=method, fill_value=fill_value)

    def voronoi(self):
        """The Voronoi diagram of the points (kyhost.Voronoi), from this
        triangulation."""
        from ._voronoi import Voronoi
        return Voronoi._from_triangulation(self)

    # -- check and pictures ---------------------------------------------------
    def check(self) -> CheckResult:
        """The exact check of this triangulation (see kyhost.check), with
        points 0-based as given and rows numbered as in ``simplices``. The
        check sees the rows clockwise, as sweeptri makes them."""
        ux, uy = self._used_coordinates()
        values = _kyhost._check(ux, uy, self._tri - 1, base=0)  # its text 0-based, as the fields
        if self._kept is not None:
            kept = self._kept.tolist()
            for key in ("unused_points", "repeated_points"):
                values[key] = [kept[p] for p in values[key]]
            for key in ("repeated_edges", "crowded_edges", "stray_boundary_edges", "uncovered_hull_edges",
                        "non_delaunay_edges"):
                values[key] = [(kept[u], kept[v], r, s) for u, v, r, s in values[key]]
        return _result(values)

    def to_matplotlib(self):
        """A matplotlib.tri.Triangulation of the same points and triangles."""
        import matplotlib.tri
        if self.nsimplex == 0:
            # Without triangles matplotlib would triangulate the points itself.
            raise ValueError("no triangles (fewer than three points, or all on one line): "
                             "matplotlib.tri.Triangulation needs at least one")
        return matplotlib.tri.Triangulation(self._x, self._y, triangles=self.simplices)

    def plot(self, ax=None, **kwargs):
        """Draws the edges and points with matplotlib (on ax, or the current
        axes); keyword arguments go to ``triplot``. Returns the axes."""
        if ax is None:
            import matplotlib.pyplot as plt
            ax = plt.gca()
        if self.nsimplex:
            ax.triplot(self.to_matplotlib(), **kwargs)
        else:
            ax.plot(self._x, self._y, "o", **kwargs)
        return ax

    def draw(self, path, *, title: str = "", format: Optional[str] = None) -> str:
        """Draws the triangulation into an SVG or PNG file, as kyhost.draw
        does; returns the check's verdict line."""
        ux, uy = self._used_coordinates()
        verdict, _, _ = _kyhost._draw(ux, uy, self._tri, str(path), None, None, None, title, format or "", "", "")
        return verdict


class _Shipped:
    """A Triangulation on its way to dask's workers: pickled with its search
    graph, it arrives with the index ready (a plain pickle carries only the
    arrays that define the object)."""

    def __init__(self, triangulation: Triangulation):
        self.triangulation = triangulation

    def __reduce__(self):
        t = self.triangulation
        graph = tuple(t._index().graph()) if t.nsimplex > 0 else None
        return _received, (t.__getstate__(), graph)


def _received(state, graph):
    t = Triangulation.__new__(Triangulation)
    t.__setstate__(state)
    if graph is not None:
        t.__dict__["_index_value"] = t._new_index(*graph)
    return _Shipped(t)


def _nearest_index_block(*blocks, shared, keep_order):
    return shared.triangulation.nearest(*blocks, keep_order=keep_order)


def _nearest_pair_block(*blocks, shared, keep_order):
    index, distance = shared.triangulation.nearest(*blocks, return_distance=True, keep_order=keep_order)
    return np.stack((index.astype(np.float64), distance))
