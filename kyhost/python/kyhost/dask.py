"""kyhost.dask.triangulate: the Delaunay triangulation of a dask array of
points, as dask tasks. Each tile is one task on one worker, and so is each
round of the seams; the points are never gathered on the client.

The graph: a plan from a sample of the points (every ceil(n / 2**22)-th
row, taken on a worker; only the plan's cells come back to the client);
one task per chunk that sorts its rows into pieces by tile; one task per
tile that joins its pieces and finishes the tile (its final triangles, its
seam points and boundary edges); one task per seam round, joining the
seams of the tiles (or rounds) below a node of the split tree. Rows are those of the in-memory Triangulation wherever the Delaunay
triangulation is unique.
"""
from __future__ import annotations

import math
import operator
import os
import uuid

import numpy as np

from . import _kyhost

_SAMPLE_POINTS = 1 << 20


def _plan(sample: np.ndarray, tile_points: int):
    sample = np.asarray(sample, dtype=np.float64)
    return _kyhost._plan_tiles(np.ascontiguousarray(sample[:, 0]), np.ascontiguousarray(sample[:, 1]), tile_points)


def _bucket(block: np.ndarray, offset: int, cells: np.ndarray, splits: np.ndarray):
    """A chunk's rows by tile: for each tile (ids, x, y), ids ascending."""
    block = np.asarray(block, dtype=np.float64)
    x = np.ascontiguousarray(block[:, 0])
    y = np.ascontiguousarray(block[:, 1])
    bad = ~(np.isfinite(x) & np.isfinite(y))
    if bad.any():
        i = int(np.argmax(bad))
        raise ValueError(f"point {offset + i} is not finite: ({x[i]!r}, {y[i]!r})")
    tiles = _kyhost._tile_of(cells, splits, x, y)
    order = np.argsort(tiles, kind="stable")
    bounds = np.searchsorted(tiles[order], np.arange(len(cells) + 1))
    pieces = []
    for t in range(len(cells)):
        where = order[bounds[t]:bounds[t + 1]]
        pieces.append((where.astype(np.int64) + offset, x[where], y[where]))
    return pieces


def _repeated_pair(ids, x, y):
    order = np.lexsort((ids, y, x))
    same = (x[order][1:] == x[order][:-1]) & (y[order][1:] == y[order][:-1])
    if not same.any():
        return None
    starts = np.concatenate(([True], ~same))
    first = np.maximum.accumulate(np.where(starts, np.arange(order.size), 0))
    later = np.flatnonzero(~starts)
    k = later[np.argmin(ids[order][later])]
    return int(ids[order][first[k]]), int(ids[order][k])


def _finish(cell: np.ndarray, *pieces):
    """A tile's final rows (k, 3) clockwise, and its seam: ids, x, y, edges."""
    ids = np.concatenate([p[0] for p in pieces]) if pieces else np.empty(0, np.int64)
    x = np.concatenate([p[1] for p in pieces]) if pieces else np.empty(0)
    y = np.concatenate([p[2] for p in pieces]) if pieces else np.empty(0)
    pair = _repeated_pair(ids, x, y)
    if pair is not None:
        raise ValueError(f"points {pair[0]} and {pair[1]} are both at ({x[ids == pair[1]][0]!r}, {y[ids == pair[1]][0]!r}): "
                         "repeated points cannot be triangulated")
    rows, seam, edges = _kyhost._finish_tile(cell, x, y, ids)
    at = np.searchsorted(ids, seam)
    return rows, (seam, x[at], y[at], edges)


def _join(cell, *seams):
    """One seam round inside cell (None: the last, over the whole plane):
    its final rows (k, 3) clockwise, and the seam it passes up."""
    ids = np.concatenate([s[0] for s in seams])
    x = np.concatenate([s[1] for s in seams])
    y = np.concatenate([s[2] for s in seams])
    edges = np.concatenate([s[3] for s in seams]) if seams else np.empty((0, 2), np.int64)
    rows, up_ids, up_x, up_y, up_edges = _kyhost._join_seams(cell, x, y, ids, np.ascontiguousarray(edges, dtype=np.int64))
    return rows, (up_ids, up_x, up_y, up_edges)


