"""Voronoi: the Voronoi diagram of planar points from their Delaunay
triangulation, with scipy.spatial.Voronoi's attributes, exact vertices and
cells clipped to a box, the hull or a convex polygon."""
from __future__ import annotations

import numbers
import os
from typing import List, Optional, Tuple

import numpy as np

from . import _kyhost
from ._triangulation import Triangulation, _read_only

# A polygon of a cell: its exterior ring (k, 2), counter-clockwise, the first
# corner not repeated, and its holes (clockwise rings).
Polygon = Tuple[np.ndarray, List[np.ndarray]]


def _threads() -> int:
    return max(1, min(len(os.sched_getaffinity(0)), 8))


class Voronoi:
    """Voronoi(points, *, merge_duplicates=False)

    The Voronoi diagram of planar points, with the attributes of
    scipy.spatial.Voronoi: ``points``, ``vertices``, ``ridge_points``,
    ``ridge_vertices``, ``regions``, ``point_region``, ``ridge_dict``,
    ``npoints``, ``min_bound``, ``max_bound``. It is made from the Delaunay
    triangulation (``Triangulation.voronoi()`` makes it from one that exists).

    Each vertex is the exact circumcentre of its Delaunay triangle rounded
    once to the nearest doubles, at any magnitude. Triangles whose
    circumcircles are the same circle (decided exactly) share one vertex:
    cocircular points give one vertex, and the Delaunay edges inside such a
    face are not ridges. Distinct vertices that round to the same doubles
    stay distinct.

    Conventions: ``regions[point_region[i]]`` is point i's region, its
    vertices counter-clockwise around the point; an unbounded region starts
    with -1, which stands between its two rays. ``point_region`` is
    ``arange(npoints)``: there is no extra empty region as scipy has. A ray
    is the ridge ``[-1, v]``. Repeated points are refused, naming the first
    pair, unless ``merge_duplicates=True``: a merged repeat then has the
    empty region ``[]`` and no ridges. Fewer than three points, or points on
    one line, give no vertices: ridges ``[-1, -1]`` (whole lines) between
    neighbours along the line, and every region ``[-1]``. Arrays are
    read-only. ``furthest_site``, ``incremental`` and ``qhull_options`` are
    refused: there is no qhull here.
    """

    def __init__(self, points, furthest_site: bool = False, incremental: bool = False, qhull_options=None, *,
                 merge_duplicates: bool = False):
        _refuse_qhull_options(furthest_site, incremental, qhull_options)
        self._init_from(Triangulation(points, merge_duplicates=merge_duplicates))

    @classmethod
    def _from_triangulation(cls, triangulation: Triangulation) -> "Voronoi":
        diagram = cls.__new__(cls)
        diagram._init_from(triangulation)
        return diagram

    def _init_from(self, t: Triangulation) -> None:
        self._t = t
        ux, uy = t._used_coordinates()
        if t.nsimplex > 0:
            (vertices, row_vertex, ridge_points, ridge_vertices, region_start,
             region_vertices) = _kyhost._voronoi_diagram(ux, uy, t._local, _threads())
        else:
            vertices, row_vertex = np.zeros((0, 2)), np.zeros(0, np.int32)
            order = np.lexsort((uy, ux)).astype(np.int32)
            ridge_points = np.column_stack((order[:-1], order[1:])).astype(np.int32)
            ridge_vertices = np.full(ridge_points.shape, -1, np.int32)
            region_start = np.arange(ux.size + 1, dtype=np.int64)
            region_vertices = np.full(ux.size, -1, np.int32)
        self._vertices = _read_only(vertices)
        self._row_vertex = _read_only(row_vertex)
        self._ridge_points_local = ridge_points
        self._ridge_points = _read_only(np.ascontiguousarray(t._original(ridge_points)))
        self._ridge_vertices = _read_only(ridge_vertices)
        self._region_start, self._region_vertices = _read_only(region_start), _read_only(region_vertices)

    def __repr__(self) -> str:
        return f"kyhost.Voronoi({self.npoints} points, {len(self._vertices)} vertices)"

    # -- scipy-style attributes ---------------------------------------------
    @property
    def triangulation(self) -> Triangulation:
        """The Delaunay triangulation the diagram was made from."""
        return self._t

    @property
    def points(self) -> np.ndarray:
        return self._t.points

    @property
    def npoints(self) -> int:
        return self._t.npoints

    @property
    def ndim(self) -> int:
        return 2

    @property
    def min_bound(self) -> np.ndarray:
        return self._t.min_bound

    @property
    def max_bound(self) -> np.ndarray:
        return self._t.max_bound

    @property
    def vertices(self) -> np.ndarray:
        """The vertices, shape (k, 2): each the exact circumcentre of its
        Delaunay triangles, rounded once (read-only)."""
        return self._vertices

    @property
    def ridge_points(self) -> np.ndarray:
        """The two points on either side of each ridge, shape (r, 2), int32."""
        return self._ridge_points

    @property
    def ridge_vertices(self) -> list:
        """Each ridge's two vertices as a list (scipy's layout); [-1, v] for
        a ray from v, [-1, -1] for a whole line. ``ridge_vertices_array``
        holds them as an (r, 2) int32 array."""
        return Triangulation._cached(self, "_ridge_vertices_list", lambda: self._ridge_vertices.tolist())

    @property
    def ridge_vertices_array(self) -> np.ndarray:
        return self._ridge_vertices

    @property
    def regions(self) -> list:
        """Each point's region: its vertices counter-clockwise, -1 first for
        an unbounded one, [] for a merged repeat."""
        def compute():
            t = self._t
            flat = self._region_vertices.tolist()
            start = self._region_start.tolist()
            local = [flat[start[i]:start[i + 1]] for i in range(len(start) - 1)]
            if t._kept is None:
                return local
            regions = [[] for _ in range(self.npoints)]
            for used, given in enumerate(t._kept.tolist()):
                regions[given] = local[used]
            return regions
        return Triangulation._cached(self, "_regions_list", compute)

    @property
    def point_region(self) -> np.ndarray:
        """Point i's region is regions[point_region[i]]: arange(npoints)."""
        return Triangulation._cached(self, "_point_region", lambda: _read_only(np.arange(self.npoints, dtype=np.intp)))

    @property
    def ridge_dict(self) -> dict:
        """{(p, q): [v1, v2]} for every ridge, as scipy gives it."""
        return Triangulation._cached(self, "_ridge_dict", lambda: dict(zip(map(tuple, self._ridge_points.tolist()),
                                                                            self.ridge_vertices)))

    # -- bounded cells ---------------------------------------------------------
    def _clip_corners(self, clip):
        """The clip as a convex counter-clockwise polygon (k, 2); None for a
        hull of no area; or (exterior, holes) for any other polygon."""
        if isinstance(clip, str):
            if clip != "hull":
                raise ValueError(f"clip must be a box (xmin, ymin, xmax, ymax), 'hull' or a polygon; got {clip!r}")
            return self._hull_ring()
        if isinstance(clip, (tuple, list)) and len(clip) == 4 and all(isinstance(v, numbers.Real) for v in clip):
            xmin, ymin, xmax, ymax = (float(v) for v in clip)
            if not all(np.isfinite((xmin, ymin, xmax, ymax))):
                raise ValueError(f"the clip box must be finite; got {clip!r}")
            if not (xmin < xmax and ymin < ymax):
                raise ValueError(f"the clip box is empty: need xmin < xmax and ymin < ymax; got {clip!r}")
            return np.array([[xmin, ymin], [xmax, ymin], [xmax, ymax], [xmin, ymax]])
        exterior, holes = _polygon_parts(clip)
        exterior = _oriented(exterior, 1)
        if not holes and _is_convex(exterior):
            return exterior
        return exterior, [_oriented(h, -1) for h in holes]

    def _hull_ring(self) -> Optional[np.ndarray]:
        t = self._t
        if t.nsimplex == 0:
            return None
        edges = t.convex_hull
        following = dict(zip(edges[:, 0].tolist(), edges[:, 1].tolist()))
        start = int(edges[0, 0])
        ring = [start]
        while following[ring[-1]] != start:
            ring.append(following[ring[-1]])
        return t.points[ring]

    def _neighbours(self) -> Tuple[np.ndarray, np.ndarray]:
        def compute():
            t = self._t
            n = t._used_coordinates()[0].size
            if t.nsimplex > 0:
                indptr, indices = t._local_adjacency()
                return np.asarray(indptr, np.int64), np.asarray(indices, np.int32)
            pairs = self._ridge_points_local
            both = np.concatenate((pairs, pairs[:, ::-1]))
            both = both[np.lexsort((both[:, 1], both[:, 0]))]
            start = np.searchsorted(both[:, 0], np.arange(n + 1)).astype(np.int64)
            return start, np.ascontiguousarray(both[:, 1], dtype=np.int32)
        return Triangulation._cached(self, "_neighbour_graph", compute)

    def _convex_cells(self, corners: np.ndarray, active: Optional[np.ndarray] = None):
        """(start, corners, areas) of the used points' cells in a convex
        counter-clockwise polygon."""
        ux, uy = self._t._used_coordinates()
        start, points = self._neighbours()
        if active is None:
            active = np.ones(ux.size, np.uint8)
        return _kyhost._voronoi_cells(ux, uy, start, points, self._region_start, self._region_vertices,
                                      self._vertices, active, np.ascontiguousarray(corners[:, 0]),
                                      np.ascontiguousarray(corners[:, 1]), _threads())

    def _clipped(self, clip) -> Tuple[list, np.ndarray]:
        """Each used point's polygons and its cell's area."""
        n = self._t._used_coordinates()[0].size
        corners = self._clip_corners(clip)
        if corners is None:
            return [[] for _ in range(n)], np.zeros(n)
        if isinstance(corners, tuple):
            return self._polygon_cells(*corners)
        start, xy, areas = self._convex_cells(corners)
        cells = [[(_read_only(xy[start[i]:start[i + 1]]), [])] if start[i + 1] > start[i] else [] for i in range(n)]
        return cells, areas

    def _polygon_cells(self, exterior: np.ndarray, holes: List[np.ndarray]) -> Tuple[list, np.ndarray]:
        """Cells in a polygon with holes (or not convex): clipped exactly to
        each triangle of a constrained triangulation of the polygon on its
        own corners, a cell's pieces then joined by removing the edges they
        share (whole, with identical corners), so no corner is made."""
        from shapely.geometry import Polygon as ShapelyPolygon
        from shapely.validation import explain_validity
        shape = ShapelyPolygon(exterior, holes)
        if not shape.is_valid:
            raise ValueError(f"the clip polygon is not valid (it must not cross itself): {explain_validity(shape)}")
        if not shape.area > 0:
            raise ValueError("the clip polygon is empty (no area)")
        rings = [exterior] + holes
        xy = np.concatenate(rings)
        ring_start = np.concatenate(([0], np.cumsum([len(r) for r in rings]))).astype(np.int64)
        ux, uy = self._t._used_coordinates()
        start, points = self._neighbours()
        cell_start, polygon_start, ring_at, corners, areas = _kyhost._voronoi_polygon_cells(
            ux, uy, start, points, self._region_start, self._region_vertices, self._vertices,
            np.ascontiguousarray(xy[:, 0]), np.ascontiguousarray(xy[:, 1]), ring_start, _threads())
        return _unflatten(cell_start, polygon_start, ring_at, corners), areas

    def cells(self, clip="hull") -> List[List[Polygon]]:
        """Each point's cell clipped to ``clip``: a box ``(xmin, ymin, xmax,
        ymax)``, ``"hull"`` (the points' convex hull), or a polygon: an
        (k, 2) array of corners, or ``(exterior, [hole, ...])``, rings in
        either orientation, closed or not; it must be valid (no ring crosses
        itself or another, as shapely's is_valid decides).

        One entry per point as given: a list of polygons, each
        ``(exterior, holes)`` with the exterior an (k, 2) array
        counter-clockwise (the first corner not repeated) and holes a list
        of clockwise rings; ``[]`` for a cell that misses the clip (or a
        merged repeat). With a convex clip a cell is one polygon without
        holes. The cells cover the clip: a corner two cells share is the same
        pair of doubles in both (every corner is its exact value rounded
        once, and the clipping is decided exactly), and each cell holds its
        point wherever the clip holds it. A hull of no area (points on one
        line) leaves every cell empty. Other polygons are cut into triangles
        on their own corners; each cell is clipped exactly to each triangle
        and its pieces joined by removing the edges they share (so a cell
        may keep a corner where its boundary goes straight on: its
        neighbour has the same corner).
        """
        local, _ = self._clipped(clip)
        return self._as_given(local, [])

    def areas(self, clip="hull") -> np.ndarray:
        """The area of each point's cell clipped as ``cells`` clips it
        (0 for an empty cell)."""
        _, areas = self._clipped(clip)
        return _read_only(np.asarray(self._as_given(list(areas), 0.0), dtype=np.float64))

    def _as_given(self, local: list, empty):
        t = self._t
        if t._kept is None:
            return local
        result = [empty] * self.npoints
        for used, given in enumerate(t._kept.tolist()):
            result[given] = local[used]
        return result

    def to_shapely(self, clip="hull") -> list:
        """The cells as shapely geometries (one per point): a Polygon, or an
        empty Polygon for an empty cell."""
        from shapely.geometry import MultiPolygon
        from shapely.geometry import Polygon as ShapelyPolygon
        result = []
        for cell in self.cells(clip):
            pieces = [ShapelyPolygon(exterior, holes) for exterior, holes in cell]
            result.append(ShapelyPolygon() if not pieces else pieces[0] if len(pieces) == 1 else MultiPolygon(pieces))
        return result

    def plot(self, ax=None, *, show_points: bool = True, show_vertices: bool = True, line_colors="k",
             line_width: float = 1.0, line_alpha: float = 1.0, point_size: Optional[float] = None):
        """Draws the diagram with matplotlib (on ax, or the current axes), as
        scipy.spatial.voronoi_plot_2d does: finite ridges solid, rays dashed
        to beyond the points' bounds. Returns the axes."""
        from matplotlib.collections import LineCollection
        if ax is None:
            import matplotlib.pyplot as plt
            ax = plt.gca()
        points = self.points
        if show_points and self.npoints:
            ax.plot(points[:, 0], points[:, 1], ".", markersize=point_size)
        if show_vertices and len(self._vertices):
            ax.plot(self._vertices[:, 0], self._vertices[:, 1], "o", markersize=point_size)
        if self.npoints == 0:
            return ax
        centre = points.mean(axis=0)
        span = float(np.ptp(points, axis=0).max()) or 1.0
        finite, infinite = [], []
        for (p, q), (a, b) in zip(self._ridge_points.tolist(), self._ridge_vertices.tolist()):
            if a >= 0:
                finite.append([self._vertices[a], self._vertices[b]])
                continue
            tangent = points[q] - points[p]
            normal = np.array([-tangent[1], tangent[0]]) / np.hypot(*tangent)
            midpoint = (points[p] + points[q]) / 2
            if b < 0:
                infinite.append([midpoint - normal * span * 2, midpoint + normal * span * 2])
                continue
            direction = np.sign(np.dot(midpoint - centre, normal)) * normal
            if not direction.any():
                direction = normal
            infinite.append([self._vertices[b], self._vertices[b] + direction * span * 2])
        ax.add_collection(LineCollection(finite, colors=line_colors, lw=line_width, alpha=line_alpha))
        ax.add_collection(LineCollection(infinite, colors=line_colors, lw=line_width, alpha=line_alpha,
                                         linestyle="dashed"))
        low, high = points.min(axis=0), points.max(axis=0)
        margin = 0.1 * (high - low)
        ax.set_xlim(low[0] - margin[0], high[0] + margin[0])
        ax.set_ylim(low[1] - margin[1], high[1] + margin[1])
        return ax


