"""kyhost.Delaunay and kyhost.ConvexHull against scipy.spatial: the lifting
attributes, the transform on the same simplices, refusals, exact hulls;
and find_simplex answers that do not depend on the queries' order."""
import numpy as np
import pytest
import scipy.spatial

import kyhost

from conftest import random_points


@pytest.fixture(scope="module")
def pair():
    x, y = random_points(500, 21)
    points = np.c_[x * 30 - 7, y * 4 + 100]
    return points, kyhost.Delaunay(points), scipy.spatial.Delaunay(points)


def _by_vertices(tri):
    return {frozenset(row.tolist()): i for i, row in enumerate(tri.simplices)}


def test_lifting_attributes_match_scipy(pair):
    points, ours, theirs = pair
    assert ours.paraboloid_scale == pytest.approx(theirs.paraboloid_scale, rel=1e-14)
    assert ours.paraboloid_shift == pytest.approx(theirs.paraboloid_shift, rel=1e-14)
    q = np.random.default_rng(1).random((40, 2)) * [30, 4] + [-7, 100]
    assert np.allclose(ours.lift_points(q), theirs.lift_points(q), rtol=1e-14, atol=0)
    mine, reference = _by_vertices(ours), _by_vertices(theirs)
    common = [(mine[k], reference[k]) for k in mine if k in reference]
    assert len(common) > 0.9 * ours.nsimplex
    i, j = np.array(common).T
    assert np.allclose(ours.equations[i], theirs.equations[j], rtol=0, atol=1e-9)
    assert np.allclose(ours.plane_distance(q)[:, i], theirs.plane_distance(q)[:, j], rtol=0, atol=1e-9)
    # Every other lifted point is above each simplex's plane.
    assert (ours.plane_distance(points) <= 1e-9).all()


def test_transform_is_scipys_on_the_same_rows(pair):
    points, ours, theirs = pair
    mine, reference = _by_vertices(ours), _by_vertices(theirs)
    for key, i in mine.items():
        j = reference.get(key)
        if j is None:
            continue
        # Rotate scipy's row to start where ours starts: the same vertex order.
        row, other = ours.simplices[i].tolist(), theirs.simplices[j].tolist()
        shift = other.index(row[0])
        if other[shift:] + other[:shift] != row:
            continue
        c = np.random.default_rng(i).random(2) * [30, 4] + [-7, 100]
        b_ours = ours.transform[i, :2] @ (c - ours.transform[i, 2])
        same = scipy.spatial.Delaunay(points[row])  # scipy's transform of these vertices in this order
        k = [sorted(s.tolist()) for s in same.simplices].index([0, 1, 2])
        order = same.simplices[k].tolist()
        if order != [0, 1, 2]:
            continue
        b_theirs = same.transform[k, :2] @ (c - same.transform[k, 2])
        assert np.array_equal(b_ours, b_theirs) or np.allclose(b_ours, b_theirs, rtol=1e-13, atol=1e-13)


def test_delaunay_signature_refusals_and_scipy_conventions():
    points = np.array([[0, 0], [1, 0], [0, 1], [1, 1], [0, 0]], float)
    tri = kyhost.Delaunay(points)
    assert tri.coplanar.tolist() == [[4, tri.vertex_to_simplex[0], 0]]  # the repeat, as scipy lists it
    assert tri.find_simplex([0.25, 0.25]) >= 0 and tri.find_simplex([2.0, 2.0]) == -1
    assert tri.find_simplex(np.array([[0.25, 0.25]]), False, 1e-3).shape == (1,)  # scipy's positional order
    assert not tri.furthest_site
    with pytest.raises(ValueError, match="furthest_site"):
        kyhost.Delaunay(points, furthest_site=True)
    with pytest.raises(ValueError, match="incremental"):
        kyhost.Delaunay(points, incremental=True)
    with pytest.raises(ValueError, match="qhull_options"):
        kyhost.Delaunay(points, qhull_options="Qbb Qc Qz")
    with pytest.raises(ValueError, match="one line"):
        kyhost.Delaunay([[0, 0], [1, 1], [2, 2]])
    with pytest.raises(ValueError, match=r"shape \(n, 2\)"):
        kyhost.Delaunay(np.zeros((5, 3)))
    with pytest.raises(ValueError, match="not finite"):
        kyhost.Delaunay([[0, 0], [1, 0], [np.nan, 1]])
    with pytest.raises(RuntimeError, match="incremental"):
        tri.add_points([[3, 3]])
    tri.close()


