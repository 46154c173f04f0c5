"""kyhost.Triangulation against scipy.spatial, and its own rules: refused
shapes, repeated points, queries that are not finite, sets with no
triangle, pickling."""
import inspect
import pickle

import numpy as np
import pytest
import scipy.spatial

import kyhost
from conftest import no_ky_warning, random_points


def as_set(rows):
    return {tuple(sorted(r)) for r in np.asarray(rows).tolist()}


@pytest.fixture(scope="module")
def pair():
    x, y = random_points(3000, seed=40)
    return kyhost.Triangulation(x, y), scipy.spatial.Delaunay(np.column_stack([x, y]))


def test_attributes_match_scipy(pair):
    ours, theirs = pair
    assert ours.simplices.dtype == np.int32 and ours.simplices.flags.c_contiguous
    assert as_set(ours.simplices) == as_set(theirs.simplices)
    # Every row counter-clockwise, as scipy gives them.
    p = ours.points[ours.simplices]
    cross = (p[:, 1, 0] - p[:, 0, 0]) * (p[:, 2, 1] - p[:, 0, 1]) - (p[:, 1, 1] - p[:, 0, 1]) * (p[:, 2, 0] - p[:, 0, 0])
    assert (cross > 0).all()
    # neighbors[i, j] is the simplex opposite vertex j: it shares the other two
    # corners and not vertex j; -1 exactly on the hull.
    s, nb = ours.simplices, ours.neighbors
    for i in range(0, s.shape[0], 7):
        for j in range(3):
            edge = {s[i, (j + 1) % 3], s[i, (j + 2) % 3]}
            if nb[i, j] < 0:
                assert tuple(sorted(edge)) in as_set(ours.convex_hull)
            else:
                assert edge <= set(s[nb[i, j]]) and s[i, j] not in s[nb[i, j]]
    assert (nb == -1).sum() == (theirs.neighbors == -1).sum()
    assert as_set(ours.convex_hull) == as_set(theirs.convex_hull)
    indptr, indices = ours.vertex_neighbor_vertices
    their_ptr, their_indices = theirs.vertex_neighbor_vertices
    assert np.array_equal(indptr, their_ptr)
    for k in range(0, ours.npoints, 11):
        assert set(indices[indptr[k]:indptr[k + 1]]) == set(their_indices[their_ptr[k]:their_ptr[k + 1]])


def test_find_simplex_agrees_with_scipy_and_on_edges(pair):
    ours, theirs = pair
    rng = np.random.default_rng(41)
    q = rng.uniform(-0.1, 1.1, size=(4000, 2))
    # Also points on edges (midpoints) and on corners.
    s = ours.simplices
    q = np.vstack([q, (ours.points[s[:300, 0]] + ours.points[s[:300, 1]]) / 2, ours.points[:100]])
    found = ours.find_simplex(q)
    expected = theirs.find_simplex(q)
    assert np.array_equal(found < 0, expected < 0)
    inside = found >= 0
    # Our simplex holds the point (barycentric weights within tolerance).
    simplex, weights = ours.find_simplex(q, return_barycentric=True)
    assert np.array_equal(simplex, found)
    assert (weights[inside] >= -1e-12).all() and np.allclose(weights[inside].sum(axis=1), 1)
    recon = np.einsum("qj,qjk->qk", weights[inside], ours.points[s[found[inside]]])
    assert np.allclose(recon, q[inside])
    assert np.isnan(weights[~inside]).all()
    assert np.array_equal(ours.find_simplex(q[:500], bruteforce=True) >= 0, found[:500] >= 0)
    assert np.array_equal(ours.find_simplex(q[:, 0], q[:, 1]), found)


def test_nearest_matches_ckdtree_in_any_order(pair):
    ours, _ = pair
    x, y = ours.points.T
    rng = np.random.default_rng(42)
    qx, qy = rng.uniform(-0.2, 1.2, size=(2, 50, 40))
    tree = scipy.spatial.cKDTree(ours.points)
    distance, nearest = tree.query(np.stack([qx, qy], axis=-1))
    squared = (x[nearest] - qx) ** 2 + (y[nearest] - qy) ** 2
    for keep_order in (False, True):
        index, ours_distance = ours.nearest(qx, qy, return_distance=True, keep_order=keep_order)
        assert index.shape == qx.shape and index.dtype == np.intp
        # Only exact distance ties may pick another point.
        assert np.array_equal((x[index] - qx) ** 2 + (y[index] - qy) ** 2, squared)
        assert np.allclose(ours_distance, distance, rtol=1e-14, atol=0)
    assert np.array_equal(ours.nearest(np.stack([qx, qy], axis=-1)), ours.nearest(qx, qy))


def test_queries_that_are_not_finite_get_minus_one(pair):
    ours, _ = pair
    qx = np.array([0.5, np.nan, np.inf, 0.25, -np.inf])
    qy = np.array([0.5, 0.5, 0.5, np.nan, 0.1])
    index, distance = ours.nearest(qx, qy, return_distance=True)
    assert (index[1:] == -1).all() and index[0] >= 0
    assert np.isinf(distance[1:]).all()
    assert (ours.find_simplex(qx, qy)[1:] == -1).all()


