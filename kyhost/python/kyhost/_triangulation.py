"""Triangulation: the Delaunay triangulation of planar points from the
sweeptri plug-in, with 0-based int32 arrays and queries in the manner of
scipy.spatial.Delaunay, nearest points through the nearwalk plug-in."""
from __future__ import annotations

import functools
from typing import Optional, Tuple

import numpy as np

from . import _kyhost
from ._inspect import CheckResult, _result
from ._shapes import coordinate_pair, query_pair
from ._spatial_order import morton_order

_EPS = 100 * np.finfo(np.float64).eps


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


class Triangulation:
    """Triangulation(points) or Triangulation(x, y, *, merge_duplicates=False)

    The Delaunay triangulation of planar points, computed by the sweeptri
    plug-in. ``points`` has shape (n, 2); or give the coordinates as two
    vectors ``x`` and ``y`` of length n. Coordinates must be finite.

    Repeated points are refused, naming the first pair, unless
    ``merge_duplicates=True``: then the first point of each group is used,
    and ``coplanar`` lists the others as scipy.spatial.Delaunay lists the
    points it leaves out: rows ``(point, simplex, kept point)``. Indices
    always refer to the points as given.

    Attributes (0-based): ``points``, ``simplices`` (int32, each row
    clockwise, as sweeptri returns them), ``neighbors``, ``convex_hull``,
    ``vertex_neighbor_vertices``, ``vertex_to_simplex``, ``coplanar``.
    Fewer than three points, or points all on one line, give no simplices;
    ``nearest`` still answers for them.

    Objects pickle (they carry their arrays; the plug-ins are looked up
    again wherever the object is unpickled).
    """

    def __init__(self, x, y=None, *, merge_duplicates: bool = False):
        px, py = coordinate_pair(x, y, "x", "y")
        bad = _first_not_finite(px, py)
        if bad is not None:
            raise ValueError(f"point {bad} is not finite: ({px[bad]!r}, {py[bad]!r}); coordinates must be finite")
        self._x, self._y = px, py
        self._kept = self._representative = None
        if merge_duplicates:
            representative = _first_of_each_place(px, py)
            if (representative != np.arange(px.size)).any():
                self._kept = np.flatnonzero(representative == np.arange(px.size))
                self._representative = representative
        xs, ys = self._used_coordinates()
        try:
            tri = _kyhost.sweeptri(xs, ys)
        except _kyhost.CallError as error:
            # sweeptri finds repeats as it sorts; only then are they looked for here.
            text = _first_repeat_text(px, py) if str(error) == "x-y data must be unique" else None
            if text is None:
                raise
            raise ValueError(text) from None
        # Rows over the used points, 0-based, in one pass.
        self._local = np.empty(tri.shape, dtype=np.int32)
        np.subtract(tri, 1, out=self._local, casting="unsafe")
        self.__dict__["_tri_value"] = tri

    # -- pickling: the arrays only; everything else is derived again --------
    def __getstate__(self):
        return {"x": self._x, "y": self._y, "kept": self._kept, "representative": self._representative,
                "local": self._local}

    def __setstate__(self, state):
        self._x, self._y = state["x"], state["y"]
        self._kept, self._representative = state["kept"], state["representative"]
        self._local = state["local"]

    def __repr__(self) -> str:
        return f"kyhost.Triangulation({self.npoints} points, {self.nsimplex} simplices)"

    # -- the used points (without repeats) and their triangle matrix ---------
    def _used_coordinates(self) -> Tuple[np.ndarray, np.ndarray]:
        if self._kept is None:
            return self._x, self._y
        return self._cached("_used_xy", lambda: (self._x[self._kept], self._y[self._kept]))

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
        column-major."""
        return self._cached("_tri_value", lambda: np.asfortranarray(self._local, dtype=np.float64) + 1.0)

    @property
    def _edges(self) -> Tuple[np.ndarray, np.ndarray]:
        """For row i and vertex j, the edge opposite vertex j, as it runs in
        row i: from corner j+1 to corner j+2."""
        return self._cached("_edges_value", lambda: (self._local[:, [1, 2, 0]], self._local[:, [2, 0, 1]]))

    def _local_neighbors(self) -> np.ndarray:
        return self._cached("_neighbors_value",
                            lambda: _kyhost._row_neighbors(self._local, self._used_coordinates()[0].size))

    def _local_adjacency(self) -> Tuple[np.ndarray, np.ndarray]:
        return self._cached("_adjacency_value",
                            lambda: _kyhost._point_adjacency(self._local, self._used_coordinates()[0].size))

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

    # -- scipy-style attributes ---------------------------------------------
    @property
    def points(self) -> np.ndarray:
        """The points as given, shape (n, 2), float64."""
        return np.column_stack((self._x, self._y))

    @property
    def npoints(self) -> int:
        return int(self._x.size)

    @property
    def nsimplex(self) -> int:
        return int(self._local.shape[0])

    @property
    def simplices(self) -> np.ndarray:
        """Triangles, shape (m, 3), int32 point indices, each row clockwise."""
        return self._cached("_simplices_value", lambda: np.ascontiguousarray(self._original(self._local)))

    @property
    def neighbors(self) -> np.ndarray:
        """neighbors[i, j]: the simplex opposite vertex j of simplex i (across
        the edge of its other two corners), -1 on the hull. int32."""
        return self._local_neighbors()

    @property
    def convex_hull(self) -> np.ndarray:
        """The hull's edges, shape (h, 2), int32 point indices: the edges with
        a simplex on one side only (points on a hull edge are corners too)."""
        a, b = self._edges
        hull = self._local_neighbors() == -1
        return self._original(np.column_stack((a[hull], b[hull])).astype(np.int32))

    @property
    def vertex_neighbor_vertices(self) -> Tuple[np.ndarray, np.ndarray]:
        """(indptr, indices): the points joined to point k by an edge are
        indices[indptr[k]:indptr[k + 1]], ascending. int32."""
        if self._kept is None:
            return self._local_adjacency()
        return _kyhost._point_adjacency(self.simplices, self.npoints)

    @property
    def vertex_to_simplex(self) -> np.ndarray:
        """A simplex with point k as a corner, -1 for points in none."""
        result = np.full(self.npoints, -1, dtype=np.int32)
        result[self.simplices.ravel()] = np.repeat(np.arange(self.nsimplex, dtype=np.int32), 3)
        return result

    @property
    def coplanar(self) -> np.ndarray:
        """Points left out as repeats (merge_duplicates=True): rows
        (point, a simplex of the kept point, kept point). int32."""
        if self._representative is None:
            return np.zeros((0, 3), dtype=np.int32)
        dropped = np.flatnonzero(self._representative != np.arange(self.npoints))
        kept = self._representative[dropped]
        return np.column_stack((dropped, self.vertex_to_simplex[kept], kept)).astype(np.int32)

    # -- queries -------------------------------------------------------------
    def nearest(self, xi, yi=None, *, return_distance: bool = False, keep_order: bool = False):
        """The index of a nearest point for each query point, by the nearwalk
        plug-in's walk over this triangulation's neighbour graph (built once
        per object). Queries are xi and yi of one shape, or xi alone of shape
        (..., 2); the answer has their shape. A query with a NaN or infinite
        coordinate gets -1. The queries are walked in a spatial (Morton)
        order and answered in the caller's; ``keep_order=True`` walks them in
        the caller's order instead, as nearwalk does. With
        ``return_distance=True`` returns (index, distance). Dask arrays of
        queries are answered block by block (a dask array back).
        """
        if _is_dask(xi) or _is_dask(yi):
            return self._nearest_dask(xi, yi, return_distance, keep_order)
        qx, qy, shape = query_pair(xi, yi)
        found = self._nearest_flat(qx, qy, keep_order)
        index = self._original(found).reshape(shape)
        if not return_distance:
            return index
        distance = np.full(qx.size, np.inf)
        ok = found >= 0
        ux, uy = self._used_coordinates()
        distance[ok] = np.hypot(qx[ok] - ux[found[ok]], qy[ok] - uy[found[ok]])
        return index, distance.reshape(shape)

    def _nearest_flat(self, qx: np.ndarray, qy: np.ndarray, keep_order: bool) -> np.ndarray:
        """Nearest used points (local numbers) of flat queries, -1 for those
        not finite."""
        answer = np.full(qx.size, -1, dtype=np.intp)
        finite = np.isfinite(qx) & np.isfinite(qy)
        todo = np.arange(qx.size) if finite.all() else np.flatnonzero(finite)
        ux, uy = self._used_coordinates()
        if todo.size == 0 or ux.size == 0:
            return answer
        if self.nsimplex == 0:
            answer[todo] = _nearest_along_line(ux, uy, qx[todo], qy[todo])
            return answer
        if not keep_order:
            order = morton_order(qx[todo], qy[todo])
            todo = order if todo.size == qx.size else todo[order]
        if todo.size == qx.size and keep_order:
            walked_x, walked_y = qx, qy
        else:
            walked_x, walked_y = qx[todo], qy[todo]
        found = _kyhost.nearwalk(ux, uy, self._tri, walked_x, walked_y, self._neighbour_matrix())
        answer[todo] = found.ravel() - 1.0  # nearwalk counts from 1
        return answer

    def _nearest_dask(self, xi, yi, return_distance: bool, keep_order: bool):
        import dask
        import dask.array as da
        if yi is None:
            xi = da.asarray(xi)
            xi, yi = xi[..., 0], xi[..., 1]
        xi, yi = da.broadcast_arrays(da.asarray(xi), da.asarray(yi))
        yi = yi.rechunk(xi.chunks)
        # One copy of the object in the graph, sent to each worker once.
        shared = dask.delayed(self, pure=True)
        index = da.map_blocks(_nearest_block, xi, yi, shared, keep_order, False, dtype=np.intp)
        if not return_distance:
            return index
        distance = da.map_blocks(_nearest_block, xi, yi, shared, keep_order, True, dtype=np.float64)
        return index, distance

    def find_simplex(self, xi, yi=None, *, bruteforce: bool = False, tol: Optional[float] = None,
                     return_barycentric: bool = False):
        """The simplex that holds each query point, -1 outside the hull (and for
        a NaN or infinite coordinate). A point on an edge gets one of the two
        simplices. Points within ``tol`` (in barycentric terms, default
        100 machine epsilons) of a simplex count as inside it. Each query
        walks from a simplex at its nearest point; ``bruteforce=True`` tests
        every simplex instead. With ``return_barycentric=True`` returns
        (simplex, barycentric), the latter of shape (..., 3) with the weights
        of the simplex's three corners (NaN outside).
        """
        qx, qy, shape = query_pair(xi, yi)
        tolerance = _EPS if tol is None else float(tol)
        found = np.full(qx.size, -1, dtype=np.intp)
        finite = np.isfinite(qx) & np.isfinite(qy)
        if self.nsimplex > 0 and finite.any():
            todo = np.flatnonzero(finite)
            if bruteforce:
                found[todo] = self._locate_everywhere(qx[todo], qy[todo], tolerance)
            else:
                found[todo] = self._locate_by_walk(qx[todo], qy[todo], tolerance)
        simplex = found.astype(np.int32).reshape(shape)
        if not return_barycentric:
            return simplex
        weights = np.full((qx.size, 3), np.nan)
        inside = found >= 0
        weights[inside] = self._barycentric(found[inside], qx[inside], qy[inside])
        return simplex, weights.reshape(shape + (3,))

    def _barycentric(self, rows: np.ndarray, qx: np.ndarray, qy: np.ndarray) -> np.ndarray:
        ux, uy = self._used_coordinates()
        corners = self._local[rows]
        cx, cy = ux[corners], uy[corners]  # (q, 3)
        weights = np.empty((rows.size, 3))
        for j in range(3):
            b, c = (j + 1) % 3, (j + 2) % 3
            towards = (cx[:, b] - qx) * (cy[:, c] - qy) - (cy[:, b] - qy) * (cx[:, c] - qx)
            whole = (cx[:, b] - cx[:, j]) * (cy[:, c] - cy[:, j]) - (cy[:, b] - cy[:, j]) * (cx[:, c] - cx[:, j])
            weights[:, j] = towards / whole
        return weights

    def _locate_by_walk(self, qx: np.ndarray, qy: np.ndarray, tolerance: float) -> np.ndarray:
        """Walks every query, all at once, from a simplex at its nearest point
        across the edge it lies furthest outside of, until a simplex holds it
        (or a hull edge has it outside: then it is outside the hull)."""
        start = self._nearest_flat(qx, qy, keep_order=False)
        local_vertex_to_simplex = np.full(self._used_coordinates()[0].size, -1, dtype=np.intp)
        local_vertex_to_simplex[self._local.ravel()] = np.repeat(np.arange(self.nsimplex), 3)
        current = local_vertex_to_simplex[start]
        found = np.full(qx.size, -2, dtype=np.intp)  # -2: still walking
        active = np.flatnonzero(current >= 0)
        found[current < 0] = -1
        neighbors = self._local_neighbors()
        budget = 4 * int(np.sqrt(self.nsimplex)) + 20
        for _ in range(budget):
            if active.size == 0:
                break
            rows = current[active]
            weights = self._barycentric(rows, qx[active], qy[active])
            worst = np.argmin(weights, axis=1)
            inside = weights[np.arange(active.size), worst] >= -tolerance
            found[active[inside]] = rows[inside]
            onward = neighbors[rows[~inside], worst[~inside]]
            walking = active[~inside]
            found[walking[onward < 0]] = -1
            current[walking] = onward
            active = walking[onward >= 0]
        if active.size:  # rounding kept these walking in a circle
            found[active] = self._locate_everywhere(qx[active], qy[active], tolerance)
        return found

    def _locate_everywhere(self, qx: np.ndarray, qy: np.ndarray, tolerance: float) -> np.ndarray:
        """Tests each query against every simplex; the first that holds it."""
        found = np.full(qx.size, -1, dtype=np.intp)
        chunk = max(1, 4_000_000 // max(self.nsimplex, 1))
        every = np.arange(self.nsimplex)
        for begin in range(0, qx.size, chunk):
            part = slice(begin, begin + chunk)
            count = qx[part].size
            rows = np.tile(every, count)
            weights = self._barycentric(rows, np.repeat(qx[part], self.nsimplex), np.repeat(qy[part], self.nsimplex))
            holds = (weights.min(axis=1) >= -tolerance).reshape(count, self.nsimplex)
            first = np.argmax(holds, axis=1)
            found[part] = np.where(holds[np.arange(count), first], first, -1)
        return found

    # -- check and pictures ---------------------------------------------------
    def check(self) -> CheckResult:
        """The exact check of this triangulation (see kyhost.check), with
        rows and points 0-based, as in ``simplices``."""
        ux, uy = self._used_coordinates()
        values = _kyhost._check(ux, uy, self._tri)
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


def _nearest_block(xi, yi, triangulation, keep_order, distance):
    index, dist = triangulation.nearest(xi, yi, return_distance=True, keep_order=keep_order)
    return dist if distance else index


def _nearest_along_line(x: np.ndarray, y: np.ndarray, qx: np.ndarray, qy: np.ndarray) -> np.ndarray:
    """Nearest points when the points have no triangle (fewer than three, or
    all on one line): the points sorted along the line, and for each query
    the few around its projection onto the line compared by distance."""
    if x.size == 1:
        return np.zeros(qx.size, dtype=np.intp)
    along = x if np.ptp(x) >= np.ptp(y) else y
    first, last = int(np.argmin(along)), int(np.argmax(along))
    dx, dy = x[last] - x[first], y[last] - y[first]
    length2 = dx * dx + dy * dy
    order = np.argsort(along, kind="stable")
    sorted_along = along[order]
    # Where the query's projection falls, in the coordinate the points are
    # sorted by.
    t = ((qx - x[first]) * dx + (qy - y[first]) * dy) / length2
    projected = (x[first] + t * dx) if along is x else (y[first] + t * dy)
    position = np.searchsorted(sorted_along, projected)
    best = np.full(qx.size, -1, dtype=np.intp)
    best_distance = np.full(qx.size, np.inf)
    for offset in (-2, -1, 0, 1):
        candidate = order[np.clip(position + offset, 0, x.size - 1)]
        distance = np.hypot(qx - x[candidate], qy - y[candidate])
        better = distance < best_distance
        best[better], best_distance[better] = candidate[better], distance[better]
    return best
