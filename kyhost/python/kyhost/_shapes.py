"""Checks of the shapes that the high-level functions take: a shape that
cannot be meant is refused with a message saying what was expected."""
from __future__ import annotations

from typing import Tuple

import numpy as np


def _real(values, name: str) -> np.ndarray:
    array = np.asarray(values)
    if array.dtype.kind not in "fiub":
        raise TypeError(f"{name} must hold real numbers, not {array.dtype}")
    return array


def _vector(values: np.ndarray, copy: bool) -> np.ndarray:
    vector = np.ascontiguousarray(values, dtype=np.float64)
    if copy and np.may_share_memory(vector, values):
        vector = vector.copy()
    return vector


def coordinate_pair(x, y, xname: str = "x", yname: str = "y", *,
                    copy: bool = False) -> Tuple[np.ndarray, np.ndarray]:
    """Points as two contiguous float64 vectors, from x and y of one length
    (1-D, or (n, 1) / (1, n) columns and rows), or from x alone of shape (n, 2).
    With copy=True the vectors never share memory with the arguments."""
    if y is None:
        points = _real(x, "points")
        if points.ndim != 2 or points.shape[1] != 2:
            raise ValueError(f"points must have shape (n, 2), one row (x, y) per point; got shape {points.shape}"
                             f" (for separate coordinates pass {xname} and {yname})")
        return _vector(points[:, 0], copy), _vector(points[:, 1], copy)
    vectors = []
    for values, name in ((x, xname), (y, yname)):
        array = _real(values, name)
        if array.ndim == 2 and 1 in array.shape:
            array = array.reshape(-1)
        if array.ndim != 1:
            hint = " (an (n, 2) array of points goes alone, as the first argument)" if array.ndim == 2 else ""
            raise ValueError(f"{name} must be a vector of n coordinates; got shape {array.shape}{hint}")
        vectors.append(_vector(array, copy))
    if vectors[0].size != vectors[1].size:
        raise ValueError(f"{xname} and {yname} must have the same length; got {vectors[0].size} and {vectors[1].size}")
    return vectors[0], vectors[1]


def query_pair(xi, yi) -> Tuple[np.ndarray, np.ndarray, tuple]:
    """Query points as two flat float64 vectors and the shape of the answer:
    xi and yi of any shapes that broadcast together, or xi alone of shape
    (..., 2), whose last axis holds (x, y)."""
    if yi is None:
        points = _real(xi, "xi")
        if points.ndim < 1 or points.shape[-1] != 2:
            raise ValueError(f"xi alone must have shape (..., 2), (x, y) along the last axis; got shape {points.shape}"
                             " (for separate coordinates pass xi and yi)")
        qx, qy = points[..., 0], points[..., 1]
    else:
        qx, qy = _real(xi, "xi"), _real(yi, "yi")
        try:
            qx, qy = np.broadcast_arrays(qx, qy)
        except ValueError:
            raise ValueError(f"xi and yi must have the same shape (or shapes that broadcast); got {qx.shape}"
                             f" and {qy.shape}") from None
    shape = qx.shape
    return (np.ascontiguousarray(qx, dtype=np.float64).reshape(-1),
            np.ascontiguousarray(qy, dtype=np.float64).reshape(-1), shape)


def point_vectors(x) -> Tuple[np.ndarray, np.ndarray, tuple]:
    """Query points given as cKDTree's query takes them: an array whose last
    axis holds (x, y); returns them as two flat float64 vectors and the
    shape of the other axes."""
    points = _real(x, "x")
    if points.ndim == 0 or points.shape[-1] != 2:
        raise ValueError(f"x must consist of vectors of length 2 but has shape {points.shape}")
    shape = points.shape[:-1]
    return (np.ascontiguousarray(points[..., 0], dtype=np.float64).reshape(-1),
            np.ascontiguousarray(points[..., 1], dtype=np.float64).reshape(-1), shape)


def triangle_rows(tri, name: str = "tri") -> np.ndarray:
    """An index array of shape (m, 3), integer or float; an empty array is
    (0, 3)."""
    array = _real(tri, name)
    if array.size == 0:
        return np.zeros((0, 3), dtype=array.dtype)
    if array.ndim != 2 or array.shape[1] != 3:
        raise ValueError(f"{name} must have shape (m, 3), one row of 3 point indices per triangle;"
                         f" got shape {array.shape}")
    return array
