"""Triangulation(points, workers=k): tiles on threads give the single
sweep's triangles (a certified Delaunay triangulation where it is not
unique), rows that do not depend on k, and the same duplicate and warning
behaviour as without workers. Small tiles force many seams."""
import warnings

import numpy as np
import pytest

import kyhost
from kyhost import _triangulation


@pytest.fixture(autouse=True)
def small_tiles(monkeypatch):
    monkeypatch.setattr(_triangulation, "_TILE_POINTS", 200)


def assert_tiled(points, tile_points=200):
    """The family really goes through tiles and seams (no fallback)."""
    _, info = kyhost._kyhost._triangulate_tiled(points[:, 0].copy(), points[:, 1].copy(), 2, tile_points)
    assert info["tiles"] >= 4 and not info["fell_back"], info
    return info


def triangles(t):
    return sorted(map(tuple, np.sort(t.simplices, axis=1).tolist()))


def assert_certified(points, t):
    result = kyhost.check(points[:, 0], points[:, 1], t.simplices, base=0, orientation="counterclockwise")
    assert result.valid, result


def uniform(n, seed, scale=1.0, shift=0.0):
    return shift + scale * np.random.default_rng(seed).random((n, 2))


def clusters():
    rng = np.random.default_rng(5)
    centres = np.array([(i, j) for i in range(4) for j in range(4)], dtype=float)
    return (centres[:, None, :] + 0.04 * rng.standard_normal((16, 150, 2))).reshape(-1, 2)


def grid(nx=40, ny=30, step=1.0):
    gx, gy = np.meshgrid(np.arange(nx) * step, np.arange(ny) * step, indexing="ij")
    return np.column_stack([gx.ravel(), gy.ravel()])


def cocircular_across_split():
    # Mirrored about x = 20 (the first split): diamonds whose circle touches
    # the split at a point on it, and integer circles of radius 5 centred on it.
    pts = []
    for y in range(0, 120, 4):
        pts += [(18, y), (19, y + 1), (19, y - 1), (20, y), (22, y), (21, y + 1), (21, y - 1)]
    ring = [(5, 0), (-5, 0), (0, 5), (0, -5), (3, 4), (-3, 4), (3, -4), (-3, -4), (4, 3), (-4, 3), (4, -3), (-4, -3)]
    for c in range(5):
        pts += [(20 + a, 140 + 12 * c + b) for a, b in ring]
    rng = np.random.default_rng(11)
    side = np.column_stack([17 - 300 * rng.random(300), 200 * rng.random(300)])
    mirrored = np.column_stack([40 - side[:, 0], side[:, 1]])
    return np.vstack([np.array(pts, dtype=float), side, mirrored])


def tiny_beside_huge():
    return np.vstack([uniform(300, 1, 1e-300), uniform(300, 2, 1e300, 1e300), uniform(300, 3, 1.0, -2.0)])


UNIQUE = {"uniform": lambda: uniform(3000, 7), "clusters": clusters, "tiny beside huge": tiny_beside_huge}
DEGENERATE = {"grid": grid, "shifted grid": lambda: grid(30, 30, 0.1) + [1e6, -3.3],
              "cocircular across a split": cocircular_across_split}


@pytest.mark.parametrize("family", list(UNIQUE))
def test_unique_triangulations_match_the_single_sweep(family):
    points = UNIQUE[family]()
    assert_tiled(points)
    single, tiled = kyhost.Triangulation(points), kyhost.Triangulation(points, workers=2)
    assert tiled.simplices.dtype == np.int32 and tiled.simplices.flags.c_contiguous
    assert triangles(tiled) == triangles(single)
    assert_certified(points, tiled)


@pytest.mark.parametrize("family", list(DEGENERATE))
def test_degenerate_sets_give_certified_delaunay_triangulations(family, monkeypatch):
    points = DEGENERATE[family]()
    tile_points = 400 if family.startswith("cocircular") else 200
    monkeypatch.setattr(_triangulation, "_TILE_POINTS", tile_points)
    assert_tiled(points, tile_points)
    single, tiled = kyhost.Triangulation(points), kyhost.Triangulation(points, workers=2)
    assert tiled.nsimplex == single.nsimplex
    assert_certified(points, tiled)
    assert tiled.check().valid


def test_the_seams_are_a_small_share_of_uniform_points():
    info = assert_tiled(uniform(3000, 7), 400)
    assert info["tiles"] == 8 and 0 < info["seam_points"] < 0.3 * 3000


def test_rows_are_the_same_for_every_number_of_workers():
    points = np.vstack([uniform(4000, 9), grid(20, 20, 0.05)])
    rows = [kyhost.Triangulation(points, workers=k).simplices for k in (1, 2, 4, -1)]
    for other in rows[1:]:
        np.testing.assert_array_equal(other, rows[0])
    np.testing.assert_array_equal(kyhost.Triangulation(points, workers=2).simplices, rows[0])


def test_points_on_one_circle_fall_back_to_one_sweep():
    r = 5525
    a = np.arange(-r, r + 1)
    b = np.sqrt(r * r - a * a).round()
    on = a * a + b * b == r * r
    points = np.unique(np.vstack([np.column_stack([a[on], b[on]]), np.column_stack([a[on], -b[on]])]), axis=0)
    assert len(points) == 180
    _, info = kyhost._kyhost._triangulate_tiled(points[:, 0].copy(), points[:, 1].copy(), 2, 16)
    assert info["fell_back"]
    points = points.astype(float)
    tiled = kyhost.Triangulation(points, workers=2)
    assert_certified(points, tiled)
    if info["triangulator"] == "sweep":  # the fallback is the single sweep itself
        np.testing.assert_array_equal(tiled.simplices, kyhost.Triangulation(points).simplices)


