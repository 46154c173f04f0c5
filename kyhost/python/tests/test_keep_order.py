"""nearest(keep_order=True) gives exactly the answers of the nearwalk
plug-in walking the queries in the caller's order, each from the answer
before it: on random sets, and on grids whose queries tie everywhere."""
import numpy as np
import pytest

import kyhost
from conftest import random_points


def walked_as_given(t, qx, qy):
    """nearwalk's own answers (its neighbour matrix built from the rows) for
    the finite queries in the given order."""
    ux, uy = t._used_coordinates()
    finite = np.isfinite(qx) & np.isfinite(qy)
    answers = np.full(qx.size, -1)
    k = kyhost.nearwalk(ux, uy, t._tri, qx[finite], qy[finite])
    answers[finite] = t._original(k.ravel().astype(np.int64) - 1)
    return answers


@pytest.mark.filterwarnings("ignore::kyhost.KyWarning")
def test_keep_order_walks_ties_as_given():
    rng = np.random.default_rng(90)
    x, y = np.meshgrid(np.arange(40.0), np.arange(30.0))
    x, y = x.ravel(), y.ravel()
    grid = kyhost.Triangulation(x, y)
    # Queries at cell centres and on edges tie between 2 or 4 points.
    qx = rng.integers(-2, 80, 5000) / 2
    qy = rng.integers(-2, 60, 5000) / 2
    qx[::97] = np.nan
    answers = grid.nearest(qx, qy, keep_order=True)
    assert np.array_equal(answers, walked_as_given(grid, qx, qy))
    # The default order answers ties with the lowest-numbered point instead.
    squared = (x[:, None] - qx) ** 2 + (y[:, None] - qy) ** 2
    finite = np.isfinite(qx)
    lowest = np.argmin(squared[:, finite], axis=0)
    assert np.array_equal(grid.nearest(qx, qy)[finite], lowest)
    assert (answers[finite] != lowest).sum() > 100  # the walk's order matters here


@pytest.mark.filterwarnings("ignore::kyhost.KyWarning")
def test_keep_order_with_merged_points_and_random_sets():
    x, y = random_points(3000, 91)
    t = kyhost.Triangulation(x, y)
    qx, qy = np.random.default_rng(92).uniform(-0.2, 1.2, size=(2, 20000))
    qx[::1000] = 1e15  # so far that rounding cannot tell the points apart
    assert np.array_equal(t.nearest(qx, qy, keep_order=True), walked_as_given(t, qx, qy))
    gx, gy = np.meshgrid(np.arange(20.0), np.arange(20.0))
    gx, gy = np.concatenate([gx.ravel(), gx.ravel()[:50]]), np.concatenate([gy.ravel(), gy.ravel()[:50]])
    merged = kyhost.Triangulation(gx, gy, merge_duplicates=True)
    qx = np.random.default_rng(93).integers(0, 40, 3000) / 2
    qy = np.random.default_rng(94).integers(0, 40, 3000) / 2
    assert np.array_equal(merged.nearest(qx, qy, keep_order=True), walked_as_given(merged, qx, qy))
