"""NearestNDInterpolator and griddata's "nearest": answered by a grid of
buckets, without a triangulation, with the answers of Triangulation.nearest
(smallest computed distance, lowest-numbered among equals) on any layout."""
import pickle

import numpy as np
import pytest

import kyhost
from kyhost import _kyhost
from conftest import random_points


def brute_force(x, y, qx, qy):
    """The lowest-numbered point of smallest computed squared distance."""
    answers = []
    for px, py in zip(qx, qy):
        dx, dy = x - px, y - py
        d = dy * dy + dx * dx
        answers.append(int(np.flatnonzero(d == d.min())[0]))
    return np.array(answers)


def layouts():
    rng = np.random.default_rng(70)
    x, y = random_points(3000, seed=71)
    yield "random", x, y
    gx, gy = np.meshgrid(np.arange(30.0), np.arange(20.0))
    order = rng.permutation(gx.size)
    yield "shuffled integer grid (ties)", gx.ravel()[order], gy.ravel()[order]
    yield "horizontal line", np.linspace(0, 1, 500), np.full(500, 0.25)
    yield "vertical line", np.full(400, -3.0), rng.uniform(0, 1, 400)
    yield "one place", np.full(5, 2.0), np.full(5, 7.0)
    yield "one point", np.array([1.5]), np.array([-2.5])
    yield "thin strip", rng.uniform(0, 1e6, 2000), rng.uniform(0, 1e-6, 2000)
    cluster = rng.normal(size=(2, 1000))
    yield "cluster and far point", np.append(cluster[0], 1e15), np.append(cluster[1], -1e15)
    yield "lognormal", rng.lognormal(0, 3, 2000), rng.lognormal(0, 3, 2000)
    repeats = rng.integers(0, 50, 800).astype(float)
    yield "many repeats", repeats % 7, repeats // 7


def queries_for(x, y, rng):
    span = max(np.ptp(x), np.ptp(y), 1.0)
    inside = np.column_stack([rng.uniform(x.min(), x.max(), 300), rng.uniform(y.min(), y.max(), 300)])
    around = np.column_stack([rng.uniform(x.min() - span, x.max() + span, 200),
                              rng.uniform(y.min() - span, y.max() + span, 200)])
    # Cell centres and midpoints of integer layouts (ties), data points, far queries.
    special = np.vstack([np.column_stack([x[:50] + 0.5, y[:50] + 0.5]), np.column_stack([x[:50] + 0.5, y[:50]]),
                         np.column_stack([x[:50], y[:50]]), [[1e12, -3e11], [-1e9, 5.0], [x[0], 1e10]]])
    q = np.vstack([inside, around, special])
    return q[:, 0].copy(), q[:, 1].copy()


@pytest.mark.parametrize("name,x,y", list(layouts()), ids=[name for name, _, _ in layouts()])
def test_the_grid_answers_as_brute_force_and_the_triangulation(name, x, y):
    rng = np.random.default_rng(72)
    qx, qy = queries_for(x, y, rng)
    index, distance = _kyhost._GridNearest(x, y).nearest(qx, qy)
    # Queries where rounding crowds more than 64 points into the band of
    # the smallest distance (far outside) are left to the exact search.
    answered = index != -2
    assert np.array_equal(index[answered], brute_force(x, y, qx[answered], qy[answered])), name
    t = kyhost.Triangulation(x, y, merge_duplicates=True)
    expected_index, expected_distance = t.nearest(qx, qy, return_distance=True)
    assert np.array_equal(distance[answered], expected_distance[answered]), name
    assert np.array_equal(index[answered], expected_index[answered]), name
    values = rng.normal(size=x.size)
    got = kyhost.NearestNDInterpolator(np.column_stack([x, y]), values)(qx, qy)
    assert np.array_equal(got, values[expected_index]), name


def test_magnitudes_beyond_the_double_frame_are_answered_exactly():
    rng = np.random.default_rng(73)
    x = 10.0 ** rng.uniform(-300, 300, 300) * rng.choice([-1, 1], 300)
    y = 10.0 ** rng.uniform(-300, 300, 300) * rng.choice([-1, 1], 300)
    qx, qy = x[:100] * 1.5, y[:100] * 0.5
    grid_index, _ = _kyhost._GridNearest(x, y).nearest(qx, qy)
    assert (grid_index == -2).all()  # left to the exact search
    expected = kyhost.Triangulation(x, y).nearest(qx, qy)
    assert np.array_equal(kyhost.griddata((x, y), np.arange(300), (qx, qy), method="nearest"), expected)
    # Ordinary points, a query far beyond the frame.
    px, py = random_points(500, seed=74)
    far = np.array([1e300, -1e300, 0.5]), np.array([1e300, 0.5, 1e-300])
    assert np.array_equal(kyhost.NearestNDInterpolator((px, py), np.arange(500))(*far),
                          kyhost.Triangulation(px, py).nearest(*far))


