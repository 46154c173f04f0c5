"""Nearest-neighbour interpolation of 2-D scattered data without a
triangulation: NearestNDInterpolator and griddata's "nearest". The points
go into a grid of buckets (kyhost._kyhost._GridNearest), which answers each
query as Triangulation.nearest would: the point of smallest computed
distance, the lowest-numbered among equals. The rare queries it leaves to an
exact search (magnitudes beyond what double arithmetic compares safely, or
a query so far from the points that rounding cannot tell more than 64 of
them apart) are answered by Triangulation.nearest, made for them when first
needed."""
from __future__ import annotations

import warnings

import numpy as np

from . import _kyhost
from ._interpolate import _own, _points_pair, _query_points, _require_points, _rescaled
from ._triangulation import Triangulation

# cKDTree options that only tune the tree: they change no answer, and are
# accepted and ignored for code written for scipy.
_TREE_TUNING = ("leafsize", "compact_nodes", "copy_data", "balanced_tree")


class _NearestPoints:
    """The nearest point of queries among fixed points."""

    def __init__(self, x: np.ndarray, y: np.ndarray):
        bad = ~(np.isfinite(x) & np.isfinite(y))
        if bad.any():
            first = int(np.argmax(bad))
            raise ValueError(f"point {first} is not finite: ({x[first]!r}, {y[first]!r}); coordinates must be finite")
        self._x, self._y = x, y
        self._grid = _kyhost._GridNearest(x, y)
        self._exact = None

    def index(self, qx: np.ndarray, qy: np.ndarray) -> np.ndarray:
        """The nearest point of each query, -1 where a coordinate is not finite."""
        index, _ = self._grid.nearest(qx, qy)
        outside = index == -2
        if outside.any():
            if self._exact is None:
                with warnings.catch_warnings():
                    # Its rows are not used: only its exact nearest search.
                    warnings.simplefilter("ignore", _kyhost.KyWarning)
                    self._exact = Triangulation(self._x, self._y, merge_duplicates=True)
            index[outside] = self._exact.nearest(qx[outside], qy[outside])
        return index

    def __getstate__(self):
        return {"x": self._x, "y": self._y}

    def __setstate__(self, state):
        self.__init__(state["x"], state["y"])


def _values_at(values: np.ndarray, index: np.ndarray, shape: tuple) -> np.ndarray:
    """values[index] in the queries' shape; NaN (in a floating type) where
    index is -1."""
    if (index >= 0).all():
        return values[index].reshape(shape + values.shape[1:])
    dtype = np.result_type(values.dtype, np.float64)
    answers = np.full((index.size,) + values.shape[1:], np.nan, dtype=dtype)
    found = index >= 0
    answers[found] = values[index[found]]
    return answers.reshape(shape + values.shape[1:])


def _checked_values(values, count: int) -> np.ndarray:
    array = np.asarray(values)
    if array.ndim == 0 or array.shape[0] != count:
        raise ValueError(f"values must have one entry per point, shape ({count}, ...); got shape {array.shape}")
    return array


class NearestNDInterpolator:
    """NearestNDInterpolator(x, y, rescale=False, tree_options=None)

    Nearest-neighbour interpolation of 2-D points, in the manner of
    scipy.interpolate.NearestNDInterpolator: ``x`` holds the points, shape
    (n, 2) or a tuple (x, y); ``y`` the values, shape (n, ...), of any
    type. Each query gets the value of its nearest point: the point of
    smallest computed distance (as ``Triangulation.nearest`` computes it,
    exactly where magnitudes would over- or underflow), the lowest-numbered
    among points at the same distance, so repeated points give the first
    one's value. No triangulation is made: the points go into a grid of
    buckets. A query with a NaN or infinite coordinate gets NaN (where scipy
    gives no defined answer).

    ``rescale=True`` moves and scales the points (and the queries) to the
    unit square first, as the other interpolators do. ``tree_options`` are
    cKDTree's options for scipy's tree: those that only tune it
    (leafsize, compact_nodes, copy_data, balanced_tree) are accepted and
    ignored; any other (boxsize: periodic space) is refused. Zero points are
    refused, as by the other interpolators.

    Call it with an array of shape (..., 2), a tuple (x, y), or x and y;
    the answer has the queries' shape followed by the values' trailing
    shape. Queries far outside the points' bounding box take longer (the
    grid is searched out to them).
    """

    def __init__(self, x, y, rescale: bool = False, tree_options=None):
        if tree_options is not None:
            if not isinstance(tree_options, dict):
                raise TypeError(f"tree_options must be a dict of cKDTree options; got {type(tree_options).__name__}")
            refused = sorted(set(tree_options) - set(_TREE_TUNING))
            if refused:
                raise ValueError(f"tree_options {refused} are not supported: kyhost answers in the plane without a "
                                 f"cKDTree; only {list(_TREE_TUNING)} are accepted (and ignored)")
        px, py = _points_pair(x)
        _require_points(px.size)
        px, py = _own(px, x), _own(py, x)
        self.offset = self.scale = self._rescaling = None
        if rescale:
            px, py, self._rescaling = _rescaled(px, py)
            self.offset, self.scale = self._rescaling.offset, self._rescaling.scale
        self.values = np.array(_checked_values(y, px.size), copy=True)
        self._search = _NearestPoints(px, py)
        self._points = None

    @property
    def points(self) -> np.ndarray:
        """The points, shape (n, 2) (rescaled when asked)."""
        if self._points is None:
            self._points = np.column_stack((self._search._x, self._search._y))
            self._points.flags.writeable = False
        return self._points

    def __call__(self, *arguments):
        qx, qy, shape = _query_points(arguments)
        if self._rescaling is not None:
            qx, qy = self._rescaling.apply(qx, qy)
        return _values_at(self.values, self._search.index(qx, qy), shape)

    def __repr__(self) -> str:
        return f"kyhost.NearestNDInterpolator({self.values.shape[0]} points)"


def nearest_griddata(points, values, xi, rescale: bool):
    """griddata's "nearest": the values of the nearest points, without
    copies of the points."""
    x, y = _points_pair(points)
    _require_points(x.size)
    array = _checked_values(values, x.size)
    rescaling = None
    if rescale:
        x, y, rescaling = _rescaled(x, y)
    qx, qy, shape = _query_points((xi,))
    if rescaling is not None:
        qx, qy = rescaling.apply(qx, qy)
    return _values_at(array, _NearestPoints(x, y).index(qx, qy), shape)