def test_duplicates_are_refused_or_merged_as_without_workers():
    points = uniform(2000, 13)
    points[1500] = points[321]
    points[1700] = points[321]
    with pytest.raises(ValueError) as single:
        kyhost.Triangulation(points)
    with pytest.raises(ValueError) as tiled:
        kyhost.Triangulation(points, workers=2)
    assert str(tiled.value) == str(single.value)
    assert "points 321 and 1500" in str(tiled.value)
    merged, plain = (kyhost.Triangulation(points, merge_duplicates=True, workers=w) for w in (2, None))
    assert triangles(merged) == triangles(plain)
    # (point, simplex, kept point): the simplex number depends on the row order.
    np.testing.assert_array_equal(merged.coplanar[:, [0, 2]], plain.coplanar[:, [0, 2]])
    assert merged.find_simplex(points[1700]) >= 0


def test_collinear_points_and_warnings_as_without_workers():
    line = np.column_stack([np.arange(200.0), 2 * np.arange(200.0) + 1])
    for points in (line, line[:2], line[:0].reshape(0, 2)):
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            single, tiled = kyhost.Triangulation(points), kyhost.Triangulation(points, workers=2)
        assert tiled.nsimplex == single.nsimplex == 0
    # Lines and nearly degenerate tiles inside a cloud warn no more than the single sweep.
    points = np.vstack([uniform(500, 17), line / 200])
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        tiled = kyhost.Triangulation(points, workers=2)
    assert_certified(points, tiled)


@pytest.mark.parametrize("workers", [0, -2, 1.5, True, "2"])
def test_bad_workers_are_refused(workers):
    with pytest.raises(ValueError, match="workers"):
        kyhost.Triangulation(uniform(10, 1), workers=workers)


def test_tiled_objects_pickle_and_query_like_single_ones():
    import pickle
    points = uniform(1000, 19)
    tiled = pickle.loads(pickle.dumps(kyhost.Triangulation(points, workers=2)))
    single = kyhost.Triangulation(points)
    assert triangles(tiled) == triangles(single)
    queries = uniform(50, 23)
    found = tiled.find_simplex(queries)
    np.testing.assert_array_equal(found >= 0, single.find_simplex(queries) >= 0)
    inside = found >= 0
    assert inside.sum() > 30
    corners = np.sort(tiled.simplices[found[inside]], axis=1)
    np.testing.assert_array_equal(corners, np.sort(single.simplices[single.find_simplex(queries)[inside]], axis=1))



def corners(d, indices):
    """Vertex coordinates of indices, -1 (the point at infinity) as (inf, inf)."""
    return sorted((float("inf"),) * 2 if v < 0 else tuple(d.vertices[v].tolist()) for v in indices)


def test_voronoi_of_a_tiled_grid_is_the_single_sweeps(monkeypatch):
    # A grid's triangulation is not unique (every square is cocircular), its
    # Voronoi diagram is: the tiles may split the squares otherwise, the
    # vertices, ridges and regions stay the same.
    g = np.arange(40.0)
    points = np.column_stack([np.repeat(g, 40), np.tile(g, 40)]) * 0.25
    monkeypatch.setattr(_triangulation, "_TILE_POINTS", 400)
    assert_tiled(points, 400)
    single = kyhost.Triangulation(points).voronoi()
    expected = sorted((min(a, b), max(a, b), corners(single, r))
                      for (a, b), r in zip(single.ridge_points.tolist(), single.ridge_vertices))
    for workers in (1, 2):
        v = kyhost.Triangulation(points, workers=workers).voronoi()
        assert len(v.vertices) == len(single.vertices) == 39 * 39
        ridges = sorted((min(a, b), max(a, b), corners(v, r)) for (a, b), r in zip(v.ridge_points.tolist(), v.ridge_vertices))
        assert ridges == expected
        for i in range(len(points)):
            assert corners(v, v.regions[i]) == corners(single, single.regions[i])


def test_both_builds_of_the_sweep_give_the_same_rows(tmp_path):
    """The tiles run the sweep built for static TLS where it loads and the one
    linked into the package where it does not (KY_STATIC_TLS_SWEEP=0 makes
    it not): the rows are the same, errors too."""
    import os
    import subprocess
    import sys
    points = uniform(6000, 17)
    np.save(tmp_path / "points.npy", points)
    script = (
        "import sys, numpy as np, kyhost\n"
        "p = np.load(sys.argv[1])\n"
        "rows, info = kyhost._kyhost._triangulate_tiled(p[:, 0].copy(), p[:, 1].copy(), 2, 500)\n"
        "np.save(sys.argv[2], rows)\n"
        "q = np.vstack([p, p[:1]])\n"
        "try:\n"
        "    kyhost._kyhost._triangulate_tiled(q[:, 0].copy(), q[:, 1].copy(), 2, 500)\n"
        "except ValueError as error:\n"
        "    print(info['sweep_build'], error)\n")
    said = {}
    for setting in ("1", "0"):
        env = dict(os.environ, KY_STATIC_TLS_SWEEP=setting)
        out = tmp_path / f"rows{setting}.npy"
        run = subprocess.run([sys.executable, "-c", script, str(tmp_path / "points.npy"), str(out)],
                             env=env, capture_output=True, text=True, check=True)
        said[setting] = run.stdout.strip()
    assert said["1"] == "static-tls x-y data must be unique", said
    assert said["0"] == "dynamic-tls x-y data must be unique", said
    assert np.array_equal(np.load(tmp_path / "rows1.npy"), np.load(tmp_path / "rows0.npy"))
