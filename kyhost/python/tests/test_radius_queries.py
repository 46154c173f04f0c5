"""query_ball_point, query_pairs and count_neighbors of Triangulation
against scipy.spatial.cKDTree, with points exactly at and a rounding away
from the radius, repeats, points on one line and far queries."""
import numpy as np
import pytest
import scipy.spatial

import kyhost

from conftest import random_points


def _same_lists(ours, theirs):
    assert ours.shape == theirs.shape
    for a, b in zip(ours.ravel(), theirs.ravel()):
        assert a == sorted(b)


@pytest.fixture(scope="module")
def random_set():
    x, y = random_points(3000, 17)
    points = np.c_[x, y]
    return points, kyhost.Triangulation(points), scipy.spatial.cKDTree(points)


@pytest.mark.parametrize("p", [1, 2, np.inf])
def test_ball_lists_and_counts_match_ckdtree(random_set, p):
    points, tri, tree = random_set
    rng = np.random.default_rng(2)
    queries = np.r_[rng.random((500, 2)) * 1.4 - 0.2, points[:200]]
    for r in (0.0, 0.013, 0.05, 0.3):
        _same_lists(tri.query_ball_point(queries, r, p=p, workers=2), tree.query_ball_point(queries, r, p=p))
        assert (tri.query_ball_point(queries, r, p=p, return_length=True) ==
                tree.query_ball_point(queries, r, p=p, return_length=True)).all()
    radii = rng.random(queries.shape[0]) * 0.05
    _same_lists(tri.query_ball_point(queries, radii, p=p), tree.query_ball_point(queries, radii, p=p))


def test_points_at_the_radius_and_a_rounding_either_side(random_set):
    points, tri, tree = random_set
    rng = np.random.default_rng(9)
    q = rng.random((300, 2))
    # The radius of each query is the computed distance of a random point,
    # nudged by at most one ulp: cKDTree's r*r against dx*dx + dy*dy decides.
    target = points[rng.integers(0, points.shape[0], q.shape[0])]
    d = np.sqrt(((target - q) ** 2).sum(axis=1))
    for nudge in (-1, 0, 1):
        r = d if nudge == 0 else np.nextafter(d, np.inf if nudge > 0 else 0)
        ours, theirs = tri.query_ball_point(q, r), tree.query_ball_point(q, r)
        _same_lists(ours, theirs)
    # Integer points exactly at distance 5: in, and out just below.
    grid = np.array([[0, 0], [3, 4], [4, 3], [5, 0], [0, -5], [-3, -4], [1, 1], [6, 1]], float)
    t = kyhost.Triangulation(grid)
    assert t.query_ball_point([0, 0], 5) == [0, 1, 2, 3, 4, 5, 6]
    assert t.query_ball_point([0, 0], np.nextafter(5, 0)) == [0, 6]
    assert t.query_ball_point([0, 0], 7, p=1) == [0, 1, 2, 3, 4, 5, 6, 7]
    assert t.query_ball_point([0, 0], 4, p=np.inf) == [0, 1, 2, 5, 6]


def test_single_point_shapes_options_and_errors(random_set):
    points, tri, tree = random_set
    assert isinstance(tri.query_ball_point([0.5, 0.5], 0.05), list)
    assert tri.query_ball_point([0.5, 0.5], 0.05, return_length=True) == len(tree.query_ball_point([0.5, 0.5], 0.05))
    unsorted = tri.query_ball_point([0.5, 0.5], 0.1, return_sorted=False)
    assert sorted(unsorted) == tri.query_ball_point([0.5, 0.5], 0.1)
    shaped = tri.query_ball_point(np.full((2, 3, 2), 0.5), 0.05)
    assert shaped.shape == (2, 3) and shaped.dtype == object
    # A negative radius is cKDTree's |r| for p=2 and admits nothing for p=1.
    assert tri.query_ball_point([0.5, 0.5], -0.05) == sorted(tree.query_ball_point([0.5, 0.5], -0.05))
    assert tri.query_ball_point([0.5, 0.5], -0.05, p=1) == []
    assert tri.query_ball_point([[np.nan, 0.5]], 1.0)[0] == []
    assert tri.query_ball_point([0.5, 0.5], np.nan) == []
    assert tri.query_ball_point([1e300, 0.5], 1e10) == []
    assert len(tri.query_ball_point([0.5, 0.5], np.inf)) == points.shape[0]
    assert len(tri.query_ball_point([0.5, 0.5], 1e200)) == points.shape[0]
    with pytest.raises(ValueError, match="p must be 1, 2 or inf"):
        tri.query_ball_point([0.5, 0.5], 0.1, p=3)
    with pytest.raises(ValueError, match="eps"):
        tri.query_ball_point([0.5, 0.5], 0.1, eps=-1)
    with pytest.raises(ValueError, match="workers"):
        tri.query_ball_point([0.5, 0.5], 0.1, workers=0)
    with pytest.raises(ValueError, match="broadcast"):
        tri.query_ball_point(np.zeros((4, 2)), [0.1, 0.2])
    with pytest.raises(ValueError, match="output_type"):
        tri.query_pairs(0.1, output_type="list")


