"""scipy.spatial's documented usage patterns, written for kyhost and run
with ``import kyhost as spatial``: Delaunay and its plot, find_simplex with
the barycentric transform, ConvexHull and its plot, cKDTree-style radius
and pair queries on a Triangulation. scipy answers the same calls where it
is the reference."""
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
import pytest  # noqa: E402
import scipy.spatial  # noqa: E402

import kyhost as spatial  # noqa: E402


def _rows_as_sets(simplices):
    return {frozenset(map(int, row)) for row in simplices}


def test_delaunay_of_four_points_plots_and_locates_points():
    points = np.array([[0, 0], [0, 1.1], [1, 0], [1, 1]])
    tri = spatial.Delaunay(points)
    plt.figure()
    plt.triplot(points[:, 0], points[:, 1], tri.simplices)
    plt.plot(points[:, 0], points[:, 1], "o")
    plt.close()
    assert _rows_as_sets(tri.simplices) == {frozenset({2, 3, 0}), frozenset({3, 1, 0})}
    assert points[tri.simplices].shape == (2, 3, 2)
    # Each simplex is the other's neighbour across the shared edge 0-3.
    for i in range(2):
        (j,) = np.flatnonzero(tri.neighbors[i] >= 0)
        assert tri.neighbors[i, j] == 1 - i
        assert set(tri.simplices[i]) - {tri.simplices[i, j]} == {0, 3}
    p = np.array([(0.1, 0.2), (1.5, 0.5), (0.5, 1.05)])
    found = tri.find_simplex(p)
    upper = [i for i in range(2) if 1 in tri.simplices[i]][0]
    assert found.tolist() == [upper, -1, upper]
    # The barycentric coordinates of the points in simplex `upper`, as the
    # scipy documentation computes them.
    b = tri.transform[upper, :2].dot(np.transpose(p - tri.transform[upper, 2]))
    weights = np.c_[np.transpose(b), 1 - b.sum(axis=0)]
    rebuilt = weights @ points[tri.simplices[upper]]
    assert np.allclose(rebuilt, p)
    assert (weights[[0, 2]] >= 0).all() and (weights[1] < 0).any()


def test_barycentric_coordinates_match_scipy_on_the_same_simplices():
    rng = np.random.default_rng(5)
    points = rng.random((300, 2))
    ours, theirs = spatial.Delaunay(points), scipy.spatial.Delaunay(points)
    queries = rng.random((2000, 2)) * 1.2 - 0.1
    s_ours, s_theirs = ours.find_simplex(queries), theirs.find_simplex(queries)
    assert ((s_ours == -1) == (s_theirs == -1)).all()
    inside = s_ours >= 0

    def barycentric(tri, s, x):
        t = tri.transform[s]
        b = np.einsum("ijk,ik->ij", t[:, :2], x - t[:, 2])
        w = np.c_[b, 1 - b.sum(axis=1)]
        # Weights keyed by vertex, so that the two numberings compare.
        return [dict(zip(tri.simplices[si].tolist(), wi)) for si, wi in zip(s, w)]

    for a, b in zip(barycentric(ours, s_ours[inside], queries[inside]),
                    barycentric(theirs, s_theirs[inside], queries[inside])):
        if set(a) == set(b):
            assert all(abs(a[k] - b[k]) <= 1e-12 for k in a)


def test_convex_hull_plot_pattern_and_attributes():
    rng = np.random.default_rng(3)
    points = rng.random((30, 2))
    hull = spatial.ConvexHull(points)
    plt.figure()
    plt.plot(points[:, 0], points[:, 1], "o")
    for simplex in hull.simplices:
        plt.plot(points[simplex, 0], points[simplex, 1], "k-")
    plt.plot(points[hull.vertices, 0], points[hull.vertices, 1], "r--", lw=2)
    plt.plot(points[hull.vertices[0], 0], points[hull.vertices[0], 1], "ro")
    plt.close()
    reference = scipy.spatial.ConvexHull(points)
    assert sorted(hull.vertices) == sorted(reference.vertices)
    assert hull.area == pytest.approx(reference.area, rel=1e-12)
    assert hull.volume == pytest.approx(reference.volume, rel=1e-12)
    # Every point is on the inner side of every facet.
    assert (points @ hull.equations[:, :2].T + hull.equations[:, 2] <= 1e-12).all()


def test_query_ball_point_on_a_grid_as_documented():
    x, y = np.mgrid[0:5, 0:5]
    points = np.c_[x.ravel(), y.ravel()].astype(float)
    tree = spatial.Triangulation(points)
    reference = scipy.spatial.cKDTree(points)
    assert sorted(tree.query_ball_point([2, 0], 1)) == sorted(reference.query_ball_point([2, 0], 1)) == [5, 10, 11, 15]
    plt.figure()
    plt.plot(points[:, 0], points[:, 1], "xk", markersize=14)
    plt.plot(points[tree.query_ball_point([2, 0], 1)][:, 0], points[tree.query_ball_point([2, 0], 1)][:, 1], "o")
    plt.close()
    lists = tree.query_ball_point(points, 1.5)
    assert [sorted(a) for a in lists] == [sorted(b) for b in reference.query_ball_point(points, 1.5)]


def test_query_pairs_and_count_neighbors_as_documented():
    rng = np.random.default_rng(11)
    points = rng.random((20, 2))
    tree = spatial.Triangulation(points)
    pairs = tree.query_pairs(r=0.2)
    plt.figure()
    for (i, j) in pairs:
        plt.plot([points[i, 0], points[j, 0]], [points[i, 1], points[j, 1]], "-r")
    plt.close()
    assert pairs == scipy.spatial.cKDTree(points).query_pairs(r=0.2)
    points1, points2 = rng.random((5, 2)), rng.random((5, 2))
    kd_tree1, kd_tree2 = spatial.Triangulation(points1), spatial.Triangulation(points2)
    assert kd_tree1.count_neighbors(kd_tree2, 0.2) == scipy.spatial.cKDTree(points1).count_neighbors(
        scipy.spatial.cKDTree(points2), 0.2)
    assert (kd_tree1.count_neighbors(kd_tree2, [0.1, 0.5]) ==
            scipy.spatial.cKDTree(points1).count_neighbors(scipy.spatial.cKDTree(points2), [0.1, 0.5])).all()


def test_knearest_query_as_documented():
    x, y = np.mgrid[0:5, 2:8]
    tree = spatial.Triangulation(np.c_[x.ravel(), y.ravel()].astype(float))
    dd, ii = tree.query([[0, 0], [2.2, 2.9]], k=1)
    assert np.allclose(dd, [2.0, 0.2236068]) and ii.tolist() == [0, 13]
    dd, ii = tree.query([[0, 0], [2.2, 2.9]], k=[2])
    assert np.allclose(dd, [[2.23606798], [0.80622577]]) and ii.tolist() == [[6], [19]]


def test_voronoi_of_a_grid_as_documented():
    points = np.array([[0, 0], [0, 1], [0, 2], [1, 0], [1, 1], [1, 2], [2, 0], [2, 1], [2, 2]], float)
    vor = spatial.Voronoi(points)
    assert sorted(map(tuple, np.round(vor.vertices, 12))) == [(0.5, 0.5), (0.5, 1.5), (1.5, 0.5), (1.5, 1.5)]
