"""The plug-ins against scipy.spatial on random points in general position."""
import numpy as np
import scipy.spatial

import kyhost
from conftest import random_points


def triangle_set(simplices):
    return {tuple(sorted(row)) for row in np.asarray(simplices, dtype=np.int64).tolist()}


def test_triangles_equal_scipy_delaunay():
    for n, seed in ((4, 10), (100, 11), (5000, 12)):
        x, y = random_points(n, seed)
        tri = kyhost.sweeptri(x, y)
        assert tri.shape[1] == 3
        ours = triangle_set(tri - 1)
        assert len(ours) == tri.shape[0]
        theirs = triangle_set(scipy.spatial.Delaunay(np.column_stack([x, y])).simplices)
        assert ours == theirs


def test_every_nearwalk_answer_is_as_near_as_ckdtree():
    x, y = random_points(4000, seed=13)
    tri = kyhost.sweeptri(x, y)
    rng = np.random.default_rng(14)
    xi = rng.uniform(-0.2, 1.2, size=(100, 50))  # inside and outside the hull
    yi = rng.uniform(-0.2, 1.2, size=(100, 50))
    k = kyhost.nearwalk(x, y, tri, xi, yi)
    assert k.shape == xi.shape
    found = k.ravel(order="F").astype(np.int64) - 1
    qx, qy = xi.ravel(order="F"), yi.ravel(order="F")
    ours = (x[found] - qx) ** 2 + (y[found] - qy) ** 2
    _, nearest = scipy.spatial.cKDTree(np.column_stack([x, y])).query(np.column_stack([qx, qy]))
    theirs = (x[nearest] - qx) ** 2 + (y[nearest] - qy) ** 2
    assert np.array_equal(ours, theirs)