@pytest.mark.parametrize("p", [1, 2, np.inf])
def test_pairs_and_neighbour_counts_match_ckdtree(random_set, p):
    points, tri, tree = random_set
    for r in (0.0, 0.01, 0.04):
        expected = tree.query_pairs(r, p=p)
        assert tri.query_pairs(r, p=p) == expected
        array = tri.query_pairs(r, p=p, output_type="ndarray", workers=2)
        assert array.shape == (len(expected), 2)
        assert set(map(tuple, array.tolist())) == expected
        assert (np.lexsort(array.T[::-1]) == np.arange(array.shape[0])).all()
    other = np.random.default_rng(4).random((700, 2))
    radii = [0.0, 0.02, 0.1, 0.01]
    assert (tri.count_neighbors(other, radii, p=p) ==
            tree.count_neighbors(scipy.spatial.cKDTree(other), radii, p=p)).all()
    assert tri.count_neighbors(kyhost.Triangulation(other), 0.05, p=p) == tree.count_neighbors(
        scipy.spatial.cKDTree(other), 0.05, p=p)


def test_repeats_lines_and_cocircular_points():
    # Repeats merged into one place are answered with it, and pair with each other.
    x, y = random_points(400, 8)
    points = np.r_[np.c_[x, y], np.c_[x[:50], y[:50]], np.c_[x[:5], y[:5]]]
    tri = kyhost.Triangulation(points, merge_duplicates=True)
    tree = scipy.spatial.cKDTree(points)
    q = np.r_[points[:60], np.random.default_rng(1).random((100, 2))]
    _same_lists(tri.query_ball_point(q, 0.07), tree.query_ball_point(q, 0.07))
    assert tri.query_pairs(0.03) == tree.query_pairs(0.03)
    pairs = tri.query_pairs(0.03, output_type="ndarray")
    assert (np.lexsort(pairs.T[::-1]) == np.arange(pairs.shape[0])).all()
    assert tri.count_neighbors(tri, [0.0, 0.05]).tolist() == tree.count_neighbors(tree, [0.0, 0.05]).tolist()
    # Points on one line (no triangles): the path along the line.
    t = np.linspace(0, 1, 500)
    line = np.c_[3 * t + 1, 2 * t - 5]
    tri, tree = kyhost.Triangulation(line), scipy.spatial.cKDTree(line)
    q = np.r_[line[::7], np.random.default_rng(3).random((50, 2)) * 4 + [1, -5]]
    _same_lists(tri.query_ball_point(q, 0.1), tree.query_ball_point(q, 0.1))
    assert tri.query_pairs(0.01) == tree.query_pairs(0.01)
    # Many points exactly on a circle about the query.
    angle = np.arange(360) * (2 * np.pi / 360)
    ring = np.r_[np.c_[np.cos(angle), np.sin(angle)], [[0.0, 0.0]]]
    tri, tree = kyhost.Triangulation(ring), scipy.spatial.cKDTree(ring)
    for r in (1.0, np.nextafter(1.0, 0), np.nextafter(1.0, 2)):
        assert tri.query_ball_point([0.0, 0.0], r) == sorted(tree.query_ball_point([0.0, 0.0], r))


