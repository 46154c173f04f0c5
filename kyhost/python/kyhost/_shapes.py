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


def coordinate_pair(x, y, xname: str = "x", yname: str = "y") -> Tuple[np.ndarray, np.ndarray]:
    """Points as two contiguous float64 vectors, from x and y of one length
    (1-D, or (n, 1) / (1, n) columns and rows), or from x alone of shape (n, 2)."""
    if y is None:
        points = _real(x, "points")
        if points.ndim != 2 or points.shape[1] != 2:
            raise ValueError(f"points must have shape (n, 2), one row (x, y) per point; got shape {points.shape}"
                             f" (for separate coordinates pass {xname} and {yname})")
        return (np.ascontiguousarray(points[:, 0], dtype=np.float64),
                np.ascontiguousarray(points[:, 1], dtype=np.float64))
    vectors = []
    for values, name in ((x, xname), (y, yname)):
        array = _real(values, name)
        if array.ndim == 2 and 1 in array.shape:
            array = array.reshape(-1)
        if array.ndim != 1:
            hint = " (an (n, 2) array of points goes alone, as the first argument)" if array.ndim == 2 else ""
            raise ValueError(f"{name} must be a vector of n coordinates; got shape {array.shape}{hint}")
        vectors.append(np.ascontiguousarray(array, dtype=np.float64))
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