def test_sets_without_triangles_answer_along_the_line():
    x = np.array([3.0, 0.0, 1.0, 2.0, 5.0])
    with no_ky_warning():
        line = kyhost.Triangulation(x, 2 * x + 1)
    assert line.simplices.shape == (0, 3) and line.neighbors.shape == (0, 3)
    qx, qy = np.random.default_rng(44).uniform(-3, 12, size=(2, 500))
    brute = np.argmin((x[:, None] - qx) ** 2 + ((2 * x + 1)[:, None] - qy) ** 2, axis=0)
    assert np.array_equal(line.nearest(qx, qy), brute)
    assert line.nearest([np.nan], [0.0]).tolist() == [-1]
    assert (line.find_simplex(qx, qy) == -1).all()
    assert kyhost.Triangulation([[1.0, 2.0]]).nearest([5.0], [5.0]).tolist() == [0]
    with no_ky_warning():
        vertical = kyhost.Triangulation(np.zeros(3), np.array([0.0, 2.0, 1.0]))
    assert vertical.nearest([1.0], [1.9]).tolist() == [1]


def test_repeated_points_are_named_or_merged():
    x = np.array([0.0, 1.0, 0.0, 1.0, 0.5, 1.0])
    y = np.array([0.0, 0.0, 1.0, 1.0, 0.5, 0.0])
    with pytest.raises(ValueError, match=r"points 1 and 5 are both at \(1.0, 0.0\)"):
        kyhost.Triangulation(x, y)
    merged = kyhost.Triangulation(x, y, merge_duplicates=True)
    assert 5 not in merged.simplices and merged.nsimplex == 4
    assert merged.coplanar.tolist() == [[5, merged.vertex_to_simplex[1], 1]]
    assert merged.nearest([0.9, np.nan], [0.1, 0.0]).tolist() == [1, -1]
    assert merged.check().valid
    indptr, _ = merged.vertex_neighbor_vertices
    assert indptr.size == 7 and indptr[6] == indptr[5]  # the dropped point has no neighbours
    with pytest.raises(ValueError, match=r"point 2 is not finite: \(nan, 1.0\)"):
        kyhost.Triangulation([0.0, 1.0, np.nan], [0.0, 0.0, 1.0])


@pytest.mark.parametrize("args, message", [
    (([[0.0, 1.0, 2.0]] * 4,), r"points must have shape \(n, 2\).*got shape \(4, 3\)"),
    ((np.zeros((2, 2, 2)),), r"points must have shape \(n, 2\)"),
    ((np.zeros((4, 2)), np.zeros(4)), r"x must be a vector of n coordinates; got shape \(4, 2\) \(an \(n, 2\) array"),
    ((np.zeros(4), np.zeros(5)), r"x and y must have the same length; got 4 and 5"),
    ((np.zeros(3, dtype=complex), np.zeros(3)), r"x must hold real numbers"),
])
def test_shapes_that_cannot_be_meant_are_refused(args, message):
    with pytest.raises((ValueError, TypeError), match=message):
        kyhost.Triangulation(*args)


def test_query_shapes_and_low_level_refusals(pair):
    ours, _ = pair
    with pytest.raises(ValueError, match=r"xi alone must have shape \(\.\.\., 2\)"):
        ours.nearest(np.zeros((5, 3)))
    with pytest.raises(ValueError, match=r"xi and yi must have the same shape"):
        ours.find_simplex(np.zeros(3), np.zeros(4))
    with pytest.raises(TypeError, match=r"for points P of shape \(10, 2\) call sweeptri\(P\[:, 0\], P\[:, 1\]\)"):
        kyhost.sweeptri(np.zeros((10, 2)))
    # The low-level functions keep folding any shape, and take integer TRIs.
    x, y = np.array([0.0, 1.0, 0.0]), np.array([0.0, 0.0, 1.0])
    tri = kyhost.sweeptri(x.reshape(1, 3, 1), y)
    for dtype in (np.int32, np.int64):
        assert kyhost.nearwalk(x, y, tri.astype(dtype), [0.9], [0.1]).tolist() == [[2.0]]
    with pytest.raises(ValueError, match="2\\^53"):
        kyhost.nearwalk(x, y, np.array([[1, 2, 2**60]]), [0.9], [0.1])


def test_pickled_objects_answer_the_same(pair):
    ours, _ = pair
    ours.nearest([0.5], [0.5])
    copy = pickle.loads(pickle.dumps(ours))
    assert "_index_value" not in copy.__dict__
    q = np.random.default_rng(43).random((100, 2))
    assert np.array_equal(copy.nearest(q), ours.nearest(q))
    assert np.array_equal(copy.neighbors, ours.neighbors)


def test_signatures_and_version():
    assert kyhost.__version__.count(".") == 2
    assert list(inspect.signature(kyhost.sweeptri).parameters) == ["X", "Y", "option"]
    assert "nargout" in inspect.signature(kyhost.call).parameters
    assert "return_distance" in inspect.signature(kyhost.Triangulation.nearest).parameters


def test_point_errors_carry_a_note_naming_the_point():
    with pytest.raises(kyhost.CallError) as raised:
        kyhost.sweeptri([0.0, 1.0, 1.0, 0.0], [0.0, 2.0, 2.0, 0.0])
    assert str(raised.value) == "x-y data must be unique"  # the plug-in's text, unchanged
    assert raised.value.__notes__ == ["kyhost: point 3 (1, 2) is at the place of point 2"]
    with pytest.raises(kyhost.CallError) as raised:
        kyhost.sweeptri([0.0, 1.0, 2.0], [0.0, np.nan, 1.0])
    assert raised.value.__notes__ == ["kyhost: point 2 has a coordinate that is not finite: (1, nan)"]