def _seam_rounds(splits: np.ndarray, seams: list, levels: int) -> list:
    """The seam rounds' row blocks (delayed), in the order the package's
    other front ends write them: a round at every node of the split tree
    whose height is a multiple of ``levels``, the last over the whole plane;
    each round holds only the seams of the tiles below it."""
    import dask

    blocks = []

    def visit(node: int, cell: list):
        if node < 0:
            return [seams[-node - 1]], 0
        by_x, at, low, high = splits[node]
        low_cell, high_cell = list(cell), list(cell)
        if by_x:
            low_cell[2] = high_cell[0] = at
        else:
            low_cell[3] = high_cell[1] = at
        low_parts, low_height = visit(int(low), low_cell)
        high_parts, high_height = visit(int(high), high_cell)
        parts, height = low_parts + high_parts, max(low_height, high_height) + 1
        if node != 0 and height % levels == 0:
            joined = dask.delayed(_join, pure=True, nout=2)(np.array(cell, dtype=np.float64), *parts)
            blocks.append(joined[0])
            return [joined[1]], height
        return parts, height

    parts = [seams[0]] if len(splits) == 0 else visit(0, [-math.inf, -math.inf, math.inf, math.inf])[0]
    blocks.append(dask.delayed(_join, pure=True, nout=2)(None, *parts)[0])
    return blocks


def _counter_clockwise(rows: np.ndarray) -> np.ndarray:
    return np.ascontiguousarray(rows[:, [0, 2, 1]], dtype=np.int64)


def _save_part(rows: np.ndarray, path: str) -> int:
    temporary = path + ".partial"
    with open(temporary, "wb") as f:
        np.save(f, _counter_clockwise(rows))
        f.flush()
        os.fsync(f.fileno())
    os.replace(temporary, path)
    return int(rows.shape[0])


def triangulate(points, *, tile_points: int = 1 << 19, out=None, _levels_per_round: int = 8):
    """The Delaunay triangulation of ``points``, a dask array of shape (n, 2)
    chunked by rows, computed as dask tasks (on a distributed cluster when a
    ``distributed.Client`` is active).

    Returns a dask array of rows (int64, 0-based, counter-clockwise, as
    ``Triangulation.simplices``) with unknown chunk sizes: one block per
    tile, then one per seam round. With ``out=FOLDER`` the blocks are written
    by the workers as FOLDER/part-000000.npy, ... (FOLDER must be reachable
    from every worker), and FOLDER is returned once they are all written.

    Tiles hold about ``tile_points`` points each; a worker holds only the
    tiles it finishes, and a seam round the seam points of the tiles it joins
    (up to 256 tiles, then the borders of those groups). Repeated or
    non-finite points raise ValueError when the tasks run.
    """
    import dask
    import dask.array as da

    if not isinstance(points, da.Array):
        raise TypeError(f"points must be a dask array of shape (n, 2); got {type(points).__name__}")
    if points.ndim != 2 or points.shape[1] != 2 or math.isnan(points.shape[0]):
        raise ValueError(f"points must have shape (n, 2) with n known; got {points.shape}")
    if int(tile_points) < 1:
        raise ValueError(f"tile_points must be positive; got {tile_points!r}")
    n = int(points.shape[0])
    if points.numblocks[1] != 1:
        points = points.rechunk({1: 2})
    points = points.astype(np.float64)

    step = max(1, -(-n // _SAMPLE_POINTS))
    sample_tile_points = max(1, int(tile_points) // step)
    cells, splits = dask.compute(dask.delayed(_plan, pure=True)(points[::step], sample_tile_points))[0]
    tiles = len(cells)

    offsets = np.concatenate(([0], np.cumsum(points.chunks[0])))
    blocks = points.to_delayed().ravel()
    bucketed = [dask.delayed(_bucket, pure=True, nout=tiles)(block, int(offsets[c]), cells, splits)
                for c, block in enumerate(blocks)]
    finished = []
    for t in range(tiles):
        pieces = [dask.delayed(operator.getitem, pure=True)(b, t) for b in bucketed]
        finished.append(dask.delayed(_finish, pure=True, nout=2)(cells[t], *pieces))
    tile_rows = [f[0] for f in finished]
    parts = tile_rows + _seam_rounds(splits, [f[1] for f in finished], int(_levels_per_round))

    if out is not None:
        folder = os.fspath(out)
        os.makedirs(folder, exist_ok=True)
        width = max(6, len(str(len(parts))))
        saves = [dask.delayed(_save_part, pure=False)(part, os.path.join(folder, f"part-{k:0{width}d}.npy"))
                 for k, part in enumerate(parts)]
        dask.compute(*saves)
        return folder

    arrays = [da.from_delayed(dask.delayed(_counter_clockwise, pure=True)(part), shape=(np.nan, 3), dtype=np.int64,
                              meta=np.empty((0, 3), np.int64), name=f"kyhost-rows-{uuid.uuid4().hex}")
              for part in parts]
    return da.concatenate(arrays, axis=0)
