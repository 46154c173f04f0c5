import os
from typing import Any, Optional, Sequence, Tuple, Union, overload

import numpy as np
import numpy.typing as npt

from ._inspect import CheckResult as CheckResult
from ._inspect import check as check
from ._inspect import draw as draw

__version__: str

class CallError(RuntimeError): ...
class KyWarning(UserWarning): ...

ArrayLike = npt.ArrayLike

def call(function: Union[str, "os.PathLike[str]"], *args: Any, nargout: int = 1) -> Any: ...
def sweeptri(X: ArrayLike, Y: Optional[ArrayLike] = None, option: Optional[str] = None) -> np.ndarray: ...
def nearwalk(X: ArrayLike, Y: ArrayLike, TRI: ArrayLike, XI: ArrayLike, YI: ArrayLike,
             S: Optional[Any] = None) -> np.ndarray: ...
def byteappend(filename: Union[str, bytes, "os.PathLike[str]"], data: ArrayLike) -> np.ndarray: ...
def sparse(I: ArrayLike, J: ArrayLike, V: ArrayLike, nr: float, nc: float) -> Any: ...
def plugin_directory() -> str: ...

class Triangulation:
    points: np.ndarray
    npoints: int
    nsimplex: int
    ndim: int
    simplices: np.ndarray
    neighbors: np.ndarray
    convex_hull: np.ndarray
    vertex_neighbor_vertices: Tuple[np.ndarray, np.ndarray]
    vertex_to_simplex: np.ndarray
    coplanar: np.ndarray
    transform: np.ndarray
    min_bound: np.ndarray
    max_bound: np.ndarray
    def __init__(self, x: ArrayLike, y: Optional[ArrayLike] = None, *, merge_duplicates: bool = False,
                 workers: Optional[int] = None) -> None: ...
    @overload
    def nearest(self, xi: ArrayLike, yi: Optional[ArrayLike] = None, *, return_distance: bool = False,
                keep_order: bool = False) -> np.ndarray: ...
    @overload
    def nearest(self, xi: Any, yi: Any = None, *, return_distance: bool = True,
                keep_order: bool = False) -> Tuple[np.ndarray, np.ndarray]: ...
    def query(self, x: ArrayLike, k: Union[int, Sequence[int]] = 1, eps: float = 0, p: float = 2,
              distance_upper_bound: float = ..., workers: int = 1) -> Tuple[Any, Any]: ...
    def find_simplex(self, xi: ArrayLike, yi: Optional[ArrayLike] = None, *, bruteforce: bool = False,
                     tol: Optional[float] = None, return_barycentric: bool = False) -> Any: ...
    def interpolate(self, values: ArrayLike, xi: ArrayLike, yi: Optional[ArrayLike] = None, *,
                    method: str = "linear", fill_value: Any = ...) -> np.ndarray: ...
    def check(self) -> CheckResult: ...
    def to_matplotlib(self) -> Any: ...
    def plot(self, ax: Any = None, **kwargs: Any) -> Any: ...
    def draw(self, path: Union[str, "os.PathLike[str]"], *, title: str = "", format: Optional[str] = None) -> str: ...
    def voronoi(self) -> "Voronoi": ...
    def query_ball_point(self, x: ArrayLike, r: ArrayLike, p: float = 2., eps: float = 0, workers: int = 1,
                         return_sorted: Optional[bool] = None, return_length: bool = False) -> Any: ...
    def query_pairs(self, r: float, p: float = 2., eps: float = 0, output_type: str = "set", *,
                    workers: int = 1) -> Any: ...
    def count_neighbors(self, other: Any, r: ArrayLike, p: float = 2., *, workers: int = 1) -> Any: ...

class Delaunay(Triangulation):
    furthest_site: bool
    paraboloid_scale: float
    paraboloid_shift: float
    equations: np.ndarray
    def __init__(self, points: ArrayLike, furthest_site: bool = False, incremental: bool = False,
                 qhull_options: Optional[str] = None) -> None: ...
    def lift_points(self, x: ArrayLike) -> np.ndarray: ...
    def plane_distance(self, xi: ArrayLike) -> np.ndarray: ...
    def find_simplex(self, xi: ArrayLike, bruteforce: bool = False, tol: Optional[float] = None, *,  # type: ignore[override]
                     return_barycentric: bool = False) -> Any: ...
    def add_points(self, points: ArrayLike, restart: bool = False) -> None: ...
    def close(self) -> None: ...

class ConvexHull:
    points: np.ndarray
    vertices: np.ndarray
    simplices: np.ndarray
    neighbors: np.ndarray
    equations: np.ndarray
    coplanar: np.ndarray
    good: None
    area: float
    volume: float
    min_bound: np.ndarray
    max_bound: np.ndarray
    ndim: int
    npoints: int
    nsimplex: int
    def __init__(self, points: ArrayLike, incremental: bool = False, qhull_options: Optional[str] = None) -> None: ...
    def add_points(self, points: ArrayLike, restart: bool = False) -> None: ...
    def close(self) -> None: ...

from ._voronoi import Voronoi as Voronoi
from . import dask as dask

def triangulate_to_file(
    x: Union[npt.ArrayLike, str, os.PathLike],
    y: Union[npt.ArrayLike, str, os.PathLike],
    out: Union[str, os.PathLike],
    *,
    memory_limit: Union[int, str] = ...,
    workers: int = ...,
    index: str = ...,
    base: int = ...,
    orientation: str = ...,
    resume: bool = ...,
    tile_points: Optional[int] = ...,
    progress: bool = ...,
) -> dict: ...

def trinterp(X: ArrayLike, Y: ArrayLike, Z: ArrayLike, TRI: ArrayLike, XI: ArrayLike, YI: ArrayLike,
             method: Optional[str] = None) -> np.ndarray: ...
def griddata(points: Any, values: ArrayLike, xi: Any, method: str = "linear", fill_value: Any = ...,
             rescale: bool = False) -> np.ndarray: ...

class LinearNDInterpolator:
    tri: Triangulation
    fill_value: Any
    points: np.ndarray
    values: np.ndarray
    # Bytes of the mesh and values kept after the first call (0 before it).
    nbytes: int
    def __init__(self, points: Any, values: ArrayLike, fill_value: Any = ..., rescale: bool = False) -> None: ...
    def __call__(self, *args: Any) -> np.ndarray: ...

class NaturalNeighborInterpolator(LinearNDInterpolator): ...

class NearestNDInterpolator:
    points: np.ndarray
    values: np.ndarray
    offset: Optional[np.ndarray]
    scale: Optional[np.ndarray]
    def __init__(self, x: Any, y: ArrayLike, rescale: bool = False, tree_options: Optional[dict] = None) -> None: ...
    def __call__(self, *args: Any) -> np.ndarray: ...

class GradientEstimationWarning(Warning): ...

class CloughTocher2DInterpolator:
    tri: Triangulation
    fill_value: Any
    tol: float
    maxiter: int
    points: np.ndarray
    values: np.ndarray
    grad: np.ndarray
    nbytes: int
    def __init__(self, points: Any, values: ArrayLike, fill_value: Any = ..., tol: float = 1e-6, maxiter: int = 400,
                 rescale: bool = False, *, workers: int = -1) -> None: ...
    def __call__(self, *args: Any) -> np.ndarray: ...
