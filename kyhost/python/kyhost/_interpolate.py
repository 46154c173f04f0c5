"""Interpolation of scattered data over a triangulation by the trinterp
plug-in: ``Triangulation.interpolate``, ``griddata`` in the manner of
scipy.interpolate.griddata, and interpolator objects that keep their
triangulation between calls."""
from __future__ import annotations

from typing import Optional, Tuple

import numpy as np

from . import _kyhost
from ._rescale import Rescaling
from ._shapes import coordinate_pair, query_pair
from ._triangulation import Triangulation

METHODS = ("linear", "natural")


def trinterp(X, Y, Z, TRI, XI, YI, method: Optional[str] = None):
    """ZI = trinterp(X, Y, Z, TRI, XI, YI, method=None): the plug-in's own
    call. Z is n-by-k (or 1-by-n), TRI M-by-3 with 1-based point indices of
    either orientation, method "linear" (default) or "natural". ZI has XI's
    shape for k = 1, else q-by-k; NaN outside the rows."""
    arguments = [X, Y, Z, TRI, XI, YI] + ([] if method is None else [method])
    return _kyhost.call("trinterp", *arguments)


def _checked_method(method, offered=METHODS) -> str:
    if method in offered:
        return method
    names = ", ".join(repr(m) for m in offered[:-1]) + f" or {offered[-1]!r}"
    if method == "cubic":
        raise ValueError(f"method 'cubic' is offered by griddata and kyhost.CloughTocher2DInterpolator; here use {names}")
    raise ValueError(f"unknown interpolation method {method!r}: use {names}")


def _require_points(count: int) -> None:
    """Every interpolator and griddata method refuses zero points alike
    (scipy's refuse them too, each with its own error)."""
    if count == 0:
        raise ValueError("no points to interpolate from: give at least one point (got 0)")


class _Values:
    """Values at the points as the plug-in takes them: an (n, k) float64
    Fortran array (complex values as their real and imaginary parts side by
    side), and the trailing shape to give the answers."""

    def __init__(self, values, npoints: int, kept: Optional[np.ndarray] = None):
        _require_points(npoints)
        array = np.asarray(values)
        if array.ndim == 0 or array.shape[0] != npoints:
            raise ValueError(f"values must have one entry per point, shape ({npoints}, ...); got shape {array.shape}")
        if array.dtype.kind not in "fiubc":
            raise TypeError(f"values must hold numbers, not {array.dtype}")
        self.trailing = array.shape[1:]
        flat = array.reshape(npoints, -1)
        if kept is not None:
            flat = flat[kept]
        self.complex = array.dtype.kind == "c"
        if self.complex:
            flat = np.concatenate([flat.real, flat.imag], axis=1)
        # Always a copy: the caller may change its array afterwards.
        self.columns = np.array(flat, dtype=np.float64, order="F", copy=True)

    def columns_for(self, fill_value) -> np.ndarray:
        """The columns to interpolate. Where the answers outside must be set
        to fill_value (one that is not NaN, or any for complex values, whose
        fill is complex(fill_value) as in scipy) a column of ones is added:
        NaN in its answer marks the queries outside the rows (or not
        finite)."""
        if not self.complex and np.isnan(fill_value):
            return self.columns
        return np.asfortranarray(np.column_stack([self.columns, np.ones(self.columns.shape[0])]))


def _plugin_call(triangulation: Triangulation, columns: np.ndarray, method: str):
    """run(qx, qy): the plug-in's answers for the columns over the triangulation."""
    def run(qx, qy):
        ux, uy = triangulation._used_coordinates()
        return _kyhost.call("trinterp", ux, uy, columns, triangulation._tri, qx, qy, method)
    return run


def _evaluate(run, values: _Values, columns: np.ndarray, qx: np.ndarray, qy: np.ndarray, shape: tuple, fill_value):
    """Answers flat queries with run(qx, qy) (the plug-in's answers for the
    columns) and shapes them. When the columns end with the ones of
    values.columns_for(), the queries whose last answer is NaN get
    fill_value."""
    marked = columns.shape[1] > values.columns.shape[1]
    k = columns.shape[1]
    if k == 0 or qx.size == 0:
        answers = np.full((qx.size, k), np.nan)
    else:
        # For one column the plug-in answers in XI's (1-by-q) shape.
        answers = np.asarray(run(qx, qy)).reshape(qx.size, k)
    if marked:
        outside = np.isnan(answers[:, -1])
        answers = answers[:, :-1].copy()
    if values.complex:
        half = answers.shape[1] // 2
        answers = answers[:, :half] + 1j * answers[:, half:]
    if marked:
        answers[outside] = complex(fill_value) if values.complex else fill_value
    return answers.reshape(shape + values.trailing)


def interpolate(triangulation: Triangulation, values, xi, yi=None, *, method: str = "linear", fill_value=np.nan):
    """See Triangulation.interpolate."""
    method = _checked_method(method)
    prepared = _Values(values, triangulation.npoints, triangulation._kept)
    qx, qy, shape = query_pair(xi, yi)
    columns = prepared.columns_for(fill_value)
    return _evaluate(_plugin_call(triangulation, columns, method), prepared, columns, qx, qy, shape, fill_value)