def test_convex_hull_matches_scipy_and_is_exact():
    rng = np.random.default_rng(6)
    for points in (rng.random((1000, 2)), rng.normal(size=(500, 2)) * 1e-8 + 3):
        ours, theirs = kyhost.ConvexHull(points), scipy.spatial.ConvexHull(points)
        assert sorted(ours.vertices) == sorted(theirs.vertices)
        assert ours.area == pytest.approx(theirs.area, rel=1e-12)
        assert ours.volume == pytest.approx(theirs.volume, rel=1e-9)
        edges = {frozenset(e) for e in ours.simplices.tolist()}
        assert edges == {frozenset(e) for e in theirs.simplices.tolist()}
        # Counter-clockwise, each edge's neighbours its neighbours in scipy's sense.
        v = points[ours.vertices]
        assert (np.cross(np.roll(v, -1, 0) - v, np.roll(v, -2, 0) - v) > 0).all()
        for i, (a, b) in enumerate(ours.simplices):
            assert b in ours.simplices[ours.neighbors[i, 0]] and a in ours.simplices[ours.neighbors[i, 1]]
        mine = {frozenset(e): eq for e, eq in zip(ours.simplices.tolist(), ours.equations)}
        for e, eq in zip(theirs.simplices.tolist(), theirs.equations):
            assert np.allclose(mine[frozenset(e)], eq, rtol=0, atol=1e-9)
    # Points on the hull's edges (and repeats of a corner) are not corners.
    square = np.array([[0, 0], [1, 0], [2, 0], [2, 1], [2, 2], [1, 2], [0, 2], [0, 1], [1, 1], [2, 2], [0, 0]], float)
    hull = kyhost.ConvexHull(square)
    assert hull.vertices.tolist() == [0, 2, 4, 6]
    assert hull.area == 8.0 and hull.volume == 4.0 and hull.coplanar.shape == (0, 3) and hull.good is None
    # A point a rounding outside an edge is a corner; one a rounding inside is not.
    below = np.nextafter(0.5, 0.0)
    assert kyhost.ConvexHull([[0, 0], [1, 0.5], [2, 1], [0, 2], [1, below]]).vertices.tolist() == [0, 4, 2, 3]
    assert kyhost.ConvexHull([[0, 0], [1, np.nextafter(0.5, 1)], [2, 1], [0, 2]]).vertices.tolist() == [0, 2, 3]
    with pytest.raises(ValueError, match="one line"):
        kyhost.ConvexHull([[0, 0], [1, 1], [3, 3], [1, 1]])
    with pytest.raises(ValueError, match="incremental"):
        kyhost.ConvexHull(square, incremental=True)
    with pytest.raises(ValueError, match="not finite"):
        kyhost.ConvexHull([[0, 0], [1, 0], [np.inf, 1]])


def test_find_simplex_in_grid_order_gives_the_answers_of_any_order():
    x, y = random_points(4000, 31)
    tri = kyhost.Triangulation(np.c_[x, y])
    # A grid over a box wider than the hull, its lines through data points
    # (queries on edges and at vertices), in grid order and shuffled.
    gx, gy = np.meshgrid(np.r_[np.linspace(-0.1, 1.1, 150), x[:20]], np.r_[np.linspace(-0.1, 1.1, 150), y[:20]])
    queries = np.c_[gx.ravel(), gy.ravel()]
    in_order = tri.find_simplex(queries)
    shuffle = np.random.default_rng(0).permutation(queries.shape[0])
    shuffled = np.empty_like(in_order)
    shuffled[shuffle] = tri.find_simplex(queries[shuffle])
    assert (in_order == shuffled).all()
    assert (in_order == tri.find_simplex(queries, bruteforce=True)).sum() >= 0.99 * queries.shape[0]
    held = in_order >= 0
    _, w = tri.find_simplex(queries[held], return_barycentric=True)
    assert (w >= -1e-12).all()
    # The same with a tolerance (points just outside the hull).
    assert (tri.find_simplex(queries, tol=1e-3) == np.where(True, tri.find_simplex(queries[shuffle], tol=1e-3)[
        np.argsort(shuffle)], 0)).all()
