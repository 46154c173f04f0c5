"""An order of query points along a Morton (Z-order) curve: queries close
in the plane come close together, so that a walk that starts from the last
answer has little way to go.

The curve runs over a 256 x 256 grid of cells spanning the queries: the
16-bit keys sort by numpy's radix sort, several times faster than a finer
32-bit key, and the walk from one query to the next in a cell is short."""
from __future__ import annotations

import numpy as np

_BITS = 8


def _spread(values: np.ndarray) -> np.ndarray:
    """Moves bit k of each value (below 2^16) to bit 2k."""
    v = values.astype(np.uint32)
    v = (v | (v << 8)) & np.uint32(0x00FF00FF)
    v = (v | (v << 4)) & np.uint32(0x0F0F0F0F)
    v = (v | (v << 2)) & np.uint32(0x33333333)
    v = (v | (v << 1)) & np.uint32(0x55555555)
    return v


def _cells(values: np.ndarray) -> np.ndarray:
    low, high = values.min(), values.max()
    span = high - low
    if not span > 0 or not np.isfinite(span):
        return np.zeros(values.shape, dtype=np.uint32)
    scaled = (values - low) * ((2**_BITS - 1) / span)
    return np.clip(scaled, 0, 2**_BITS - 1).astype(np.uint32)


def morton_order(x: np.ndarray, y: np.ndarray) -> np.ndarray:
    """Positions of the (finite) points (x, y) in Morton order."""
    if x.size < 2:
        return np.arange(x.size)
    keys = (_spread(_cells(x)) | (_spread(_cells(y)) << np.uint32(1))).astype(np.uint16)
    return np.argsort(keys, kind="stable")