def _triangulate(x: np.ndarray, y: np.ndarray) -> Triangulation:
    """The points' triangulation, repeated points merged (the first of each
    place kept). sweeptri finds repeats as it sorts, so the search for them
    runs only when there are some."""
    try:
        return Triangulation(x, y)
    except ValueError as error:
        if "merge_duplicates=True" not in str(error):
            raise
    return Triangulation(x, y, merge_duplicates=True)


def _points_pair(points, name: str = "points") -> Tuple[np.ndarray, np.ndarray]:
    """(n, 2) points, or a tuple (x, y) of coordinate arrays of one shape."""
    if isinstance(points, tuple):
        if len(points) != 2:
            raise ValueError(f"{name} as a tuple must be (x, y): these are 2-D points; got {len(points)} arrays")
        x, y = np.broadcast_arrays(np.asarray(points[0]), np.asarray(points[1]))
        return coordinate_pair(x.reshape(-1), y.reshape(-1))
    array = np.asarray(points)
    if array.ndim != 2 or array.shape[1] != 2:
        raise ValueError(f"{name} must have shape (n, 2) or be a tuple (x, y): these are 2-D points; "
                         f"got shape {array.shape}")
    return coordinate_pair(array, None)


def _query_points(arguments) -> Tuple[np.ndarray, np.ndarray, tuple]:
    """Queries as scipy's interpolators take them: one array of shape
    (..., 2) (a 1-D array is read as (x, y) pairs), a tuple (x, y) of arrays
    that broadcast, or x and y as two arguments."""
    if len(arguments) == 2:
        return query_pair(arguments[0], arguments[1])
    if len(arguments) != 1:
        raise TypeError(f"give the query points as one array of shape (..., 2), a tuple (x, y) or x and y; "
                        f"got {len(arguments)} arguments")
    xi = arguments[0]
    if isinstance(xi, tuple):
        if len(xi) != 2:
            raise ValueError(f"xi as a tuple must be (x, y): these are 2-D points; got {len(xi)} arrays")
        return query_pair(xi[0], xi[1])
    array = np.asarray(xi)
    if array.ndim == 1:
        if array.size % 2:
            raise ValueError(f"a 1-D xi holds (x, y) pairs: its length must be even; got {array.size}")
        array = array.reshape(-1, 2)
    return query_pair(array, None)


def _own(array: np.ndarray, source) -> np.ndarray:
    """array, copied when it may share memory with what the caller gave."""
    if isinstance(source, tuple):
        shared = any(isinstance(part, np.ndarray) and np.may_share_memory(array, part) for part in source)
    else:
        shared = isinstance(source, np.ndarray) and np.may_share_memory(array, source)
    return array.copy() if shared else array


class _TriangulationInterpolator:
    """The interpolators' common part. The first call is the plug-in's call
    and keeps the mesh it builds and the values by point (a
    _kyhost._PreparedInterpolation); later calls answer over those copies
    with the plug-in's query code, and give what the plug-in would give,
    bit for bit."""

    _method = "linear"

    def __init__(self, points, values, fill_value=np.nan, rescale: bool = False):
        self._setup(points, values, fill_value, rescale, keep=True)

    def _setup(self, points, values, fill_value, rescale: bool, keep: bool):
        """keep=False (griddata's one call): no copies of the points, and
        each call is the plug-in's, keeping nothing."""
        self._keep = keep
        self._prepared = None
        if isinstance(points, Triangulation):
            if rescale:
                raise ValueError("rescale=True cannot be used with a ready Triangulation as points")
            self.tri = points
            self.offset = self.scale = self._rescaling = None
        else:
            x, y = _points_pair(points)
            _require_points(x.size)
            if keep:
                x, y = _own(x, points), _own(y, points)
            self.offset = self.scale = self._rescaling = None
            if rescale:
                x, y, self._rescaling = _rescaled(x, y)
                self.offset, self.scale = self._rescaling.offset, self._rescaling.scale
            self.tri = _triangulate(x, y)
        self.fill_value = fill_value
        self._values = _Values(values, self.tri.npoints, self.tri._kept)
        self._columns = self._values.columns_for(fill_value)

    @property
    def points(self) -> np.ndarray:
        """The points the triangulation was made of (rescaled when asked)."""
        return self.tri.points

    @property
    def values(self) -> np.ndarray:
        """The values at the used points, one row per point (repeats left out)."""
        return self._values.columns

    def __call__(self, *arguments):
        qx, qy, shape = _query_points(arguments)
        if self._rescaling is not None:
            qx, qy = self._rescaling.apply(qx, qy)
        return _evaluate(self._answer, self._values, self._columns, qx, qy, shape, self.fill_value)

    def _answer(self, qx: np.ndarray, qy: np.ndarray):
        if self._prepared is not None:
            return self._prepared(qx, qy)
        if not self._keep:
            return _plugin_call(self.tri, self._columns, self._method)(qx, qy)
        prepared = _kyhost._PreparedInterpolation()
        ux, uy = self.tri._used_coordinates()
        # The triangulation makes its float rows for the plug-in when asked;
        # they are not kept for this object, whose later calls need only the
        # kept mesh.
        made = "_tri_value" not in self.tri.__dict__
        try:
            answers = prepared.prepare(ux, uy, self._columns, self.tri._tri, qx, qy, self._method)
        finally:
            if made:
                self.tri.__dict__.pop("_tri_value", None)
        self._prepared = prepared
        return answers

    def __getstate__(self):
        # The kept mesh is not pickled: an unpickled object keeps it anew at
        # its first call.
        state = self.__dict__.copy()
        state["_prepared"] = None
        return state

    def __setstate__(self, state):
        # Objects pickled before the kept mesh lack its two attributes, and
        # those pickled before the power-of-two rescaling its object.
        self.__dict__.update({"_keep": True, **state, "_prepared": None})
        if "_rescaling" not in state:
            self._rescaling = None if state.get("scale") is None else Rescaling.of(state["offset"], state["scale"])

    @property
    def nbytes(self) -> int:
        """Bytes of the mesh and values kept for later calls (0 before the
        first call), beside the triangulation ``tri`` and ``values``."""
        return 0 if self._prepared is None else self._prepared.nbytes

    def __repr__(self) -> str:
        return f"kyhost.{type(self).__name__}({self.tri.npoints} points, {self.tri.nsimplex} simplices)"