def test_magnitudes_far_from_one():
    rng = np.random.default_rng(12)
    for scale in (1e-200, 1e150, 1.0):
        points = rng.random((500, 2)) * scale
        points[0] = [scale * 1e-30, 0.0]
        tri, tree = kyhost.Triangulation(points), scipy.spatial.cKDTree(points)
        q = rng.random((100, 2)) * scale
        for r in (0.05 * scale, 0.2 * scale):
            _same_lists(tri.query_ball_point(q, r), tree.query_ball_point(q, r))
    # Points spanning more than the exact frame: hypot decides reach.
    points = np.r_[rng.random((200, 2)), [[1e150, 1e150], [-1e150, 5.0], [1e-300, 0.0]]]
    tri, tree = kyhost.Triangulation(points), scipy.spatial.cKDTree(points)
    _same_lists(tri.query_ball_point(points[:50], 0.2), tree.query_ball_point(points[:50], 0.2))


def _same_pairs(tri, tree, r, p=2, eps=0):
    expected = tree.query_pairs(r, p=p)
    assert tri.query_pairs(r, p=p, eps=eps) == expected
    array = tri.query_pairs(r, p=p, eps=eps, output_type="ndarray")
    assert array.dtype == np.intp and array.shape == (len(expected), 2)
    assert set(map(tuple, array.tolist())) == expected
    assert (np.lexsort(array.T[::-1]) == np.arange(array.shape[0])).all()


@pytest.mark.parametrize("p", [1, 2, np.inf])
def test_pairs_at_the_radius_on_a_lattice(p):
    # Lattice points in a shuffled order: many pairs exactly at the radius
    # (3-4-5 triangles), and as many an ulp outside it.
    rng = np.random.default_rng(5)
    lattice = np.array([(i, j) for i in range(25) for j in range(25)], float)[rng.permutation(625)]
    tri, tree = kyhost.Triangulation(lattice), scipy.spatial.cKDTree(lattice)
    for r in (1.0, 5.0, np.nextafter(5.0, 0), np.nextafter(5.0, 9), 7.0):
        _same_pairs(tri, tree, r, p)
    # Coordinates that do not round exactly: the norm computed as cKDTree does decides.
    scaled = lattice * 0.1 + 0.3
    tri, tree = kyhost.Triangulation(scaled), scipy.spatial.cKDTree(scaled)
    for r in (0.5, np.nextafter(0.5, 0), np.nextafter(0.5, 1), 0.1, 0.2 * np.sqrt(2)):
        _same_pairs(tri, tree, r, p)
    # eps > 0 lets cKDTree approximate; the pairs given stay exact.
    assert tri.query_pairs(0.5, p=p, eps=0.5) == tree.query_pairs(0.5, p=p)


@pytest.mark.parametrize("p", [1, 2, np.inf])
def test_pairs_of_clustered_spread_and_few_points(p):
    rng = np.random.default_rng(6)
    # A dense cluster among spread points (too crowded for cells of the
    # radius), and the same spread points alone.
    spread = rng.random((300, 2))
    clustered = np.r_[spread, 0.4 + 1e-3 * rng.random((400, 2)), [[0.4, 0.4005]]]
    for points in (clustered, spread):
        tri, tree = kyhost.Triangulation(points), scipy.spatial.cKDTree(points)
        for r in (1e-4, 0.002, 0.05):
            _same_pairs(tri, tree, r, p)
        assert tri.query_pairs(0.05, p=p, output_type="ndarray", workers=2).tolist() == \
            tri.query_pairs(0.05, p=p, output_type="ndarray").tolist()
    # Few points and a radius holding them all; a radius beyond every span.
    few = rng.random((30, 2)) * 3
    tri, tree = kyhost.Triangulation(few), scipy.spatial.cKDTree(few)
    for r in (10.0, 1e300, np.inf):
        _same_pairs(tri, tree, r, p)
    assert tri.query_pairs(np.nan, p=p) == set()
    assert tri.query_pairs(-1.0, p=1) == set()
    # Magnitudes far from one, and a span no grid of the radius covers.
    for scale in (1e-200, 1e150):
        points = spread * scale
        tri, tree = kyhost.Triangulation(points), scipy.spatial.cKDTree(points)
        _same_pairs(tri, tree, 0.05 * scale, p)
    wide = np.r_[spread, [[1e150, 1e150], [-1e150, 5.0]]]
    tri, tree = kyhost.Triangulation(wide), scipy.spatial.cKDTree(wide)
    _same_pairs(tri, tree, 0.05, p)
