"""kyhost.Triangulation beside scipy.spatial.Delaunay on random sets: the
same counter-clockwise triangles, neighbours, hull, find_simplex, transform
and bounds; arrays that no caller can change; pickles of every version."""
import pathlib
import pickle

import numpy as np
import pytest
import scipy.spatial

import kyhost
from conftest import random_points


def rotated_to_smallest(rows):
    """Each row turned (not reordered) so that its smallest entry comes first."""
    rows = np.asarray(rows)
    shift = np.argmin(rows, axis=1)
    take = (shift[:, None] + np.arange(3)) % 3
    return np.take_along_axis(rows, take, axis=1)


def by_triangle(rows):
    """Row number of each triangle, keyed by its corners turned to the smallest."""
    return {tuple(r): i for i, r in enumerate(rotated_to_smallest(rows).tolist())}


@pytest.fixture(scope="module", params=[(500, 60), (4000, 61)])
def pair(request):
    n, seed = request.param
    x, y = random_points(n, seed)
    return kyhost.Triangulation(x, y), scipy.spatial.Delaunay(np.column_stack([x, y]))


def test_triangles_neighbours_and_hull_as_scipy_gives_them(pair):
    ours, theirs = pair
    # The same triangles with the same (counter-clockwise) turn.
    mine, scipys = by_triangle(ours.simplices), by_triangle(theirs.simplices)
    assert mine.keys() == scipys.keys()
    # Row i of ours is row match[i] of scipy's; neighbours follow the vertices.
    match = np.array([scipys[tuple(t)] for t in rotated_to_smallest(ours.simplices).tolist()])
    for i in range(0, ours.nsimplex, 3):
        for j in range(3):
            vertex = ours.simplices[i, j]
            k = int(np.flatnonzero(theirs.simplices[match[i]] == vertex)[0])
            expected = theirs.neighbors[match[i], k]
            got = ours.neighbors[i, j]
            assert (got == -1) == (expected == -1)
            if got >= 0:
                assert match[got] == expected
    # Hull edges run counter-clockwise: the interior lies to their left.
    p = ours.points
    a, b = p[ours.convex_hull[:, 0]], p[ours.convex_hull[:, 1]]
    centre = p.mean(axis=0)
    assert ((b[:, 0] - a[:, 0]) * (centre[1] - a[:, 1]) - (b[:, 1] - a[:, 1]) * (centre[0] - a[:, 0]) > 0).all()
    assert {tuple(sorted(e)) for e in ours.convex_hull.tolist()} == {tuple(sorted(e)) for e in theirs.convex_hull.tolist()}
    assert np.array_equal(ours.min_bound, theirs.min_bound) and np.array_equal(ours.max_bound, theirs.max_bound)
    assert ours.ndim == theirs.ndim == 2


def test_find_simplex_and_transform_as_scipy_gives_them(pair):
    ours, theirs = pair
    rng = np.random.default_rng(62)
    q = rng.uniform(-0.1, 1.1, size=(3000, 2))
    found, theirs_found = ours.find_simplex(q), theirs.find_simplex(q)
    assert np.array_equal(found < 0, theirs_found < 0)
    # Off edges, both name the same triangle.
    scipys = by_triangle(theirs.simplices)
    inside = found >= 0
    same = [scipys[tuple(r)] for r in rotated_to_smallest(ours.simplices[found[inside]]).tolist()]
    assert np.array_equal(same, theirs_found[inside])
    # The transform of the same triangle (with corners in the same order).
    rows = np.flatnonzero(np.isfinite(ours.transform).all(axis=(1, 2)))[::5]
    for i in rows:
        k = scipys[tuple(rotated_to_smallest(ours.simplices[i:i + 1])[0])]
        shift = int(np.flatnonzero(theirs.simplices[k] == ours.simplices[i, 0])[0])
        assert np.array_equal(np.roll(theirs.simplices[k], -shift), ours.simplices[i])
        c = ours.transform[i, :2] @ (q[:50] - ours.transform[i, 2]).T
        # Barycentric weights of the same points by scipy's transform of the same corners.
        t = theirs.transform[k]
        w = t[:2] @ (q[:50] - t[2]).T
        w = np.vstack([w, 1 - w.sum(axis=0)])[np.roll(np.arange(3), -shift)]
        assert np.allclose(c, w[:2], rtol=1e-9, atol=1e-9)
    # Weights from find_simplex follow the simplices' order too.
    simplex, weights = ours.find_simplex(q[:500], return_barycentric=True)
    ok = simplex >= 0
    c = np.einsum("qij,qj->qi", ours.transform[simplex[ok], :2], q[:500][ok] - ours.transform[simplex[ok], 2])
    assert np.allclose(c, weights[ok, :2], atol=1e-9)


