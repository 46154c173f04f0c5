"""triangulate_to_file: the Delaunay triangulation of more points than memory
holds, written to one .npy file of rows (the engine of ``kyhost triangulate``)."""
from __future__ import annotations

import numbers
import os
import re
from typing import Union

import numpy as np

from . import _kyhost

_UNITS = {"": 1, "K": 1 << 10, "M": 1 << 20, "G": 1 << 30, "T": 1 << 40}


def _memory_bytes(limit) -> int:
    """A size as the command line takes it ("2G", "512M", "2GiB") or bytes."""
    if isinstance(limit, numbers.Integral) and not isinstance(limit, bool):
        if limit <= 0:
            raise ValueError(f"memory_limit must be positive; got {limit!r}")
        return int(limit)
    match = re.fullmatch(r"\s*(\d+)\s*([KMGT]?)(?:i?B)?\s*", str(limit), re.IGNORECASE) if isinstance(limit, str) else None
    if not match or int(match.group(1)) == 0:
        raise ValueError(f"memory_limit must be a number of bytes or a size such as '512M' or '2G'; got {limit!r}")
    return int(match.group(1)) * _UNITS[match.group(2).upper()]


def _coordinates(values, name: str) -> np.ndarray:
    """A float64 vector, read in place where it can be: a path to a .npy
    file is memory-mapped, an array or np.memmap is used as it is."""
    if isinstance(values, (str, os.PathLike)):
        values = np.load(os.fspath(values), mmap_mode="r")
    array = np.asarray(values)
    if array.ndim == 2 and 1 in array.shape:
        array = array.reshape(-1)
    if array.ndim != 1:
        raise ValueError(f"{name} must be a vector of coordinates; got shape {array.shape}")
    if array.dtype != np.float64 or not array.flags.c_contiguous:
        array = np.ascontiguousarray(array, dtype=np.float64)
    return array


def triangulate_to_file(x, y, out: Union[str, os.PathLike], *, memory_limit="2G", workers: int = 1,
                        index: str = "float64", base: int = 1, orientation: str = "clockwise",
                        resume: bool = False, tile_points: int = None, progress: bool = False) -> dict:
    """Writes the Delaunay triangulation of the points (x, y) to the .npy file
    ``out``, holding about ``memory_limit`` of memory whatever their number.

    ``x`` and ``y`` are vectors, or paths of .npy files (memory-mapped). The
    rows are an M-by-3 matrix of ``index`` entries ('float64', 'int64' or
    'int32') counting from ``base`` (1 or 0), each row ``orientation``
    ('clockwise' or 'counterclockwise'): by default as sweeptri returns
    them, like ``kyhost triangulate``. The plane is cut into tiles of about
    ``tile_points`` points (default 2**19, less for limits below 256 MiB),
    finished on ``workers`` threads (-1: all processors) as many as the limit
    holds; the row order depends only on the points and the tile size.

    Scratch goes to ``out + '.scratch'`` and rows to ``out + '.partial'``,
    renamed to ``out`` once complete. An interrupted run keeps its scratch;
    ``resume=True`` goes on from it. Runs that cannot fit the disk or the
    memory limit, int32 indices beyond 2**31 - 1, and repeated or non-finite
    points are refused with ValueError before anything is written; a failed
    read or write raises OSError. ``progress=True`` prints a progress line on
    standard error every few seconds. The GIL is released while it runs.

    Returns a dict: points, rows, tiles, tiles_resumed, tile_points,
    seam_points, seam_rounds, workers, output_bytes, peak_scratch_bytes, seconds.
    """
    if orientation not in ("clockwise", "counterclockwise"):
        raise ValueError(f"orientation must be 'clockwise' or 'counterclockwise'; got {orientation!r}")
    if base not in (0, 1) or isinstance(base, bool):
        raise ValueError(f"base must be 0 or 1; got {base!r}")
    if index not in ("float64", "int64", "int32"):
        raise ValueError(f"index must be 'float64', 'int64' or 'int32'; got {index!r}")
    if not isinstance(workers, numbers.Integral) or isinstance(workers, bool) or workers == 0 or workers < -1:
        raise ValueError(f"workers must be a positive number of threads, or -1 for all processors; got {workers!r}")
    if tile_points is not None and (not isinstance(tile_points, numbers.Integral) or not 1 <= tile_points <= 1 << 29):
        raise ValueError(f"tile_points must be a number of points from 1 to 2**29; got {tile_points!r}")
    xs = _coordinates(x, "x")
    ys = _coordinates(y, "y")
    if xs.size != ys.size:
        raise ValueError(f"x and y must have as many elements ({xs.size} and {ys.size})")
    return _kyhost._triangulate_to_file(
        xs, ys, os.fspath(out), _memory_bytes(memory_limit), int(workers), index, int(base),
        orientation == "clockwise", bool(resume), int(tile_points or 0), bool(progress), 5.0)