def _refuse_qhull_options(furthest_site, incremental, qhull_options) -> None:
    if furthest_site:
        raise ValueError("furthest_site=True is not supported: kyhost.Voronoi makes the nearest-site diagram only")
    if incremental:
        raise ValueError("incremental=True is not supported: make a new Voronoi of all the points instead")
    if qhull_options is not None:
        raise ValueError("qhull_options is not supported: kyhost.Voronoi does not use qhull (its vertices are "
                         "exact; repeated points: merge_duplicates=True)")


def _unflatten(cell_start, polygon_start, ring_start, corners) -> list:
    """Cells as lists of (exterior, holes) from the flat layout."""
    cells = []
    cs, ps, rs = cell_start.tolist(), polygon_start.tolist(), ring_start.tolist()
    for c in range(len(cs) - 1):
        cell = []
        for q in range(cs[c], cs[c + 1]):
            rings = [_read_only(corners[rs[r]:rs[r + 1]]) for r in range(ps[q], ps[q + 1])]
            cell.append((rings[0], rings[1:]))
        cells.append(cell)
    return cells


def _oriented(ring: np.ndarray, sign: int) -> np.ndarray:
    """The ring counter-clockwise (sign 1) or clockwise (sign -1)."""
    x, y = ring[:, 0] - ring[0, 0], ring[:, 1] - ring[0, 1]
    twice = float(np.dot(x, np.roll(y, -1)) - np.dot(y, np.roll(x, -1)))
    return np.ascontiguousarray(ring[::-1]) if twice * sign < 0 else ring