def test_every_returned_array_refuses_writes():
    x, y = random_points(300, 63)
    t = kyhost.Triangulation(x, y)
    q = np.random.default_rng(64).uniform(-0.1, 1.1, size=(2000, 2))
    before = t.find_simplex(q)
    arrays = [t.points, t.simplices, t.neighbors, t.convex_hull, *t.vertex_neighbor_vertices, t.vertex_to_simplex,
              t.coplanar, t.transform, t.min_bound, t.max_bound]
    for array in arrays:
        assert not array.flags.writeable
        with pytest.raises(ValueError, match="read-only"):
            array[...] = 0
    with pytest.raises(ValueError, match="read-only"):
        t.simplices.sort(axis=1)  # the scipy idiom; its copy is np.sort(t.simplices, axis=1)
    assert np.array_equal(t.find_simplex(q), before)
    assert t.points is t.points  # built once
    # Answers are the caller's own.
    index = t.nearest(q)
    index[:] = 0
    assert t.nearest(q).any()


def test_merged_points_keep_scipy_conventions():
    x = np.array([0.0, 1.0, 0.0, 1.0, 0.5, 1.0, 0.3])
    y = np.array([0.0, 0.0, 1.0, 1.0, 0.5, 0.0, 0.8])
    t = kyhost.Triangulation(x, y, merge_duplicates=True)
    p = t.points[t.simplices]
    cross = (p[:, 1, 0] - p[:, 0, 0]) * (p[:, 2, 1] - p[:, 0, 1]) - (p[:, 1, 1] - p[:, 0, 1]) * (p[:, 2, 0] - p[:, 0, 0])
    assert (cross > 0).all() and 5 not in t.simplices
    assert np.isfinite(t.transform).all() and t.transform.shape == (t.nsimplex, 3, 2)


def test_pickles_of_every_version_load():
    fixture = pathlib.Path(__file__).parent / "data" / "triangulations_before_versions.pickle"
    with open(fixture, "rb") as stream:
        saved = pickle.load(stream)  # made before pickles carried a version
    x, y = saved["merged_points"]
    old = saved["merged"]
    new = kyhost.Triangulation(x, y, merge_duplicates=True)
    assert np.array_equal(old.simplices, new.simplices)
    assert np.array_equal(old.neighbors, new.neighbors)
    assert np.array_equal(old.coplanar, new.coplanar)
    q = np.random.default_rng(65).random((200, 2))
    assert np.array_equal(old.nearest(q), new.nearest(q))
    assert np.array_equal(old.find_simplex(q), new.find_simplex(q))
    assert old.check().valid and saved["plain"].check().valid
    assert not old.points.flags.writeable
    state = new.__getstate__()
    assert state["version"] == 2
    again = pickle.loads(pickle.dumps(new))
    assert np.array_equal(again.simplices, new.simplices)
    newer = kyhost.Triangulation.__new__(kyhost.Triangulation)
    with pytest.raises(ValueError, match="pickled by a newer kyhost"):
        newer.__setstate__(dict(state, version=99))
