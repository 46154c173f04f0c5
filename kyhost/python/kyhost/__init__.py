"""Delaunay triangulation and nearest-point search of planar points.

High level, 0-based integer arrays in the manner of scipy.spatial:

- ``Triangulation(points)`` or ``Triangulation(x, y)``: simplices (counter-
  clockwise), neighbors, convex_hull, vertex_neighbor_vertices, transform,
  find_simplex, nearest, query, query_ball_point, query_pairs,
  count_neighbors (as cKDTree's), check, plot.
- ``Delaunay(points)`` and ``ConvexHull(points)``: scipy.spatial's names,
  signatures and attributes for planar points.
- ``check(x, y, tri)`` and ``draw(x, y, tri, path)``: the exact check and the
  picture of any triangulation, as ``kyhost check`` and ``kyhost draw`` make them.
- ``griddata``, ``LinearNDInterpolator``, ``NaturalNeighborInterpolator`` and
  ``Triangulation.interpolate``: linear and natural-neighbour interpolation
  of scattered data, in the manner of scipy.interpolate.
- ``triangulate_to_file(x, y, out)``: the triangulation of more points than
  memory holds, into a .npy file (as ``kyhost triangulate``);
  ``kyhost.dask.triangulate(points)``: the same on a dask cluster.

Low level, the plug-ins' own calls and arrays (1-based indices stored as
float64): ``call``, ``sweeptri``, ``nearwalk``, ``trinterp``, ``byteappend``, ``sparse``,
with ``CallError`` for a call that ends in an error and ``KyWarning`` for the
warnings a plug-in issues.
"""
from ._kyhost import (  # noqa: F401
    CallError,
    KyWarning,
    __version__,
    _input_storage,
    _last_call_seconds,
    byteappend,
    call,
    nearwalk,
    plugin_directory,
    sparse,
    sweeptri,
)
from ._inspect import CheckResult, check, draw  # noqa: F401
from ._triangulation import Triangulation  # noqa: F401
from ._voronoi import Voronoi  # noqa: F401
from ._delaunay import Delaunay  # noqa: F401
from ._convex_hull import ConvexHull  # noqa: F401
from ._interpolate import LinearNDInterpolator, NaturalNeighborInterpolator, griddata, trinterp  # noqa: F401
from ._nearest_interpolate import NearestNDInterpolator  # noqa: F401
from ._cubic_interpolate import CloughTocher2DInterpolator, GradientEstimationWarning  # noqa: F401
from ._out_of_core import triangulate_to_file  # noqa: F401

CallError.__module__ = "kyhost"


def __getattr__(name):
    # kyhost.dask imports dask; only when it is asked for.
    if name == "dask":
        import importlib
        return importlib.import_module(".dask", __name__)
    raise AttributeError(f"module 'kyhost' has no attribute {name!r}")

__all__ = [
    "Voronoi", "Delaunay", "ConvexHull",
    "Triangulation", "CheckResult", "check", "draw",
    "griddata", "LinearNDInterpolator", "NaturalNeighborInterpolator", "trinterp",
    "NearestNDInterpolator",
    "triangulate_to_file",
    "CloughTocher2DInterpolator", "GradientEstimationWarning",
    "call", "sweeptri", "nearwalk", "byteappend", "sparse", "plugin_directory",
    "CallError", "KyWarning", "__version__",
]
