"""Triangulation.query against scipy.spatial.cKDTree.query: the same
shapes, distances and (where distances differ) indices, with k = 1, 5 and
20, distance_upper_bound, lists of ranks, threads, merged repeats and points
on one line."""
import numpy as np
import pytest
import scipy.spatial

import kyhost
from conftest import no_ky_warning, random_points


def expect_same(ours, theirs, points, queries):
    (d, i), (td, ti) = ours, theirs
    assert d.shape == td.shape and i.shape == ti.shape and i.dtype == np.intp
    assert np.array_equal(d, td)
    # Indices may differ only between points at the same distance.
    differ = i != ti
    if differ.any():
        missing = ti == len(points)
        assert not (differ & missing).any()
        per_answer = queries if d.ndim < queries.ndim else queries[..., None, :]
        q = np.broadcast_to(per_answer, d.shape + (2,))[differ]
        assert np.array_equal(np.hypot(*(points[i[differ]] - q).T), np.hypot(*(points[ti[differ]] - q).T))


@pytest.fixture(scope="module")
def sets():
    x, y = random_points(3000, 70)
    points = np.column_stack([x, y])
    return kyhost.Triangulation(points), scipy.spatial.cKDTree(points), points


@pytest.mark.parametrize("k", [1, 5, 20])
@pytest.mark.parametrize("bound", [np.inf, 0.02])
def test_query_equals_ckdtree(sets, k, bound):
    ours, tree, points = sets
    queries = np.random.default_rng(71).uniform(-0.2, 1.2, size=(40, 50, 2))
    expect_same(ours.query(queries, k, distance_upper_bound=bound),
                tree.query(queries, k, distance_upper_bound=bound), points, queries)


def test_query_shapes_ranks_and_threads(sets):
    ours, tree, points = sets
    d, i = ours.query([0.25, 0.5])
    assert isinstance(d, float) and isinstance(i, int) and (d, i) == tree.query([0.25, 0.5])
    queries = np.random.default_rng(72).random((20000, 2))
    for k in ([1, 3], [7], 4):
        expect_same(ours.query(queries, k), tree.query(queries, k), points, queries)
        assert ours.query(queries[0], k)[0].shape == tree.query(queries[0], k)[0].shape
    one = ours.query(queries, 8)
    for workers in (2, -1):
        assert all(np.array_equal(a, b) for a, b in zip(ours.query(queries, 8, workers=workers), one))
    # Answers of nearest() are those of query(k=1).
    assert np.array_equal(ours.nearest(queries), ours.query(queries)[1])
    assert ours.query(np.zeros((0, 2)), 3)[0].shape == (0, 3)
    d, i = ours.query([[np.nan, 0.5], [0.5, np.inf]], 2)
    assert np.isinf(d).all() and (i == len(points)).all()
    d, i = ours.query(queries[:5], 5000)
    assert (i[:, 3000:] == 3000).all() and np.isinf(d[:, 3000:]).all() and (i[:, :3000] < 3000).all()


@pytest.mark.parametrize("arguments, message", [
    (([0.5, 0.5, 0.5],), r"x must consist of vectors of length 2 but has shape \(3,\)"),
    (([0.5, 0.5], 0), r"k must be at least 1"),
    (([0.5, 0.5], [0, 2]), r"k must be a positive integer or a list of them"),
    (([0.5, 0.5], 1.5), r"k must be a positive integer"),
])
def test_query_refuses_what_cannot_be_meant(sets, arguments, message):
    ours, _, _ = sets
    with pytest.raises(ValueError, match=message):
        ours.query(*arguments)
    with pytest.raises(ValueError, match="workers must be"):
        ours.query([0.5, 0.5], workers=0)
    with pytest.raises(ValueError, match="NaN"):
        ours.query([0.5, 0.5], distance_upper_bound=np.nan)


def test_query_with_merged_repeats_and_on_a_line():
    rng = np.random.default_rng(73)
    base = rng.random((400, 2))
    points = np.vstack([base, base[::7], base[::13]])  # repeats after their first
    ours = kyhost.Triangulation(points, merge_duplicates=True)
    tree = scipy.spatial.cKDTree(points)
    queries = rng.random((500, 2))
    for k in (1, 6):
        expect_same(ours.query(queries, k), tree.query(queries, k), points, queries)
    # Points on one line: no triangles, searched along the line.
    t = np.sort(rng.random(300))
    line = np.column_stack([t, 2 * t + 1])
    with no_ky_warning():
        on_line = kyhost.Triangulation(line)
    queries = rng.uniform(-1, 2, size=(500, 2))
    expect_same(on_line.query(queries, 4, distance_upper_bound=0.5),
                scipy.spatial.cKDTree(line).query(queries, 4, distance_upper_bound=0.5), line, queries)
    assert kyhost.Triangulation(np.zeros((0, 2))).query([[1.0, 2.0]], 2)[1].tolist() == [[0, 0]]