def test_griddata_nearest_builds_no_triangulation(monkeypatch):
    x, y = random_points(1000, seed=75)
    values = np.sin(x) + y
    q = np.random.default_rng(76).uniform(-0.2, 1.2, size=(50, 40, 2))
    expected = kyhost.Triangulation(x, y).nearest(q)

    def refuse(*args, **kwargs):
        raise AssertionError("a triangulation was built")

    monkeypatch.setattr(kyhost.Triangulation, "__init__", refuse)
    assert np.array_equal(kyhost.griddata(np.column_stack([x, y]), values, q, method="nearest"), values[expected])
    assert np.array_equal(kyhost.NearestNDInterpolator((x, y), values)(q), values[expected])


def test_as_scipys_nearest_interpolator():
    scipy_interpolate = pytest.importorskip("scipy.interpolate")
    x, y = random_points(2000, seed=77)
    points = np.column_stack([x, y])
    values = np.column_stack([np.cos(3 * x), x * y]).reshape(-1, 2)
    gx, gy = np.meshgrid(np.linspace(-0.1, 1.1, 60), np.linspace(-0.1, 1.1, 50))
    theirs = scipy_interpolate.NearestNDInterpolator(points, values)
    ours = kyhost.NearestNDInterpolator(points, values)
    assert np.array_equal(ours(gx, gy), theirs(gx, gy))
    assert np.array_equal(ours((gx, gy)), theirs((gx, gy)))
    assert np.array_equal(ours(np.stack([gx, gy], axis=-1)), theirs(np.stack([gx, gy], axis=-1)))
    for method in ("nearest",):
        assert np.array_equal(kyhost.griddata(points, values[:, 0], (gx, gy), method=method),
                              scipy_interpolate.griddata(points, values[:, 0], (gx, gy), method=method))
    # Integer and complex values keep their type; NaN queries get NaN.
    at_centre = kyhost.NearestNDInterpolator(points, np.arange(2000))(0.5, 0.5)
    assert at_centre.shape == () and at_centre.dtype == np.arange(1).dtype
    z = kyhost.NearestNDInterpolator(points, x + 1j * y)([[0.5, 0.5], [np.nan, 0.5]])
    assert z.dtype == complex and np.isnan(z[1]) and z[0] == (x + 1j * y)[at_centre]


def test_rescale_tree_options_copies_and_pickles():
    x, y = random_points(500, seed=78)
    x = x * 1e6  # incommensurable axes
    values = np.arange(500.0)
    points = np.column_stack([x, y])
    ours = kyhost.NearestNDInterpolator(points, values, rescale=True)
    sx, sy = (x - x.mean()) / np.ptp(x), (y - y.mean()) / np.ptp(y)
    q = np.column_stack([np.linspace(0, 1e6, 30), np.linspace(1, 0, 30)])
    expected = brute_force(sx, sy, (q[:, 0] - x.mean()) / np.ptp(x), (q[:, 1] - y.mean()) / np.ptp(y))
    assert np.array_equal(ours(q), values[expected])
    assert np.array_equal(ours.points, np.column_stack([sx, sy]))
    assert np.array_equal(kyhost.griddata(points, values, q, method="nearest", rescale=True), values[expected])
    # The object keeps its own copies.
    kept = kyhost.NearestNDInterpolator(points, values, tree_options={"leafsize": 5, "balanced_tree": False})
    before = kept(q)
    points[:] = 0
    values[:] = -1
    assert np.array_equal(kept(q), before)
    assert np.array_equal(pickle.loads(pickle.dumps(kept))(q), before)
    with pytest.raises(ValueError, match="boxsize"):
        kyhost.NearestNDInterpolator(np.column_stack([x, y]), values, tree_options={"boxsize": 1.0})
    with pytest.raises(ValueError, match="not finite"):
        kyhost.NearestNDInterpolator([[0, 0], [np.nan, 1]], [1, 2])
    with pytest.raises(ValueError, match="one entry per point"):
        kyhost.NearestNDInterpolator([[0, 0], [1, 1]], [1, 2, 3])