def _is_convex(ring: np.ndarray) -> bool:
    """Whether the counter-clockwise ring turns left (or goes straight) at
    every corner and winds once. Decided in floating point: a ring taken as
    convex is checked exactly again before it is used, and one taken as not
    convex is clipped as any polygon."""
    d = np.roll(ring, -1, axis=0) - ring
    turns = d[:, 0] * np.roll(d[:, 1], -1) - d[:, 1] * np.roll(d[:, 0], -1)
    if (turns <= 0).any():
        return False
    angles = np.arctan2(d[:, 1], d[:, 0])
    return bool(np.sum(np.mod(np.diff(np.concatenate((angles, angles[:1]))), 2 * np.pi)) < 2 * np.pi + 1e-6)


def _ring(values, name: str) -> np.ndarray:
    ring = np.asarray(values, dtype=np.float64)
    if ring.ndim != 2 or ring.shape[1] != 2 or ring.shape[0] < 3:
        raise ValueError(f"{name} must be an array of at least 3 corners, shape (k, 2); got shape {ring.shape}")
    if not np.isfinite(ring).all():
        raise ValueError(f"{name} has a corner that is not finite")
    if (ring[0] == ring[-1]).all():
        ring = ring[:-1]
    return np.ascontiguousarray(ring)


def _polygon_parts(clip) -> Tuple[np.ndarray, List[np.ndarray]]:
    """(exterior, holes) from an (k, 2) array or (exterior, [holes])."""
    if isinstance(clip, tuple) and len(clip) == 2 and not np.isscalar(clip[0]) and np.ndim(clip[0]) == 2:
        exterior, holes = clip
        return _ring(exterior, "the clip's exterior"), [_ring(h, "a clip hole") for h in holes]
    return _ring(clip, "the clip polygon"), []