class LinearNDInterpolator(_TriangulationInterpolator):
    """LinearNDInterpolator(points, values, fill_value=np.nan, rescale=False)

    Piecewise linear interpolation over the Delaunay triangulation of 2-D
    points, in the manner of scipy.interpolate.LinearNDInterpolator: the
    triangulation (kyhost.Triangulation, by sweeptri) is made once, and each
    call interpolates with the trinterp plug-in. ``points`` is an (n, 2)
    array, a tuple (x, y), or a ready ``kyhost.Triangulation``; ``values``
    has shape (n, ...), real or complex. Repeated points are merged (the
    first of each place gives the value). Queries outside the hull, or not
    finite, get ``fill_value``. ``rescale`` scales the points (and the
    queries) to the unit square first, as scipy does.

    Call it with an array of shape (..., 2), a tuple (x, y), or x and y;
    the answer has the queries' shape followed by the values' trailing
    shape.
    """

    _method = "linear"


class NaturalNeighborInterpolator(_TriangulationInterpolator):
    """NaturalNeighborInterpolator(points, values, fill_value=np.nan, rescale=False)

    Natural-neighbour (Sibson) interpolation over the Delaunay
    triangulation of 2-D points, called as LinearNDInterpolator is. The
    weights are Sibson's coordinates, from the rows whose circumcircle holds
    the query (exact tests): smooth except at the data points, and
    reproducing linear functions.
    """

    _method = "natural"


def _rescaled(x: np.ndarray, y: np.ndarray):
    """The points moved and scaled as scipy's rescale does: centred on their
    mean, each axis divided by its range (1 where the range is 0), without
    overflow (see _rescale.py); returns them and the Rescaling."""
    rescaling = Rescaling(x, y)
    x, y = rescaling.apply(x, y)
    return x, y, rescaling


def _nearest(points, values, xi, rescale: bool):
    # Without a triangulation (see _nearest_interpolate.py).
    from ._nearest_interpolate import nearest_griddata
    return nearest_griddata(points, values, xi, rescale)


def griddata(points, values, xi, method: str = "linear", fill_value=np.nan, rescale: bool = False):
    """griddata(points, values, xi, method='linear', fill_value=nan, rescale=False)

    Interpolates 2-D scattered data, with scipy.interpolate.griddata's
    arguments and answers: ``points`` (n, 2) or a tuple (x, y), ``values``
    (n, ...), ``xi`` of shape (..., 2) or a tuple (xi, yi) of arrays that
    broadcast (a meshgrid, say). ``method`` is "linear" (LinearNDInterpolator),
    "natural" (natural-neighbour, Sibson's coordinates) or "nearest" (the
    nearest point's value, as NearestNDInterpolator gives it, without a
    triangulation; a query that is not finite gets NaN) or "cubic"
    (CloughTocher2DInterpolator). Queries outside the hull get
    ``fill_value`` (not for "nearest"). Zero points are refused with a
    ValueError for every method (as by every interpolator). With
    ``rescale=True``, points whose range overflows (near +-1.7e308) are
    rescaled without overflow.
    """
    method = _checked_method(method, ("linear", "natural", "nearest", "cubic"))
    if method == "cubic":
        from ._cubic_interpolate import CloughTocher2DInterpolator
        return CloughTocher2DInterpolator(points, values, fill_value=fill_value, rescale=rescale)(xi)
    if method == "nearest":
        return _nearest(points, values, xi, rescale)
    kind = LinearNDInterpolator if method == "linear" else NaturalNeighborInterpolator
    interpolator = kind.__new__(kind)
    interpolator._setup(points, values, fill_value, rescale, keep=False)
    return interpolator(xi)
