"""The exact check and the picture of a triangulation, from the C++ code
that ``kyhost check`` and ``kyhost draw`` run."""
from __future__ import annotations

import dataclasses
import os
from typing import List, Optional, Tuple

import numpy as np

from . import _kyhost
from ._shapes import coordinate_pair, triangle_rows


@dataclasses.dataclass(frozen=True)
class CheckResult:
    """The verdict of the exact check, with its counts and offenders.

    Rows and points are 0-based. Edge faults are tuples
    ``(u, v, row, other_row)`` of 0-based points and rows (-1 where none).
    ``orientation`` is the way the rows were checked to run ("clockwise" or
    "counterclockwise": as asked, or with "either" the way most rows run);
    ``misoriented_rows`` run the other way. ``bool(result)`` is
    ``result.valid``; ``str(result)`` is the report that ``kyhost check``
    prints, counting rows and points from the base the caller used.
    """

    valid: bool
    verdict: str
    text: str
    is_triangulation: bool
    points: int
    rows: int
    hull_corners: int
    hull_boundary_points: int
    hull_has_area: bool
    bad_index_rows: List[int]
    repeated_corner_rows: List[int]
    orientation: str
    misoriented_rows: List[int]
    flat_rows: List[int]
    unused_points: List[int]
    repeated_points: List[int]
    repeated_edges: List[Tuple[int, int, int, int]]
    crowded_edges: List[Tuple[int, int, int, int]]
    stray_boundary_edges: List[Tuple[int, int, int, int]]
    uncovered_hull_edges: List[Tuple[int, int, int, int]]
    non_delaunay_edges: List[Tuple[int, int, int, int]]
    area_comparison: int
    rows_area: str
    hull_area: str

    def __bool__(self) -> bool:
        return self.valid

    def __str__(self) -> str:
        return self.text

    @property
    def counter_clockwise_rows(self) -> List[int]:
        """The rows refused for running counter-clockwise: the misoriented
        rows when the rows were checked to run clockwise, else none."""
        return list(self.misoriented_rows) if self.orientation == "clockwise" else []

    @property
    def offending_rows(self) -> np.ndarray:
        """Every row named by a row fault or an edge fault, sorted, 0-based."""
        rows = set(self.bad_index_rows) | set(self.repeated_corner_rows)
        rows |= set(self.misoriented_rows) | set(self.flat_rows)
        for faults in (self.repeated_edges, self.crowded_edges, self.stray_boundary_edges,
                       self.non_delaunay_edges):
            for _, _, row, other in faults:
                rows.update(r for r in (row, other) if r >= 0)
        return np.array(sorted(rows), dtype=np.int64)


def _result(values: dict) -> CheckResult:
    is_delaunay = values.pop("is_delaunay")
    return CheckResult(valid=is_delaunay, **values)


def _rows(tri, base: int) -> np.ndarray:
    if base not in (0, 1):
        raise ValueError(f"base must be 0 or 1, not {base!r}")
    return np.asfortranarray(triangle_rows(tri, "tri"), dtype=np.float64)


def check(x, y, tri, *, base: int = 1, orientation: str = "either") -> CheckResult:
    """Checks exactly whether ``tri`` is a Delaunay triangulation of the points
    ``(x, y)``: indices in range, every point used, rows all one way, no edge
    held twice in one direction, the rows tiling the convex hull, and every
    inner edge locally Delaunay. ``tri`` is (m, 3): 1-based indices as
    ``sweeptri`` returns them (``base=1``, float or integer), or 0-based as
    ``Triangulation.simplices`` and scipy's ``Delaunay.simplices``
    (``base=0``). ``orientation``: "either" (all rows one way, clockwise as
    sweeptri returns them or counter-clockwise as scipy does; the result says
    which), "clockwise" (as ``kyhost check`` asks by default) or
    "counterclockwise".
    """
    px, py = coordinate_pair(x, y, "x", "y")
    return _result(_kyhost._check(px, py, _rows(tri, base), base=base, orientation=orientation))


def draw(x, y, tri, path, *, base: int = 1, xi=None, yi=None, k=None, title: str = "",
         format: Optional[str] = None, xlabel: str = "", ylabel: str = "", orientation: str = "either") -> str:
    """Draws the triangulation ``tri`` of the points ``(x, y)`` into ``path``
    (.svg or .png, or ``format='svg'``/``'png'``), with the problems the
    exact check finds marked (rows checked as ``check`` checks them with the
    same ``orientation``), and query points ``(xi, yi)`` joined to their
    answers ``k`` when given (indices in the same base as ``tri``). Returns
    the check's verdict line.
    """
    px, py = coordinate_pair(x, y, "x", "y")
    answers = None
    if xi is not None or yi is not None or k is not None:
        if xi is None or yi is None or k is None:
            raise ValueError("draw: give xi, yi and k together")
        answers = np.asarray(k, dtype=np.float64) + (1 - base)
        xi = np.asarray(xi, dtype=np.float64)
        yi = np.asarray(yi, dtype=np.float64)
    verdict, _, _ = _kyhost._draw(px, py, _rows(tri, base), os.fsdecode(path), xi, yi, answers,
                                  title, format or "", xlabel, ylabel, base=base, orientation=orientation)
    return verdict
